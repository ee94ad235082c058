// The converter's option record and the per-user store it is loaded from and saved to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/presentation_style.h"

namespace vg {

inline constexpr const char* kDefaultLink = "https://www.quillmere.example/vellagard/";

// One field per "General" entry, named as the entry. Colours are 0x00BBGGRR.
struct ConverterSettings {
  std::int32_t PresentationStyle = StoredValue(Style::TargetedLink);  // a Style
  std::string Link = kDefaultLink;
  std::int32_t Frame = StoredValue(LinkFrame::Self);  // a LinkFrame
  std::string OtherFrame;
  std::string Text2ImageMessage = "Press here";
  std::string Image2TextMessage = "Press here";
  std::string Image2ImageFile;
  std::int32_t SlideshowDelay = 1000;
  std::string MessageLoading = "Please wait while the image downloads...";
  std::string MessageStatus = "Quillmere - Protected image";
  std::uint32_t BackColor = 0x000000;
  std::uint32_t TextColor = 0xFFFFFF;
  std::int32_t BorderWidth = 0;
  bool DomainLock = false;
  std::int32_t Domain = 0;  // index into the domain list; -1 for none
  std::string Target;
  bool OpenTargetFolderOnCompletion = false;
  std::string Watermark;  // drawn across every picture by the viewer; empty for none
};

// The "Layout" pair: the window's top-left corner, -1 when not stored.
struct WindowPosition {
  std::int32_t Left = -1;
  std::int32_t Top = -1;
};

// A per-user store of integers and texts addressed by section and entry.
class ISettingsStore {
 public:
  virtual ~ISettingsStore() = default;
  virtual std::int32_t ReadInt(std::string_view section, std::string_view entry,
                               std::int32_t default_value) = 0;
  virtual std::string ReadText(std::string_view section, std::string_view entry,
                               std::string_view default_value) = 0;
  virtual void WriteInt(std::string_view section, std::string_view entry, std::int32_t value) = 0;
  virtual void WriteText(std::string_view section, std::string_view entry,
                         std::string_view value) = 0;
};

// A store held in memory, for tests and for runs that must not touch the user's own
// settings. Every access is logged in order, so a test can check what was read and
// written and in which sequence. An entry holds either an integer or a text, as a
// registry value does: reading it as the other type gives the default. Section and
// entry names are matched exactly (the converter always spells them the same way).
class MemorySettingsStore : public ISettingsStore {
 public:
  enum class Op { ReadInt, ReadText, WriteInt, WriteText };
  struct Access {
    Op op;
    std::string section;
    std::string entry;
    std::int32_t int_value = 0;  // WriteInt: the value written
    std::string text_value;      // WriteText: the text written
  };

  std::int32_t ReadInt(std::string_view section, std::string_view entry,
                       std::int32_t default_value) override;
  std::string ReadText(std::string_view section, std::string_view entry,
                       std::string_view default_value) override;
  void WriteInt(std::string_view section, std::string_view entry, std::int32_t value) override;
  void WriteText(std::string_view section, std::string_view entry, std::string_view value) override;

  // Presets a value without logging it (the state "already stored" of a test).
  void SetInt(std::string_view section, std::string_view entry, std::int32_t value);
  void SetText(std::string_view section, std::string_view entry, std::string_view value);
  // Removes an entry; reads then give the default.
  void Erase(std::string_view section, std::string_view entry);

  // The stored value, without logging; false when the entry is missing or of the other type.
  bool GetInt(std::string_view section, std::string_view entry, std::int32_t& value) const;
  bool GetText(std::string_view section, std::string_view entry, std::string& value) const;
  bool empty() const { return m_values.empty(); }

  const std::vector<Access>& log() const { return m_log; }
  // "Section/Entry" of every write, in order.
  std::vector<std::string> WrittenNames() const;
  // "Section/Entry" of every read, in order.
  std::vector<std::string> ReadNames() const;
  void ClearLog() { m_log.clear(); }

 private:
  struct Value {
    bool is_text = false;
    std::int32_t number = 0;
    std::string text;
  };
  using Key = std::pair<std::string, std::string>;
  std::map<Key, Value> m_values;
  std::vector<Access> m_log;
};

// True when both Left and Top were stored (neither is -1): only then is the window
// moved to that corner when it opens.
inline bool HasStoredPosition(const WindowPosition& position) {
  return position.Left != -1 && position.Top != -1;
}

// Section and entry names of the store.
inline constexpr const char* kSectionGeneral = "General";
inline constexpr const char* kSectionLayout = "Layout";
inline constexpr const char* kSectionDomains = "Domains";
inline constexpr const char* kEntryDomainNames = "Names";
// The entry that always ends the domain list.
inline constexpr const char* kLocalhostDomain = "localhost";

// Fills the record and the window position from the store: the "General" entries from
// Link to OpenTargetFolderOnCompletion, then "Layout" Left and Top, then
// PresentationStyle, then Watermark (added later, so read after the others). Missing entries give
// the record's defaults. DomainLock and OpenTargetFolderOnCompletion count as set for any non-zero
// value. A PresentationStyle outside 0 to 4 or a Frame outside 0 to 3 (only possible by editing the
// store) is replaced by its default, so nothing downstream ever sees it. Domain is kept as stored;
// CorrectDomainIndex fixes it once the domain list is known.
void LoadSettings(ISettingsStore& store, ConverterSettings& settings, WindowPosition& position);

// Writes every entry, changed or not: "Layout" Left and Top first, then "General" in
// the order PresentationStyle, Link, Frame, OtherFrame, Text2ImageMessage,
// Image2TextMessage, Image2ImageFile, SlideshowDelay, MessageLoading, MessageStatus,
// BackColor, TextColor, BorderWidth, Target, OpenTargetFolderOnCompletion (0/1),
// DomainLock (0/1), Domain, Watermark.
void SaveSettings(ISettingsStore& store, const ConverterSettings& settings,
                  const WindowPosition& position);

// The user's own domain names: "Domains"/"Names", one text with the names separated by
// semicolons. Each name is trimmed of white space; empty names are dropped. Empty
// (nothing but "localhost" offered) when the entry is missing.
std::vector<std::string> LoadDomainNames(ISettingsStore& store);
// Writes the names joined by semicolons. Names are trimmed and empty ones left out; a
// semicolon cannot be part of a name (no domain name holds one) and would split it.
void SaveDomainNames(ISettingsStore& store, const std::vector<std::string>& names);

// The list the domain drop-down offers: the names in ascending byte order (for UTF-8
// that is code point order; case matters), each name once, empty names left out, then
// "localhost" as the last entry. "localhost" among the names is not listed twice.
std::vector<std::string> BuildDomainList(const std::vector<std::string>& names);

// An index at or beyond the list size becomes 0; a negative index (nothing chosen) stays.
void CorrectDomainIndex(ConverterSettings& settings, std::size_t list_size);

// The key a run locks its files to: the chosen list entry when DomainLock is set and
// Domain selects an entry, otherwise empty text (keyless files).
std::string GetDomainKey(const ConverterSettings& settings,
                         const std::vector<std::string>& domain_list);

}  // namespace vg
