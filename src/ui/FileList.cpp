#include "ui/FileList.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double UnixEpochDays = 25569.0;  // 1 January 1970 as a TDateTime
constexpr double SecondsPerDay = 86400.0;

bool SameName(const std::string& a, const std::string& b, bool caseSensitive) {
    if (caseSensitive) return a == b;
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(static_cast<unsigned char>(x)) == lower(static_cast<unsigned char>(y));
           });
}

}  // namespace

TDateTime FileTimeToDateTime(const struct timespec& FileTime) {
    const double value =
        UnixEpochDays +
        (static_cast<double>(FileTime.tv_sec) + static_cast<double>(FileTime.tv_nsec) / 1e9) / SecondsPerDay;
    return std::isfinite(value) && value > 0 ? value : 0;
}

void TFileItem::Init() {
    Size = -1;
    Attributes = 0;
    CreationTime = LastWriteTime = LastAccessTime = 0;
}

bool TFileItem::Refresh() {
    struct statx sx {};
    if (FileName.empty() || ::statx(AT_FDCWD, FileName.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        Init();
        return false;
    }
    auto stamp = [](const struct statx_timestamp& t) {
        return FileTimeToDateTime(timespec{static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)});
    };
    Size = static_cast<int64_t>(sx.stx_size);
    Attributes = sx.stx_mode;
    // File systems without a birth time give the last status change.
    CreationTime = stamp((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_ctime);
    LastWriteTime = stamp(sx.stx_mtime);
    LastAccessTime = stamp(sx.stx_atime);
    return true;
}

TFileItem* TFileItemList::GetItem(int i) const {
    return i >= 0 && i < Count() ? Items[static_cast<size_t>(i)].get() : nullptr;
}

int TFileItemList::IndexOf(const std::string& FileName) const {
    for (int i = 0; i < Count(); ++i)
        if (SameName(Items[static_cast<size_t>(i)]->FileName, FileName, CaseSensitive)) return i;
    return -1;
}

TFileItem* TFileItemList::Find(const std::string& FileName, const std::string& Key) const {
    if (Key.empty()) return GetItem(IndexOf(FileName));
    for (const auto& item : Items)
        if (item->Key == Key) return item.get();
    return nullptr;
}

TFileItem* TFileItemList::AddFile(const std::string& FileName, const std::string& Key, bool Refresh) {
    if (FileName.empty()) return nullptr;
    TFileItem* item = Find(FileName, Key);
    if (!item) {
        Items.push_back(std::make_unique<TFileItem>());
        item = Items.back().get();
        item->FileName = FileName;
        item->Key = Key;
    }
    if (Refresh) item->Refresh();
    return item;
}

int64_t TFileItemList::TotalSize() const {
    int64_t total = 0;
    for (const auto& item : Items) total += item->Size;
    return total;
}
