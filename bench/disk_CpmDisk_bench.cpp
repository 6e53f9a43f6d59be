// CP/M file system on a disk image: importing and exporting 1 MB of files
// (10 files of 100,000 bytes, one file-system object per file as the Disk
// Manager does) and listing a full 256-entry directory. The same work done
// by Debian's cpmtools (whole processes, so start-up is included) runs
// beside it when the tools are installed. Every row is timed by the wall
// clock: the tools work in child processes, whose time this process's CPU
// clock does not see.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "disk/CpmDiskDrive.h"

namespace {

constexpr int FileCount = 10;
constexpr size_t FileSize = 100000;
constexpr size_t ImageBytes = 1048576;

class Workspace {
public:
    Workspace() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "cpmbench-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        Dir = tmpl;
        std::ofstream(Dir / "diskdefs")
            << "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n  blocksize 2048\n"
               "  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n";
        for (int i = 0; i < FileCount; ++i) {
            std::string data(FileSize, '\0');
            for (size_t k = 0; k < FileSize; ++k) data[k] = static_cast<char>((k * 31 + i) & 0x7F);
            Files.push_back(data);
            std::ofstream(Dir / HostName(i), std::ios::binary) << data;
        }
    }
    ~Workspace() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    static std::string HostName(int i) { return "file" + std::to_string(i) + ".dat"; }
    std::string Image(const std::string& name) const { return (Dir / name).string(); }
    void Fresh(const std::string& name) const {
        std::ofstream(Dir / name, std::ios::binary) << std::string(ImageBytes, '\xE5');
    }
    void FillWithFiles(const std::string& name) const {
        Fresh(name);
        for (int i = 0; i < FileCount; ++i) {
            TCpmDiskDrive drive(Image(name));
            std::istringstream in(Files[static_cast<size_t>(i)]);
            int index;
            drive.ImportFile(HostName(i), in, static_cast<int32_t>(FileSize), index, 0, 0);
        }
    }
    int Run(const std::string& command) const {
        const std::string cmd = "cd '" + Dir.string() + "' && " + command + " >/dev/null 2>&1";
        return std::system(cmd.c_str());
    }
    static bool HaveCpmtools() { return std::system("command -v cpmcp >/dev/null 2>&1") == 0; }

    std::filesystem::path Dir;
    std::vector<std::string> Files;
};

Workspace& Shared() {
    static Workspace w;
    return w;
}

void CpmImport1MB(benchmark::State& state) {
    Workspace& w = Shared();
    for (auto _ : state) {
        state.PauseTiming();
        w.Fresh("import.cpmdsk");
        state.ResumeTiming();
        for (int i = 0; i < FileCount; ++i) {
            TCpmDiskDrive drive(w.Image("import.cpmdsk"));
            std::istringstream in(w.Files[static_cast<size_t>(i)]);
            int index;
            benchmark::DoNotOptimize(
                drive.ImportFile(Workspace::HostName(i), in, static_cast<int32_t>(FileSize), index, 0, 0));
        }
    }
    state.SetBytesProcessed(state.iterations() * FileCount * static_cast<int64_t>(FileSize));
}

void CpmExport1MB(benchmark::State& state) {
    Workspace& w = Shared();
    w.FillWithFiles("export.cpmdsk");
    for (auto _ : state) {
        for (int i = 0; i < FileCount; ++i) {
            TCpmDiskDrive drive(w.Image("export.cpmdsk"));
            std::ostringstream out;
            drive.ExportFile("FILE" + std::to_string(i) + ".DAT", false, out, 0);
            benchmark::DoNotOptimize(out.str().size());
        }
    }
    state.SetBytesProcessed(state.iterations() * FileCount * static_cast<int64_t>(FileSize));
}

// 256 one-record files over the user areas: every directory entry used.
std::string FullDirectoryImage() {
    Workspace& w = Shared();
    const std::string image = w.Image("full.cpmdsk");
    static bool built = false;
    if (built) return image;
    w.Fresh("full.cpmdsk");
    TCpmDiskDrive drive(image);
    for (int i = 0; i < 256; ++i) {
        std::istringstream in("x");
        int index;
        drive.ImportFile("F" + std::to_string(i) + ".TXT", in, 1, index, static_cast<uint8_t>(i % 16), 0x1A);
    }
    built = true;
    return image;
}

void CpmListFullDirectory(benchmark::State& state) {
    const std::string image = FullDirectoryImage();
    for (auto _ : state) {
        TCpmDiskDrive drive(image);
        TCpmDiskFileInfoList list;
        drive.GetFileList(list);
        if (list.GetCount() != 256) state.SkipWithError("directory not full");
        benchmark::DoNotOptimize(list.Allocation.FreeCount);
    }
}

void CpmtoolsImport1MB(benchmark::State& state) {
    Workspace& w = Shared();
    if (!Workspace::HaveCpmtools()) return state.SkipWithError("cpmtools not installed");
    for (auto _ : state) {
        state.PauseTiming();
        w.Fresh("tools.cpmdsk");
        state.ResumeTiming();
        for (int i = 0; i < FileCount; ++i)
            if (w.Run("cpmcp -f cpmdsk1m -T raw tools.cpmdsk " + Workspace::HostName(i) + " 0:") != 0)
                return state.SkipWithError("cpmcp failed");
    }
    state.SetBytesProcessed(state.iterations() * FileCount * static_cast<int64_t>(FileSize));
}

void CpmtoolsExport1MB(benchmark::State& state) {
    Workspace& w = Shared();
    if (!Workspace::HaveCpmtools()) return state.SkipWithError("cpmtools not installed");
    w.FillWithFiles("tools-export.cpmdsk");
    for (auto _ : state) {
        for (int i = 0; i < FileCount; ++i)
            if (w.Run("cpmcp -f cpmdsk1m -T raw tools-export.cpmdsk 0:" + Workspace::HostName(i) + " out.dat") != 0)
                return state.SkipWithError("cpmcp failed");
    }
    state.SetBytesProcessed(state.iterations() * FileCount * static_cast<int64_t>(FileSize));
}

void CpmtoolsLs(benchmark::State& state) {
    Workspace& w = Shared();
    if (!Workspace::HaveCpmtools()) return state.SkipWithError("cpmtools not installed");
    FullDirectoryImage();
    for (auto _ : state)
        if (w.Run("cpmls -f cpmdsk1m -T raw -l full.cpmdsk") != 0) return state.SkipWithError("cpmls failed");
}

}  // namespace

BENCHMARK(CpmImport1MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CpmtoolsImport1MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CpmExport1MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CpmtoolsExport1MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CpmListFullDirectory)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(CpmtoolsLs)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
