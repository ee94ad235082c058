// The limits and name rules that the setup data's archive must keep. The archive comes from
// a file the user downloaded, so nothing in it is trusted: names may not leave the folder
// they are extracted into, and sizes are bounded before anything is read or allocated.
#pragma once

#include <cstdint>
#include <string>

namespace vgengine {

constexpr std::uint64_t kMaxEntries = 1000;
constexpr std::uint64_t kMaxEntrySize = 512ull << 20;   // one file, uncompressed
constexpr std::uint64_t kMaxTotalSize = 2048ull << 20;  // all files, uncompressed
constexpr std::size_t kMaxNameLength = 200;             // bytes of UTF-8
constexpr std::uint64_t kMaxScriptSize = 1 << 20;       // what read_entry hands to Lua

// Compression types the engine reads (the __QVCT: value): a zip archive whose entries are
// stored (0) or deflated (8), the zip method numbers. An archive of type 8 may still store
// an entry that does not shrink.
inline bool IsKnownCompressionType(int type) { return type == 0 || type == 8; }
inline bool IsAllowedMethod(int type, int method) { return method == 0 || method == type; }

// Empty when `name` (UTF-8, as the archive holds it) is a safe relative path made of
// forward-slash separated parts, else the reason it is refused: absolute paths, drive
// letters and other colons, backslashes, "." and ".." parts, empty parts, control
// characters and characters Windows does not allow in names.
std::string CheckEntryName(const std::string& name);

}  // namespace vgengine
