#include "net/RmtDiskSession.h"

#include <unistd.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "net/RmtDiskImage.h"

namespace {

const char* const kSessionNotValid = "Session is not valid!";
const char* const kClientMismatch = "Client info does not match!";
const char* const kDiskInUse = "Disk is in use!";
const char* const kDiskMounted = "Disk is mounted!";
const char* const kReadOnlySession = "Disk is mounted read-only!";
const char* const kTooManySessions = "Too many remote disk sessions!";

// Whether the registry allows this mount: nothing may hold the image for a
// remote writer, and a writer needs the image to itself (no local drive, no
// reading session). The reader or punch file is no disk for anyone. The
// session the mount would end (ending, may be null) does not count.
bool MayShare(const TImageIdentity& identity, bool readOnly, const TRmtDskSession* ending) {
    bool endingPassed = !ending || ending->Disk->Identity() != identity;
    for (const auto& entry : TImageRegistry::Instance().EntriesFor(identity)) {
        if (!endingPassed && entry.Role == ending->Disk->Role()) {
            endingPassed = true;
            continue;
        }
        if (!readOnly || entry.Role == TImageRole::RemoteSession || entry.Role == TImageRole::DeviceFile) return false;
    }
    return true;
}

}  // namespace

TRmtDskSession::TRmtDskSession(uint32_t id, bool readOnly, std::string fileName, const TRmtDskClientInfo& client,
                               std::unique_ptr<TDiskDrive> disk, TRmtDskTime lastUsed)
    : Id(id),
      ReadOnly(readOnly),
      FileName(std::move(fileName)),
      ClientInfo(client),
      LastUsed(lastUsed),
      LastTransfer(lastUsed),
      Disk(std::move(disk)) {}

TRmtDskSessionList::TRmtDskSessionList(std::string imageFolder) : FImageFolder(std::move(imageFolder)) {}

TRmtDskSessionList::~TRmtDskSessionList() = default;

uint32_t TRmtDskSessionList::Mount(const TRmtDskClientInfo& client, bool readOnly, const std::string& imageName) {
    TRmtDskSession* current = FindByClient(client);
    if (current) {
        const auto identity = RemoteImageIdentity(FImageFolder, imageName);
        // The same mount again keeps its session. It shows as use but does
        // not keep the session from going idle: it needs no reply, so a
        // sender that never hears one could keep it alive.
        if (identity && *identity == current->Disk->Identity() && current->ReadOnly == readOnly) {
            current->LastUsed = Clock();
            return current->Id;
        }
        if (!AutoUnmount) throw EDiskError(kDiskMounted, EDiskError::DiskMounted);
    }
    // The session the new one takes the place of ends only once the new
    // image is open: a mount that fails (from anyone, since the sender's
    // address is not checked) ends nothing.
    return MountNew(client, readOnly, imageName, current ? current : SessionToReplace(client));
}

uint32_t TRmtDskSessionList::MountNew(const TRmtDskClientInfo& client, bool readOnly, const std::string& imageName,
                                      const TRmtDskSession* ending) {
    const int fd = OpenRemoteImage(FImageFolder, imageName, readOnly);
    const auto identity = TImageRegistry::IdentityOfFd(fd);
    if (!identity || !MayShare(*identity, readOnly, ending)) {
        ::close(fd);
        if (!identity) throw EDiskError("Selected disk is bad!", EDiskError::NoDisk);
        throw EDiskError(kDiskInUse, EDiskError::DiskInUse);
    }
    const uint32_t id = NewId();
    const std::string fileName = imageName + RemoteImageExtension;
    auto disk = std::make_unique<TDiskDrive>(fd, fileName,
                                             readOnly ? TImageRole::RemoteReader : TImageRole::RemoteSession, this);
    auto session = std::make_unique<TRmtDskSession>(id, readOnly, fileName, client, std::move(disk), Clock());
    if (ending) std::erase_if(FSessions, [ending](const auto& s) { return s.get() == ending; });
    FSessions.push_back(std::move(session));
    return id;
}

