#pragma once
// Sessions of the remote disk server: one per client drive, each holding
// its image open until the client unmounts it or the server stops.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "disk/DiskDrive.h"

// One client drive: the sender's address and UDP port (network byte order,
// as received) and the drive number from the request.
struct TRmtDskClientInfo {
    uint32_t Address = 0;
    uint16_t Port = 0;
    uint16_t ClientDisk = 0;
    bool operator==(const TRmtDskClientInfo&) const = default;
};

using TRmtDskTime = std::chrono::system_clock::time_point;

class TRmtDskSession {
public:
    TRmtDskSession(uint32_t id, bool readOnly, std::string fileName, const TRmtDskClientInfo& client,
                   std::unique_ptr<TDiskDrive> disk, TRmtDskTime lastUsed = std::chrono::system_clock::now());

    uint32_t Id;
    bool ReadOnly;
    std::string FileName;  // the image name as the client asked, with ".cpmdsk"
    TRmtDskClientInfo ClientInfo;
    TRmtDskTime LastUsed;      // every mount, read and write: what the panel shows
    TRmtDskTime LastTransfer;  // the first mount, then every read and write: the traffic that needs the id
    std::unique_ptr<TDiskDrive> Disk;
};

class TRmtDskSessionList {
public:
    // Bounds that keep one client, or many, from holding every descriptor.
    static constexpr size_t MaxSessions = 64;
    static constexpr size_t MaxSessionsPerAddress = 8;
    // A full table gives a new mount the place of the session idle longest,
    // once that one has been idle this long: clients that vanish (or never
    // were, the sender address being unchecked) cannot hold it for good.
    // Only reads and writes count here (LastTransfer), as only a client
    // that heard the mount's reply knows the session id.
    static constexpr std::chrono::seconds IdleBeforeReplaced{60};

    // Images are looked up in imageFolder only.
    explicit TRmtDskSessionList(std::string imageFolder);
    ~TRmtDskSessionList();

    bool AutoUnmount = true;
    // The time sessions are stamped with; replaceable for tests.
    std::function<TRmtDskTime()> Clock = [] { return std::chrono::system_clock::now(); };
    const std::string& ImageFolder() const { return FImageFolder; }

    // These raise EDiskError with the protocol's codes, or another
    // std::exception for failures without a code of their own.
    uint32_t Mount(const TRmtDskClientInfo& client, bool readOnly, const std::string& imageName);
    void Unmount(uint32_t id, const TRmtDskClientInfo& client, bool force);
    void ReadBlock(uint32_t id, uint16_t track, uint16_t sector, const TRmtDskClientInfo& client, uint8_t* block);
    void WriteBlock(uint32_t id, uint16_t track, uint16_t sector, const TRmtDskClientInfo& client,
                    const uint8_t* block);

    TRmtDskSession* FindById(uint32_t id) const;
    TRmtDskSession* FindByClient(const TRmtDskClientInfo& client) const;
    // The first session on that image (any name or link reaching the same file).
    TRmtDskSession* FindByIdentity(const TImageIdentity& identity) const;
    static bool SameClient(const TRmtDskClientInfo& a, const TRmtDskClientInfo& b) { return a == b; }
    size_t Count() const { return FSessions.size(); }
    TRmtDskSession* GetSession(size_t index) const;
    void Clear();

private:
    TRmtDskSession& OwnedSession(uint32_t id, const TRmtDskClientInfo& client) const;
    TRmtDskSession* SessionToReplace(const TRmtDskClientInfo& client) const;
    TRmtDskSession* IdlestReplaceable(const std::function<bool(const TRmtDskSession&)>& among) const;
    uint32_t NewId() const;
    uint32_t MountNew(const TRmtDskClientInfo& client, bool readOnly, const std::string& imageName,
                      const TRmtDskSession* ending);

    std::string FImageFolder;
    std::vector<std::unique_ptr<TRmtDskSession>> FSessions;
};
