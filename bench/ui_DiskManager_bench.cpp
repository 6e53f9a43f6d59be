// The Disk Manager page's import of 10, 100 and 250 small files onto one
// fresh image, whose cost per file should not grow with the count; and its
// import and export of 200 host files (2 KB to 64 KB,
// 6.6 MB in all) through the page's own code path (ImportBinaryFiles, then
// every row selected and exported to a folder), beside the same work done by
// Debian's cpmtools as whole processes (one cpmcp per image and direction,
// its most favourable use). The files do not fit on one 1 MB image, so both
// spread them over as many fresh images as they need, in the same batches.
// The pair is timed by the wall clock: the tools work in child processes,
// whose time this process's CPU clock does not see.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QListWidget>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "machine/TavrinMachine.h"
#include "platform/ScriptedUiPrompts.h"
#include "ui/DiskManagerPage.h"

namespace fs = std::filesystem;

namespace {

constexpr int FileCount = 200;
constexpr int64_t MinSize = 2048;
constexpr int64_t MaxSize = 65536;
constexpr int BlocksPerImage = 500;   // of 504 free
constexpr int EntriesPerImage = 250;  // of 256

class Workspace {
public:
    Workspace() {
        std::string tmpl = (fs::temp_directory_path() / "dmbench-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        Dir = tmpl;
        std::ofstream(Dir / "diskdefs") << "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n"
                                           "  blocksize 2048\n  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n";
        fs::create_directory(Dir / "in");
        std::vector<std::string> batch;
        int blocks = 0, entries = 0;
        for (int i = 0; i < FileCount; ++i) {
            const int64_t size = MinSize + (MaxSize - MinSize) * i / (FileCount - 1);
            const std::string name = "f" + std::to_string(i) + ".dat";
            std::string data(static_cast<size_t>(size), '\0');
            for (size_t k = 0; k < data.size(); ++k)
                data[k] = static_cast<char>((k * 7 + static_cast<size_t>(i)) & 0xFF);
            std::ofstream((Dir / "in" / name), std::ios::binary) << data;
            Bytes += size;
            const int fileBlocks = static_cast<int>((size + 2047) / 2048);
            const int fileEntries = (fileBlocks + 7) / 8;
            if (blocks + fileBlocks > BlocksPerImage || entries + fileEntries > EntriesPerImage) {
                Batches.push_back(batch);
                batch.clear();
                blocks = entries = 0;
            }
            batch.push_back(name);
            blocks += fileBlocks;
            entries += fileEntries;
        }
        Batches.push_back(batch);
        fs::create_directory(Dir / "small");
        for (int i = 0; i < SmallFileCount; ++i) {
            const std::string name = (Dir / "small" / ("s" + std::to_string(i) + ".dat")).string();
            std::ofstream(name, std::ios::binary) << std::string(1000, static_cast<char>('a' + i % 26));
            SmallFiles.push_back(name);
        }
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    std::string Image(size_t b) const { return (Dir / ("b" + std::to_string(b) + ".cpmdsk")).string(); }
    // Fresh images and an empty output folder.
    void Reset() const {
        for (size_t b = 0; b < Batches.size(); ++b)
            std::ofstream(Image(b), std::ios::binary) << std::string(1048576, '\xE5');
        fs::remove_all(Dir / "out");
        fs::create_directory(Dir / "out");
    }
    int Run(const std::string& command) const {
        const std::string cmd = "cd '" + Dir.string() + "' && " + command + " >/dev/null 2>&1";
        return std::system(cmd.c_str());
    }
    static bool HaveCpmtools() { return std::system("command -v cpmcp >/dev/null 2>&1") == 0; }

    static constexpr int SmallFileCount = 250;  // of 256 directory entries

    fs::path Dir;
    std::vector<std::vector<std::string>> Batches;
    std::vector<std::string> SmallFiles;
    int64_t Bytes = 0;
};

Workspace& Shared() {
    static Workspace w;
    return w;
}

void PageImportExport200Files(benchmark::State& state) {
    tavrin::bench::App();
    Workspace& w = Shared();
    TScriptedUiPrompts prompts;
    TTavrinMachine machine(w.Dir.string() + "/");
    TDiskManagerPage page(machine, prompts, w.Dir.string() + "/");
    for (auto _ : state) {
        state.PauseTiming();
        w.Reset();
        state.ResumeTiming();
        for (size_t b = 0; b < w.Batches.size(); ++b) {
            std::vector<std::string> paths;
            for (const std::string& name : w.Batches[b]) paths.push_back((w.Dir / "in" / name).string());
            page.OpenManagerDisk(w.Image(b));
            page.ImportBinaryFiles(paths);
            page.DiskFileList->selectAll();
            prompts.FolderAnswers.push_back((w.Dir / "out").string());
            page.ExportSelectedFiles(false);
        }
        if (!prompts.Texts().empty()) state.SkipWithError(prompts.LastText().c_str());
        prompts.Clear();
    }
    state.SetBytesProcessed(state.iterations() * 2 * w.Bytes);
}

void PageImportSmallFiles(benchmark::State& state) {
    tavrin::bench::App();
    Workspace& w = Shared();
    const auto count = static_cast<size_t>(state.range(0));
    const std::vector<std::string> files(w.SmallFiles.begin(),
                                         w.SmallFiles.begin() + static_cast<std::ptrdiff_t>(count));
    TScriptedUiPrompts prompts;
    TTavrinMachine machine(w.Dir.string() + "/");
    TDiskManagerPage page(machine, prompts, w.Dir.string() + "/");
    for (auto _ : state) {
        state.PauseTiming();
        w.Reset();
        page.OpenManagerDisk(w.Image(0));
        state.ResumeTiming();
        page.ImportBinaryFiles(files);
        if (page.DiskFileList->count() != static_cast<int>(count))
            return state.SkipWithError("not every file was imported");
    }
    state.counters["per_file"] = benchmark::Counter(
        static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void CpmtoolsImportExport200Files(benchmark::State& state) {
    Workspace& w = Shared();
    if (!Workspace::HaveCpmtools()) return state.SkipWithError("cpmtools not installed");
    for (auto _ : state) {
        state.PauseTiming();
        w.Reset();
        state.ResumeTiming();
        for (size_t b = 0; b < w.Batches.size(); ++b) {
            std::string in = "cpmcp -f cpmdsk1m -T raw " + w.Image(b);
            std::string out = in;
            for (const std::string& name : w.Batches[b]) {
                in += " in/" + name;
                out += " 0:" + name;
            }
            if (w.Run(in + " 0:") != 0 || w.Run(out + " out/") != 0) return state.SkipWithError("cpmcp failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * 2 * w.Bytes);
}

}  // namespace

BENCHMARK(PageImportSmallFiles)->Arg(10)->Arg(100)->Arg(250)->Unit(benchmark::kMicrosecond);
BENCHMARK(PageImportExport200Files)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CpmtoolsImportExport200Files)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
