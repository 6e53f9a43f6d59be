// Routines on one 32-byte directory entry and the shaping of names.

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "disk/CpmDiskDrive.h"

namespace {

constexpr int NameOffset = 1;
constexpr int NameLength = 8;
constexpr int TypeOffset = 9;
constexpr int TypeLength = 3;
constexpr int PointerOffset = 16;

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Bit 7 masked off, then blanks and control characters at the end dropped.
std::string ReadField(const TCpmDirEntry& entry, int offset, int length) {
    std::string s;
    s.reserve(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) s.push_back(static_cast<char>(entry[offset + i] & 0x7F));
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
    return s;
}

size_t FolderEnd(const std::string& name, const char* separators) {
    const size_t sep = name.find_last_of(separators);
    return sep == std::string::npos ? 0 : sep + 1;
}

// Characters a CP/M command line treats as delimiters or wildcards.
bool IsForbiddenNameChar(char c) {
    static const char Forbidden[] = "<>.,;:=?*[]|()/\\%";
    return std::strchr(Forbidden, c) != nullptr;
}

bool IsValidNamePart(const std::string& part) {
    return std::all_of(part.begin(), part.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > ' ' && u < 0x7F && !IsForbiddenNameChar(c);
    });
}

}  // namespace

std::string CpmEntryGetName(const TCpmDirEntry& Entry) { return ReadField(Entry, NameOffset, NameLength); }

std::string CpmEntryGetExt(const TCpmDirEntry& Entry) { return ReadField(Entry, TypeOffset, TypeLength); }

std::string CpmEntryGetFullName(const TCpmDirEntry& Entry) {
    const std::string ext = CpmEntryGetExt(Entry);
    return ext.empty() ? CpmEntryGetName(Entry) : CpmEntryGetName(Entry) + "." + ext;
}

uint8_t CpmEntryGetAttributes(const TCpmDirEntry& Entry) {
    uint8_t a = 0;
    if (Entry[9] & 0x80) a |= CpmAttrReadOnly;
    if (Entry[10] & 0x80) a |= CpmAttrSystem;
    if (Entry[11] & 0x80) a |= CpmAttrArchive;
    return a;
}

void CpmEntrySetAttributes(TCpmDirEntry& Entry, uint8_t Attributes) {
    const uint8_t bits[3] = {CpmAttrReadOnly, CpmAttrSystem, CpmAttrArchive};
    for (int i = 0; i < 3; ++i) {
        uint8_t& b = Entry[static_cast<size_t>(TypeOffset + i)];
        b = static_cast<uint8_t>((b & 0x7F) | ((Attributes & bits[i]) ? 0x80 : 0));
    }
}

uint16_t CpmEntryGetExtentNo(const TCpmDirEntry& Entry) {
    return static_cast<uint16_t>((Entry[14] & 0x0F) * 32 + (Entry[12] & 0x1F));
}

uint16_t CpmEntryGetPointer(const TCpmDirEntry& Entry, int p) {
    const size_t at = static_cast<size_t>(PointerOffset + 2 * (p & 7));
    return static_cast<uint16_t>(Entry[at] | (Entry[at + 1] << 8));
}

int CpmEntryCountBlocks(const TCpmDirEntry& Entry, bool Use16BitBlocks) {
    int n = 0;
    if (Use16BitBlocks) {
        for (int p = 0; p < 8; ++p)
            if (CpmEntryGetPointer(Entry, p) != 0) ++n;
    } else {
        for (int i = PointerOffset; i < 32; ++i)
            if (Entry[static_cast<size_t>(i)] != 0) ++n;
    }
    return n;
}

void CpmSplitName(const std::string& Name, std::string& Base, std::string& Ext) {
    const std::string bare = Name.substr(FolderEnd(Name, "/\\:"));
    const size_t dot = bare.rfind('.');
    Base = bare.substr(0, dot);
    Ext = dot == std::string::npos ? std::string() : bare.substr(dot + 1);
    std::transform(Base.begin(), Base.end(), Base.begin(), AsciiUpper);
    std::transform(Ext.begin(), Ext.end(), Ext.begin(), AsciiUpper);
    if (Base.size() > NameLength) Base.resize(NameLength);
    if (Ext.size() > TypeLength) Ext.resize(TypeLength);
}

bool CpmIsValidName(const std::string& Name) {
    std::string base, ext;
    CpmSplitName(Name, base, ext);
    return !base.empty() && IsValidNamePart(base) && IsValidNamePart(ext);
}

void CheckCpmFileName(const std::string& Name) {
    if (!CpmIsValidName(Name)) throw std::runtime_error("The name \"" + Name + "\" is not a valid CPM file name!");
}

void CpmEntrySetName(const std::string& Name, TCpmDirEntry& Entry, bool KeepHighBits) {
    CheckCpmFileName(Name);
    std::string base, ext;
    CpmSplitName(Name, base, ext);
    base.resize(NameLength, ' ');
    ext.resize(TypeLength, ' ');
    const std::string chars = base + ext;
    for (int i = 0; i < NameLength + TypeLength; ++i) {
        uint8_t& b = Entry[static_cast<size_t>(NameOffset + i)];
        const auto c = static_cast<uint8_t>(chars[static_cast<size_t>(i)]);
        b = KeepHighBits ? static_cast<uint8_t>((b & 0x80) | (c & 0x7F)) : c;
    }
}

std::string MakeCpmShortName(const std::string& HostName) {
    const std::string bare = HostName.substr(FolderEnd(HostName, "/\\"));
    const size_t dot = bare.rfind('.');
    if (dot == std::string::npos) return bare.substr(0, NameLength);
    return bare.substr(0, std::min<size_t>(dot, NameLength)) + bare.substr(dot, 1 + TypeLength);
}

std::string MakeHostSafeName(const std::string& CpmName) {
    std::string s = CpmName;
    for (char& c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < ' ' || u >= 0x7F || c == '/' || c == '\\') c = '_';
    }
    for (char& c : s) {
        if (c != '.') break;
        c = '_';
    }
    return s.empty() ? std::string("_") : s;
}
