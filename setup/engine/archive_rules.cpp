#include "archive_rules.h"

namespace vgengine {

std::string CheckEntryName(const std::string& name) {
  if (name.empty()) return "an empty name";
  if (name.size() > kMaxNameLength) return "a name longer than 200 bytes";
  if (name[0] == '/') return "an absolute path";
  std::size_t start = 0;
  // A folder entry ends with a slash; the slash is not an empty part.
  const std::size_t end = name.back() == '/' ? name.size() - 1 : name.size();
  if (end == 0) return "an absolute path";
  while (start <= end) {
    std::size_t slash = name.find('/', start);
    if (slash == std::string::npos || slash > end) slash = end;
    const std::string part = name.substr(start, slash - start);
    if (part.empty()) return "an empty path part";
    if (part == "." || part == "..") return "a \".\" or \"..\" part";
    if (part.back() == '.' || part.back() == ' ') return "a part ending in a dot or a blank";
    for (unsigned char c : part) {
      if (c < 0x20 || c == 0x7F) return "a control character";
      if (c == ':') return "a drive letter or colon";
      if (c == '\\') return "a backslash";
      if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
        return "a character Windows does not allow in names";
      }
    }
    start = slash + 1;
  }
  return std::string();
}

}  // namespace vgengine
