#pragma once
// Process-wide registry of open disk images.
//
// An image is known by its file identity (device and inode), not by its name,
// so the same file reached through another name, path or link is the same
// image. Every open of an image registers here (TDiskDrive does so for its
// whole life), which lets any part of the program ask whether a file is in
// use and by whom before it formats, overwrites or mounts it again.
//
// Between programs, an image is written by one at a time: while this program
// has an image open for writing it holds a lock on the file that every other
// program sees (an open-file-description lock, so the program's own other
// descriptors of the file neither clash with it nor drop it when they
// close). The system drops the lock with the program, however it ends.
// Reading needs no lock and is never refused for it.

#include <compare>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct TImageIdentity {
    uint64_t Device = 0;
    uint64_t Inode = 0;
    auto operator<=>(const TImageIdentity&) const = default;
};

// Who holds an image open.
enum class TImageRole : uint8_t {
    Other,          // boot code, tools, anything short-lived
    Drive,          // a drive of the disk controller
    RemoteSession,  // a remote disk client's read/write session
    RemoteReader,   // a remote disk client's read-only session
    DiskManager,    // a file-system operation of the Disk Manager
    DeviceFile,     // the machine's reader or punch file: no disk at all
};

class TImageRegistry {
public:
    struct TEntry {
        uint64_t Id = 0;  // unique per registration
        TImageIdentity Identity;
        TImageRole Role = TImageRole::Other;
        const void* Owner = nullptr;  // the object that opened it, may be null
        std::string Path;             // the name it was opened by
        bool Writer = false;          // opened for writing
    };

    // Keeps an image registered while it lives; move-only.
    class TRegistration {
    public:
        TRegistration() = default;
        ~TRegistration();
        TRegistration(TRegistration&& other) noexcept;
        TRegistration& operator=(TRegistration&& other) noexcept;
        TRegistration(const TRegistration&) = delete;
        TRegistration& operator=(const TRegistration&) = delete;

        bool Active() const { return FId != 0; }
        const TImageIdentity& Identity() const { return FIdentity; }
        void Release();

    private:
        friend class TImageRegistry;
        TRegistration(uint64_t id, TImageIdentity identity) : FId(id), FIdentity(identity) {}
        uint64_t FId = 0;
        TImageIdentity FIdentity;
    };

    static TImageRegistry& Instance();

    // Identity of the file a path names (links followed); nullopt when the
    // path cannot be examined.
    static std::optional<TImageIdentity> IdentityOfPath(const std::string& path);
    // Identity of an open file descriptor.
    static std::optional<TImageIdentity> IdentityOfFd(int fd);

    TRegistration Register(const TImageIdentity& identity, TImageRole role, const void* owner, const std::string& path);
    // The same for an image open for writing on fd: the first writer in this
    // program takes the lock between programs, the last one to go releases
    // it. Raises EDiskError("Disk is in use!", 16) while another program
    // holds the image for writing.
    TRegistration RegisterWriter(int fd, const TImageIdentity& identity, TImageRole role, const void* owner,
                                 const std::string& path);

    bool IsOpen(const TImageIdentity& identity) const;
    // False when the path does not name an existing file.
    bool IsOpen(const std::string& path) const;
    bool IsOpenAs(const TImageIdentity& identity, TImageRole role) const;
    bool IsOpenBy(const TImageIdentity& identity, TImageRole role, const void* owner) const;
    // Every registration of that image, oldest first.
    std::vector<TEntry> EntriesFor(const TImageIdentity& identity) const;
    std::vector<TEntry> EntriesFor(const std::string& path) const;
    // Number of registrations of all images.
    size_t OpenCount() const;
    // Whether another program has the file path names open for writing as
    // an image; false for a path that names no plain file.
    bool HeldByAnotherProgram(const std::string& path) const;
    // Whether a file must not be replaced: path names an image open in this
    // program (any role) or one another program writes.
    bool OpenInAnyProgram(const std::string& path) const;
    // Whether path names an image in use as a disk: one open in this program
    // (the reader and punch files do not count), one of chosenImages (images
    // picked but not held open, such as a drive's before boot), or one
    // another program writes. False when the path names no existing file.
    bool IsImageInUse(const std::string& path, const std::vector<std::string>& chosenImages) const;
    // A remote disk client writing an image has it to itself: raises
    // EDiskError (code 1) saying that the remote disk server holds it.
    void CheckNotHeldRemotely(const TImageIdentity& identity) const;
    // Whether a drive or the Disk Manager may use the image as a disk:
    // CheckNotHeldRemotely, and EDiskError("Disk is in use!", 16) while it
    // is the reader or punch file (the punch would overwrite it).
    void CheckMountable(const TImageIdentity& identity) const;

private:
    // This program's lock on an image it writes, shared by its writers.
    struct TWriteHold {
        TImageIdentity Identity;
        int LockFd = -1;  // keeps the locked open file; -1 where the file system has no such locks
        int Writers = 0;
    };

    TImageRegistry() = default;
    void Unregister(uint64_t id);
    TRegistration Add(TEntry entry);
    void TakeWriteHold(int fd, const TImageIdentity& identity);
    void DropWriteHold(const TImageIdentity& identity);
    bool HoldsForWriting(const TImageIdentity& identity) const;

    mutable std::mutex FLock;
    std::vector<TEntry> FEntries;
    std::vector<TWriteHold> FWriteHolds;
    uint64_t FNextId = 1;
};