// The session a new one must take the place of to keep within the bounds:
// none when there is room, else the idlest of the client's address or of
// all, once it has been idle long enough.
TRmtDskSession* TRmtDskSessionList::SessionToReplace(const TRmtDskClientInfo& client) const {
    const auto fromAddress = [&](const TRmtDskSession& s) { return s.ClientInfo.Address == client.Address; };
    const auto sameAddress =
        std::count_if(FSessions.begin(), FSessions.end(), [&](const auto& s) { return fromAddress(*s); });
    TRmtDskSession* idlest = nullptr;
    if (static_cast<size_t>(sameAddress) >= MaxSessionsPerAddress)
        idlest = IdlestReplaceable(fromAddress);
    else if (FSessions.size() >= MaxSessions)
        idlest = IdlestReplaceable([](const TRmtDskSession&) { return true; });
    else
        return nullptr;
    if (!idlest) throw std::runtime_error(kTooManySessions);
    return idlest;
}

// The session idle longest of those chosen, when it has been idle long
// enough; null otherwise.
TRmtDskSession* TRmtDskSessionList::IdlestReplaceable(const std::function<bool(const TRmtDskSession&)>& among) const {
    TRmtDskSession* idlest = nullptr;
    for (const auto& s : FSessions)
        if (among(*s) && (!idlest || s->LastTransfer < idlest->LastTransfer)) idlest = s.get();
    return idlest && Clock() - idlest->LastTransfer >= IdleBeforeReplaced ? idlest : nullptr;
}

// Ids are random, so a client cannot guess another's session; never 0 and
// unique among live sessions.
uint32_t TRmtDskSessionList::NewId() const {
    static thread_local std::random_device source;
    for (;;) {
        const uint32_t id = source();
        if (id != 0 && !FindById(id)) return id;
    }
}

void TRmtDskSessionList::Unmount(uint32_t id, const TRmtDskClientInfo& client, bool force) {
    const auto it = std::find_if(FSessions.begin(), FSessions.end(), [id](const auto& s) { return s->Id == id; });
    if (it == FSessions.end()) return;
    if (!force && !SameClient((*it)->ClientInfo, client)) throw EDiskError(kClientMismatch, EDiskError::DiskInUse);
    FSessions.erase(it);
}

TRmtDskSession& TRmtDskSessionList::OwnedSession(uint32_t id, const TRmtDskClientInfo& client) const {
    TRmtDskSession* session = FindById(id);
    if (!session) throw EDiskError(kSessionNotValid, EDiskError::NoDisk);
    if (!SameClient(session->ClientInfo, client)) throw EDiskError(kClientMismatch, EDiskError::DiskInUse);
    return *session;
}

void TRmtDskSessionList::ReadBlock(uint32_t id, uint16_t track, uint16_t sector, const TRmtDskClientInfo& client,
                                   uint8_t* block) {
    TRmtDskSession& session = OwnedSession(id, client);
    session.Disk->Track = track;
    session.Disk->Sector = sector;
    session.Disk->ReadBlock(block);
    session.LastUsed = session.LastTransfer = Clock();
}

void TRmtDskSessionList::WriteBlock(uint32_t id, uint16_t track, uint16_t sector, const TRmtDskClientInfo& client,
                                    const uint8_t* block) {
    TRmtDskSession& session = OwnedSession(id, client);
    if (session.ReadOnly) throw EDiskError(kReadOnlySession, EDiskError::WriteFailed);
    session.Disk->Track = track;
    session.Disk->Sector = sector;
    session.Disk->WriteBlock(block);
    session.LastUsed = session.LastTransfer = Clock();
}

TRmtDskSession* TRmtDskSessionList::FindById(uint32_t id) const {
    for (const auto& s : FSessions)
        if (s->Id == id) return s.get();
    return nullptr;
}

TRmtDskSession* TRmtDskSessionList::FindByClient(const TRmtDskClientInfo& client) const {
    for (const auto& s : FSessions)
        if (SameClient(s->ClientInfo, client)) return s.get();
    return nullptr;
}

TRmtDskSession* TRmtDskSessionList::FindByIdentity(const TImageIdentity& identity) const {
    for (const auto& s : FSessions)
        if (s->Disk->Identity() == identity) return s.get();
    return nullptr;
}

TRmtDskSession* TRmtDskSessionList::GetSession(size_t index) const {
    return index < FSessions.size() ? FSessions[index].get() : nullptr;
}

void TRmtDskSessionList::Clear() { FSessions.clear(); }
