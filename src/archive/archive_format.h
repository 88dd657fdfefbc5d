#pragma once
// The data archive's layout, shared by the reader, the writer and the tests:
//   prefix (any bytes) | marker | "@" | name "@" size "@" ... | "@" | file data back to back
#include <cstddef>
#include <cstdint>

namespace archive_format {

inline constexpr char kMarker[] = "@@QuillbankPackUtilitySignatureFieldMarkV2001";
inline constexpr size_t kMarkerLength = sizeof kMarker - 1;  // 45
inline constexpr char kSeparator = '@';

// Limits of the directory; an archive beyond them is refused like an unreadable directory.
inline constexpr size_t kMaxEntries = 1024;
inline constexpr size_t kMaxNameLength = 511;

// Status codes of opening an archive.
inline constexpr int kOk = 0;
inline constexpr int kCannotOpen = -1;
inline constexpr int kSeekFailed = -2;
inline constexpr int kEmptyFile = -3;
inline constexpr int kShortRead = -4;
inline constexpr int kBadDirectory = -5;

}  // namespace archive_format
