#pragma once
// The straightforward way to read an archive's directory: the whole file in memory, indices into
// it. The streaming reader must give exactly the same results; tests and the fuzzer compare them.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/file_server.h"

namespace reference {

using Entry = FileServer::Archive::Entry;

inline int parseDirectory(const uint8_t* d, size_t n, std::vector<Entry>& out) {
    using namespace archive_format;
    out.clear();
    if (n < 1) return kEmptyFile;
    size_t p = 0, i = 0;
    for (; i < n && p < kMarkerLength; ++i) p = d[i] == uint8_t(kMarker[p]) ? p + 1 : 0;
    if (p < kMarkerLength || i == n) return kBadDirectory;  // no marker, or it ends the file
    size_t q = i + 1;                                        // past the separator
    if (q < n && d[q] == '@') {
        ++q;
        if (q < n && d[q] == '@') return kOk;
    }
    std::vector<Entry> entries;
    std::vector<long long> sizes;
    for (;;) {
        size_t nameEnd = q;
        while (nameEnd < n && d[nameEnd] != '@') ++nameEnd;
        if (nameEnd >= n) return kBadDirectory;
        std::string name(reinterpret_cast<const char*>(d + q), nameEnd - q);
        if (name.size() > kMaxNameLength || name.find('\0') != std::string::npos) return kBadDirectory;
        q = nameEnd + 1;
        if (q >= n) return kBadDirectory;
        if (d[q] == '@') {
            ++q;
            break;
        }
        size_t fieldEnd = q;
        while (fieldEnd < n && d[fieldEnd] != '@') ++fieldEnd;
        if (fieldEnd >= n) return kBadDirectory;
        // strtol on a terminated copy of the field, with the same saturation beyond 32 bits.
        std::string field(reinterpret_cast<const char*>(d + q), fieldEnd - q);
        long long size = std::strtoll(field.c_str(), nullptr, 10);
        if (size > INT32_MAX) size = INT32_MAX;
        if (size < -INT32_MAX - 1LL) size = -INT32_MAX - 1LL;
        q = fieldEnd + 1;
        if (entries.size() == kMaxEntries) return kBadDirectory;
        entries.push_back({name, 0, 0});
        sizes.push_back(size);
        if (q >= n) return kBadDirectory;
        if (d[q] == '@') {
            ++q;
            break;
        }
    }
    long long offset = static_cast<long long>(q);
    for (size_t k = 0; k < entries.size(); ++k) {
        entries[k].size = static_cast<int32_t>(sizes[k]);
        entries[k].offset = offset;
        offset += sizes[k];
    }
    out = std::move(entries);
    return kOk;
}

inline std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// Index of the first entry whose full or base name equals the request, ignoring ASCII case; -1.
inline int find(const std::vector<Entry>& entries, const std::string& request) {
    std::string want = lowerAscii(request);
    for (size_t k = 0; k < entries.size(); ++k) {
        std::string full = lowerAscii(entries[k].name);
        std::string base = full.substr(full.find_last_of('/') == std::string::npos ? 0 : full.find_last_of('/') + 1);
        if (want == full || want == base) return int(k);
    }
    return -1;
}

}  // namespace reference
