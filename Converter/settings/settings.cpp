#include "settings/settings.h"

#include <algorithm>

#include "core/text.h"

namespace vg {
namespace {

// Colours are unsigned 0x00BBGGRR in the record and 32-bit integers in the store; the
// bits are carried over unchanged both ways.
std::int32_t ColourToInt(std::uint32_t colour) {
  return colour <= 0x7FFFFFFFu ? static_cast<std::int32_t>(colour)
                               : -static_cast<std::int32_t>(~colour) - 1;
}
std::uint32_t IntToColour(std::int32_t value) { return static_cast<std::uint32_t>(value); }

std::string Name(const std::string& section, const std::string& entry) {
  return section + "/" + entry;
}

}  // namespace

// --- MemorySettingsStore ------------------------------------------------------------

std::int32_t MemorySettingsStore::ReadInt(std::string_view section, std::string_view entry,
                                          std::int32_t default_value) {
  m_log.push_back({Op::ReadInt, std::string(section), std::string(entry), 0, {}});
  std::int32_t value = default_value;
  GetInt(section, entry, value);
  return value;
}

std::string MemorySettingsStore::ReadText(std::string_view section, std::string_view entry,
                                          std::string_view default_value) {
  m_log.push_back({Op::ReadText, std::string(section), std::string(entry), 0, {}});
  std::string value(default_value);
  GetText(section, entry, value);
  return value;
}

void MemorySettingsStore::WriteInt(std::string_view section, std::string_view entry,
                                   std::int32_t value) {
  m_log.push_back({Op::WriteInt, std::string(section), std::string(entry), value, {}});
  SetInt(section, entry, value);
}

void MemorySettingsStore::WriteText(std::string_view section, std::string_view entry,
                                    std::string_view value) {
  m_log.push_back({Op::WriteText, std::string(section), std::string(entry), 0, std::string(value)});
  SetText(section, entry, value);
}

void MemorySettingsStore::SetInt(std::string_view section, std::string_view entry,
                                 std::int32_t value) {
  Value& v = m_values[Key(section, entry)];
  v.is_text = false;
  v.number = value;
  v.text.clear();
}

void MemorySettingsStore::SetText(std::string_view section, std::string_view entry,
                                  std::string_view value) {
  Value& v = m_values[Key(section, entry)];
  v.is_text = true;
  v.number = 0;
  v.text = std::string(value);
}

void MemorySettingsStore::Erase(std::string_view section, std::string_view entry) {
  m_values.erase(Key(section, entry));
}

bool MemorySettingsStore::GetInt(std::string_view section, std::string_view entry,
                                 std::int32_t& value) const {
  auto it = m_values.find(Key(section, entry));
  if (it == m_values.end() || it->second.is_text) return false;
  value = it->second.number;
  return true;
}

bool MemorySettingsStore::GetText(std::string_view section, std::string_view entry,
                                  std::string& value) const {
  auto it = m_values.find(Key(section, entry));
  if (it == m_values.end() || !it->second.is_text) return false;
  value = it->second.text;
  return true;
}

std::vector<std::string> MemorySettingsStore::WrittenNames() const {
  std::vector<std::string> names;
  for (const Access& a : m_log) {
    if (a.op == Op::WriteInt || a.op == Op::WriteText) names.push_back(Name(a.section, a.entry));
  }
  return names;
}

std::vector<std::string> MemorySettingsStore::ReadNames() const {
  std::vector<std::string> names;
  for (const Access& a : m_log) {
    if (a.op == Op::ReadInt || a.op == Op::ReadText) names.push_back(Name(a.section, a.entry));
  }
  return names;
}

// --- Loading and saving -------------------------------------------------------------

void LoadSettings(ISettingsStore& store, ConverterSettings& settings, WindowPosition& position) {
  const ConverterSettings d;  // the defaults
  ISettingsStore& s = store;
  const char* g = kSectionGeneral;
  ConverterSettings& r = settings;

  r.Link = s.ReadText(g, "Link", d.Link);
  r.Frame = s.ReadInt(g, "Frame", d.Frame);
  if (!IsValidFrame(r.Frame)) r.Frame = d.Frame;
  r.OtherFrame = s.ReadText(g, "OtherFrame", d.OtherFrame);
  r.Text2ImageMessage = s.ReadText(g, "Text2ImageMessage", d.Text2ImageMessage);
  r.Image2TextMessage = s.ReadText(g, "Image2TextMessage", d.Image2TextMessage);
  r.Image2ImageFile = s.ReadText(g, "Image2ImageFile", d.Image2ImageFile);
  r.SlideshowDelay = s.ReadInt(g, "SlideshowDelay", d.SlideshowDelay);
  r.MessageLoading = s.ReadText(g, "MessageLoading", d.MessageLoading);
  r.MessageStatus = s.ReadText(g, "MessageStatus", d.MessageStatus);
  r.BackColor = IntToColour(s.ReadInt(g, "BackColor", ColourToInt(d.BackColor)));
  r.TextColor = IntToColour(s.ReadInt(g, "TextColor", ColourToInt(d.TextColor)));
  r.BorderWidth = s.ReadInt(g, "BorderWidth", d.BorderWidth);
  r.DomainLock = s.ReadInt(g, "DomainLock", d.DomainLock ? 1 : 0) != 0;
  r.Domain = s.ReadInt(g, "Domain", d.Domain);
  r.Target = s.ReadText(g, "Target", d.Target);
  r.OpenTargetFolderOnCompletion =
      s.ReadInt(g, "OpenTargetFolderOnCompletion", d.OpenTargetFolderOnCompletion ? 1 : 0) != 0;

  const WindowPosition dp;
  position.Left = s.ReadInt(kSectionLayout, "Left", dp.Left);
  position.Top = s.ReadInt(kSectionLayout, "Top", dp.Top);

  r.PresentationStyle = s.ReadInt(g, "PresentationStyle", d.PresentationStyle);
  if (!IsValidStyle(r.PresentationStyle)) r.PresentationStyle = d.PresentationStyle;

  r.Watermark = s.ReadText(g, "Watermark", d.Watermark);
}

void SaveSettings(ISettingsStore& store, const ConverterSettings& settings,
                  const WindowPosition& position) {
  ISettingsStore& s = store;
  const char* g = kSectionGeneral;
  const ConverterSettings& r = settings;

  s.WriteInt(kSectionLayout, "Left", position.Left);
  s.WriteInt(kSectionLayout, "Top", position.Top);

  s.WriteInt(g, "PresentationStyle", r.PresentationStyle);
  s.WriteText(g, "Link", r.Link);
  s.WriteInt(g, "Frame", r.Frame);
  s.WriteText(g, "OtherFrame", r.OtherFrame);
  s.WriteText(g, "Text2ImageMessage", r.Text2ImageMessage);
  s.WriteText(g, "Image2TextMessage", r.Image2TextMessage);
  s.WriteText(g, "Image2ImageFile", r.Image2ImageFile);
  s.WriteInt(g, "SlideshowDelay", r.SlideshowDelay);
  s.WriteText(g, "MessageLoading", r.MessageLoading);
  s.WriteText(g, "MessageStatus", r.MessageStatus);
  s.WriteInt(g, "BackColor", ColourToInt(r.BackColor));
  s.WriteInt(g, "TextColor", ColourToInt(r.TextColor));
  s.WriteInt(g, "BorderWidth", r.BorderWidth);
  s.WriteText(g, "Target", r.Target);
  s.WriteInt(g, "OpenTargetFolderOnCompletion", r.OpenTargetFolderOnCompletion ? 1 : 0);
  s.WriteInt(g, "DomainLock", r.DomainLock ? 1 : 0);
  s.WriteInt(g, "Domain", r.Domain);
  s.WriteText(g, "Watermark", r.Watermark);
}

// --- Domain list --------------------------------------------------------------------

std::vector<std::string> LoadDomainNames(ISettingsStore& store) {
  const std::string text = store.ReadText(kSectionDomains, kEntryDomainNames, "");
  std::vector<std::string> names;
  std::string_view rest = text;
  while (true) {
    const std::size_t semicolon = rest.find(';');
    const std::string_view name = TrimView(rest.substr(0, semicolon));
    if (!name.empty()) names.emplace_back(name);
    if (semicolon == std::string_view::npos) break;
    rest.remove_prefix(semicolon + 1);
  }
  return names;
}

void SaveDomainNames(ISettingsStore& store, const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) {
    const std::string_view name = TrimView(n);
    if (name.empty()) continue;
    if (!text.empty()) text += ';';
    text += name;
  }
  store.WriteText(kSectionDomains, kEntryDomainNames, text);
}

std::vector<std::string> BuildDomainList(const std::vector<std::string>& names) {
  std::vector<std::string> list;
  list.reserve(names.size() + 1);
  for (const std::string& n : names) {
    if (!n.empty() && n != kLocalhostDomain) list.push_back(n);
  }
  // std::string compares as unsigned bytes (char_traits<char>::lt), which for UTF-8 is
  // code point order.
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
  list.emplace_back(kLocalhostDomain);
  return list;
}

void CorrectDomainIndex(ConverterSettings& settings, std::size_t list_size) {
  if (settings.Domain >= 0 && static_cast<std::size_t>(settings.Domain) >= list_size) {
    settings.Domain = 0;
  }
}

std::string GetDomainKey(const ConverterSettings& settings,
                         const std::vector<std::string>& domain_list) {
  if (!settings.DomainLock || settings.Domain < 0 ||
      static_cast<std::size_t>(settings.Domain) >= domain_list.size()) {
    return std::string();
  }
  return domain_list[static_cast<std::size_t>(settings.Domain)];
}

}  // namespace vg
