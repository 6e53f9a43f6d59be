// libFuzzer target: a mutated image is listed, exported, and has a file
// imported, deleted, renamed and re-attributed; refusals are exceptions.
// Input: byte 0 chooses the image size, the rest is laid over the image from
// the directory (track 2) on.

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "disk/CpmDiskDrive.h"
#include "support/FuzzSupport.h"

namespace {

constexpr size_t ImageBytes = 1048576;
constexpr size_t DirOffset = 8192;

using tavrin::test::Check;
using tavrin::test::ScratchFile;

// Snapshots of the image file in reused buffers (no fresh pages per run).
struct Snapshot {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(ImageBytes + 1);
    size_t size = 0;
    void Take() {
        const ssize_t n = ::pread(ScratchFile().Fd, bytes.data(), bytes.size(), 0);
        size = n > 0 ? static_cast<size_t>(n) : 0;
    }
    bool operator==(const Snapshot& o) const {
        return size == o.size && std::memcmp(bytes.data(), o.bytes.data(), size) == 0;
    }
};

size_t ImageSize(uint8_t mode, size_t inputSize) {
    switch (mode & 3) {
        case 0:
            return ImageBytes;
        case 1:
            return DirOffset + 64 * 128 + (mode >> 2) * 2048;  // directory and a little data
        case 2:
            return DirOffset + inputSize;  // exactly what was given
        default:
            return (size_t{mode} << 12) % ImageBytes;  // anything, also tiny
    }
}

// Runs an operation the file system may refuse; false when it did.
template <typename F>
bool Refusable(F f) {
    try {
        f();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void ExerciseListing(TCpmDiskDrive& drive) {
    TCpmDiskFileInfoList list;
    drive.GetFileList(list);
    const TCpmDiskAllocationList& map = list.Allocation;
    Check(map.GetBlockCount() == 508);
    int free = 0;
    for (int b = 0; b <= map.MaxBlock; ++b) free += map.TestBit(static_cast<uint16_t>(b)) ? 0 : 1;
    Check(free == map.FreeCount);
    for (int i = 0; i < list.GetCount(); ++i) {
        const TCpmDiskFileInfo* f = list.GetItem(i);
        Check(f != nullptr && f->User <= 15);
        for (bool text : {false, true}) {
            std::ostringstream out;
            if (!Refusable([&] { drive.ExportFile(f->FileName, text, out, f->User); })) continue;
            // Extents export at their own 16 KB place: never past the
            // highest extent number, whole records in binary mode.
            Check(out.str().size() <= size_t{512} * 16384);
            Check(text || out.str().size() % 128 == 0);
        }
        Check(!MakeHostSafeName(f->FileName).empty());
        Check(MakeHostSafeName(f->FileName).find('/') == std::string::npos);
    }
}

void ExerciseImport(TCpmDiskDrive& drive, const uint8_t* data, size_t size) {
    const std::string name = "FZ" + std::to_string(size % 1000) + ".DAT";
    if (drive.FileExists(name, 3)) return;
    const size_t want = (size * 131) % 20000;
    std::string payload(want, '\0');
    for (size_t i = 0; i < want; ++i) payload[i] = static_cast<char>(data[i % size] ^ i);
    // Now and then the stream is shorter than announced.
    const bool shortStream = size % 7 == 3 && want > 0;
    std::istringstream in(shortStream ? payload.substr(0, want / 2) : payload);
    static Snapshot before, after;
    before.Take();
    int index = -1;
    int32_t written = 0;
    if (!Refusable([&] { written = drive.ImportFile(name, in, static_cast<int32_t>(want), index, 3, 0); })) {
        after.Take();
        Check(after == before);  // a failed import changes nothing
        return;
    }
    Check(!shortStream);
    Check(written == static_cast<int32_t>((want + 127) / 128 * 128));
    if (written == 0) return;
    Check(index >= 0);
    // What was imported reads back, byte for byte, from a fresh open.
    std::ostringstream out;
    Check(Refusable([&] { TCpmDiskDrive(ScratchFile().Path).ExportFile(name, false, out, 3); }));
    std::string padded = payload;
    padded.resize(static_cast<size_t>(written), '\0');
    Check(out.str() == padded);
}

void ExerciseChanges(TCpmDiskDrive& drive) {
    const int count = drive.FileList->GetCount();
    if (count == 0) return;
    const TCpmDiskFileInfo first = *drive.FileList->GetItem(0);
    const TCpmDiskFileInfo last = *drive.FileList->GetItem(count - 1);
    int index = -1;
    Refusable([&] { drive.SetFileAttributes(last.FileName, 7, index, uint8_t(last.User + 1), last.User); });
    Refusable([&] { drive.RenameFile(first.FileName, "renamed.fz", index, first.User); });
    Refusable([&] {
        drive.DeleteFile(first.FileName, first.User);
        drive.DeleteFile("RENAMED.FZ", first.User);
    });
    // Freed blocks never include the directory.
    for (uint16_t b = 0; b < drive.FileList->DirBlocks; ++b) Check(drive.FileList->Allocation.TestBit(b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static std::vector<uint8_t> image(ImageBytes);
    std::memset(image.data(), 0xE5, image.size());
    const size_t body = std::min(size - 1, ImageBytes - DirOffset);
    std::memcpy(image.data() + DirOffset, data + 1, body);
    const size_t imageSize = std::min(ImageSize(data[0], body), ImageBytes);
    Check(::pwrite(ScratchFile().Fd, image.data(), imageSize, 0) == static_cast<ssize_t>(imageSize));
    Check(::ftruncate(ScratchFile().Fd, static_cast<off_t>(imageSize)) == 0);

    try {
        TCpmDiskDrive drive(ScratchFile().Path);
        ExerciseListing(drive);
        ExerciseImport(drive, data, size);
        ExerciseChanges(drive);
        TCpmDiskDrive reopened(ScratchFile().Path);
        ExerciseListing(reopened);
    } catch (const std::exception&) {
        // Refusals (bad image, damaged directory, full disk) are expected.
    }
    return 0;
}
