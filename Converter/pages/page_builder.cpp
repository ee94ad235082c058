// The page text. Everything here works on strings only; reading the template and
// writing the page file are in page_file.cpp.
#include "pages/page_builder.h"

#include <cstdio>

#include "core/text.h"
#include "pages/style_checks.h"

namespace vg {
namespace {

void AppendReference(std::string& out, char32_t cp) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "&#x%X;", static_cast<unsigned>(cp));
  out += buffer;
}

// Appends `utf8` in the page's byte form; `escape` also escapes for an attribute value.
void AppendEncoded(std::string& out, std::string_view utf8, bool escape) {
  for (std::size_t i = 0; i < utf8.size();) {
    // A byte that starts no valid sequence stands for its Latin-1 character.
    char32_t cp = 0;
    std::size_t length = 1;
    DecodeUtf8Char(utf8, i, cp, length);
    i += length;
    if (escape) {
      switch (cp) {
        case U'&': out += "&amp;"; continue;
        case U'"': out += "&quot;"; continue;
        case U'<': out += "&lt;"; continue;
        case U'>': out += "&gt;"; continue;
        case U'\r': out += "&#13;"; continue;
        case U'\n': out += "&#10;"; continue;
        default: break;
      }
    }
    if (cp <= 0xFF) {
      out.push_back(static_cast<char>(cp));
    } else {
      AppendReference(out, cp);
    }
  }
}

std::string ParamLine(std::string_view name, std::string_view encoded_value) {
  std::string line = "\t<param name=\"";
  AppendEncoded(line, name, true);
  line += "\" value=\"";
  line += encoded_value;
  line += "\" />\r\n";
  return line;
}

// Every non-overlapping occurrence of `from`, left to right; the inserted text is not
// scanned again.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  std::string out;
  std::size_t start = 0;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
    out.append(text, start, at - start);
    out += to;
    start = at + from.size();
  }
  if (start == 0) return;  // nothing found
  out.append(text, start, std::string::npos);
  text.swap(out);
}

}  // namespace

std::string NormalizePageTemplate(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16 + 2);
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t lf = bytes.find('\n', start);
    std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    std::size_t line_end = end;
    if (lf != std::string_view::npos && line_end > start && bytes[line_end - 1] == '\r') --line_end;
    out.append(bytes.substr(start, line_end - start));
    out += "\r\n";
    start = lf == std::string_view::npos ? bytes.size() : lf + 1;
  }
  return out;
}

std::string EncodePageText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  AppendEncoded(out, utf8, false);
  return out;
}

std::string EncodeAttributeValue(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  AppendEncoded(out, utf8, true);
  return out;
}

std::string ParamText(std::string_view name, std::string_view value) {
  return ParamLine(name, EncodeAttributeValue(value));
}

std::string ParamNumber(std::string_view name, std::int32_t value) {
  return ParamLine(name, std::to_string(value));
}

std::string ParamColor(std::string_view name, std::uint32_t colour) {
  const std::uint32_t rgb =
      ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%06X", static_cast<unsigned>(rgb));
  return ParamLine(name, buffer);
}

std::string FrameParamName(std::size_t index) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "Frame%03zu", index);
  return buffer;
}

std::string BuildParamBlock(const ConverterSettings& settings,
                            const std::vector<const CImageItem*>& frames) {
  const Style style = StyleOf(settings.PresentationStyle);
  std::string block = ParamText("Style", StyleKeyword(style));
  switch (style) {
    case Style::TargetedLink:
      block += ParamText("Link", settings.Link);
      block += ParamText("TargetFrame", TargetFrameValue(settings));
      break;
    case Style::Text2Image: block += ParamText("Message", settings.Text2ImageMessage); break;
    case Style::Image2Text: block += ParamText("Message", settings.Image2TextMessage); break;
    case Style::Slideshow: block += ParamNumber("FrameDelay", settings.SlideshowDelay); break;
    case Style::Image2Image:  // no lines of its own
      break;
  }
  block += ParamText("Loading", settings.MessageLoading);
  block += ParamText("Label", settings.MessageStatus);
  // Only when set, so that pages without a watermark stay exactly as they were.
  if (!settings.Watermark.empty()) block += ParamText("Watermark", settings.Watermark);
  block += ParamColor("TextColor", settings.TextColor);
  block += ParamColor("BorderColor", settings.BackColor);
  block += ParamNumber("Border", settings.BorderWidth);
  // A frame list never comes near 2^31 entries (each is a file the run has written).
  block += ParamNumber("FrameCount", static_cast<std::int32_t>(frames.size()));
  for (std::size_t i = 0; i < frames.size(); ++i) {
    block += ParamText(FrameParamName(i), frames[i]->m_strProtectedName);
  }
  return block;
}

std::string BuildPage(const std::string& page_template, const ConverterSettings& settings,
                      const std::vector<const CImageItem*>& frames) {
  const std::int32_t width = frames.empty() ? 0 : frames.front()->m_nWidth;
  const std::int32_t height = frames.empty() ? 0 : frames.front()->m_nHeight;
  std::string page = page_template;
  ReplaceAll(page, "%WIDTH%", std::to_string(width));
  ReplaceAll(page, "%HEIGHT%", std::to_string(height));
  // Built only when the template asks for it.
  if (page.find("%PARAMS%") != std::string::npos) {
    ReplaceAll(page, "%PARAMS%", BuildParamBlock(settings, frames));
  }
  return page;
}

}  // namespace vg
