// Text fields of fixed room, as the launcher's design has them.
//
// The launcher keeps its paths and its argument string in fields of fixed size (paths 260
// characters, the argument string and the error text 2,048, each including the terminating
// zero as on Windows). Here the text is UTF-8 in a std::string, and the room is counted in
// UTF-16 code units, the unit Windows counts in, so a text fits here exactly when it would
// fit the Windows field. Nothing is ever cut: a text that does not fit is refused and the
// field keeps what it held.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vgsetup {

// Length of `text` in UTF-16 code units. Bytes that are not valid UTF-8 count as one unit
// each, so the count is defined for any bytes (POSIX paths need not be UTF-8).
inline std::size_t Utf16Units(std::string_view text) {
  std::size_t units = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) == 0x80) continue;           // continuation byte
    units += (c >= 0xF0 && c <= 0xF4) ? 2 : 1;  // four-byte sequences need a surrogate pair
  }
  return units;
}

template <std::size_t Room>
class CBoundedText {
 public:
  static constexpr std::size_t kRoom = Room;  // includes the terminating zero

  // True when `text` fits the field, i.e. it is shorter than the room.
  static bool Fits(std::string_view text) { return Utf16Units(text) < Room; }

  bool Assign(std::string_view text) {
    if (!Fits(text)) return false;
    m_text.assign(text.data(), text.size());
    return true;
  }
  bool Append(std::string_view text) {
    std::string joined = m_text;
    joined.append(text.data(), text.size());
    return Assign(joined);
  }
  void Clear() { m_text.clear(); }

  const std::string& str() const { return m_text; }
  const char* c_str() const { return m_text.c_str(); }
  bool empty() const { return m_text.empty(); }
  std::size_t Units() const { return Utf16Units(m_text); }
  bool EndsWith(char c) const { return !m_text.empty() && m_text.back() == c; }

 private:
  std::string m_text;
};

constexpr std::size_t kPathRoom = 260;
constexpr std::size_t kLongTextRoom = 2048;

using CPathText = CBoundedText<kPathRoom>;
using CLongText = CBoundedText<kLongTextRoom>;

}  // namespace vgsetup
