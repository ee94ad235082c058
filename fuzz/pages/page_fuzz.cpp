// libFuzzer harness for the page builder: the template's line handling, the UTF-8 to
// page-byte encoding of option texts (which may come from an edited settings store or
// the command line) and the whole page. Besides running under the sanitizers it checks
// the results against small independent reference implementations.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pages/page_builder.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

// Every LF gets a CR in front unless it has one; a non-empty text not ending in LF
// gets a CR LF at the end.
std::string ReferenceNormalize(const std::string& t) {
  std::string out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\n' && (i == 0 || t[i - 1] != '\r')) out += '\r';
    out += t[i];
  }
  if (!t.empty() && t.back() != '\n') out += "\r\n";
  return out;
}

// Code points of `s`: well-formed UTF-8 sequences (by the table of well-formed byte
// sequences), every other byte as its own value.
std::vector<std::uint32_t> ReferenceDecode(const std::string& s) {
  struct Range {
    unsigned char lo, hi;
  };
  struct Form {
    Range r[4];
    int n;
  };
  static const Form forms[] = {
      {{{0xC2, 0xDF}, {0x80, 0xBF}}, 2},
      {{{0xE0, 0xE0}, {0xA0, 0xBF}, {0x80, 0xBF}}, 3},
      {{{0xE1, 0xEC}, {0x80, 0xBF}, {0x80, 0xBF}}, 3},
      {{{0xED, 0xED}, {0x80, 0x9F}, {0x80, 0xBF}}, 3},
      {{{0xEE, 0xEF}, {0x80, 0xBF}, {0x80, 0xBF}}, 3},
      {{{0xF0, 0xF0}, {0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}, 4},
      {{{0xF1, 0xF3}, {0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}, 4},
      {{{0xF4, 0xF4}, {0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}, 4},
  };
  std::vector<std::uint32_t> out;
  std::size_t i = 0;
  while (i < s.size()) {
    int taken = 0;
    for (const Form& f : forms) {
      if (s.size() - i < static_cast<std::size_t>(f.n)) continue;
      bool match = true;
      for (int k = 0; k < f.n && match; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        match = b >= f.r[k].lo && b <= f.r[k].hi;
      }
      if (!match) continue;
      const auto b0 = static_cast<unsigned char>(s[i]);
      std::uint32_t cp = f.n == 2 ? (b0 & 0x1F) : f.n == 3 ? (b0 & 0x0F) : (b0 & 0x07);
      for (int k = 1; k < f.n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
      out.push_back(cp);
      taken = f.n;
      break;
    }
    if (taken == 0) {
      out.push_back(static_cast<unsigned char>(s[i]));
      taken = 1;
    }
    i += static_cast<std::size_t>(taken);
  }
  return out;
}

// Reads an escaped attribute value back into code points, as a browser would.
std::vector<std::uint32_t> Unescape(const std::string& v) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < v.size();) {
    const auto c = static_cast<unsigned char>(v[i]);
    Check(c != '"' && c != '<' && c != '>' && c != '\r' && c != '\n',
          "raw markup character in value");
    if (c != '&') {
      out.push_back(c);
      ++i;
      continue;
    }
    const std::size_t semi = v.find(';', i);
    Check(semi != std::string::npos, "unterminated reference");
    const std::string ref = v.substr(i + 1, semi - i - 1);
    if (ref == "amp") out.push_back('&');
    else if (ref == "quot") out.push_back('"');
    else if (ref == "lt") out.push_back('<');
    else if (ref == "gt") out.push_back('>');
    else if (ref == "#13") out.push_back('\r');
    else if (ref == "#10") out.push_back('\n');
    else {
      Check(ref.size() > 2 && ref[0] == '#' && ref[1] == 'x', "unknown reference");
      const std::uint32_t cp =
          static_cast<std::uint32_t>(std::strtoul(ref.c_str() + 2, nullptr, 16));
      Check(cp > 0xFF, "reference for a one-byte character");
      out.push_back(cp);
    }
    i = semi + 1;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string raw_template = in.ConsumeRandomLengthString(4096);
  const std::string text = in.ConsumeRandomLengthString(512);

  // Template line ends.
  const std::string tpl = vg::NormalizePageTemplate(raw_template);
  Check(tpl == ReferenceNormalize(raw_template), "template normalisation");
  Check(vg::NormalizePageTemplate(tpl) == tpl, "normalisation is not idempotent");

  // Option text encoding: nothing lost, nothing that can break the attribute.
  const std::string value = vg::EncodeAttributeValue(text);
  Check(Unescape(value) == ReferenceDecode(text), "attribute value does not read back");
  const std::string line = vg::ParamText("Message", text);
  Check(line == "\t<param name=\"Message\" value=\"" + value + "\" />\r\n", "parameter line form");

  // A whole page with settings of any value, in range or not.
  vg::ConverterSettings s;
  s.PresentationStyle = in.ConsumeIntegral<std::int32_t>();
  s.Frame = in.ConsumeIntegral<std::int32_t>();
  s.SlideshowDelay = in.ConsumeIntegral<std::int32_t>();
  s.BorderWidth = in.ConsumeIntegral<std::int32_t>();
  s.TextColor = in.ConsumeIntegral<std::uint32_t>();
  s.BackColor = in.ConsumeIntegral<std::uint32_t>();
  s.Link = text;
  s.OtherFrame = in.ConsumeRandomLengthString(64);
  s.Text2ImageMessage = in.ConsumeRandomLengthString(64);
  s.Image2TextMessage = text;
  s.MessageLoading = in.ConsumeRandomLengthString(64);
  s.MessageStatus = in.ConsumeRandomLengthString(64);
  std::vector<vg::CImageItem> items(in.ConsumeIntegralInRange<std::size_t>(0, 4));
  for (auto& item : items) {
    item.m_strProtectedName = in.ConsumeRandomLengthString(64);
    item.m_nWidth = in.ConsumeIntegral<std::int32_t>();
    item.m_nHeight = in.ConsumeIntegral<std::int32_t>();
  }
  std::vector<const vg::CImageItem*> frames;
  for (const auto& item : items) frames.push_back(&item);
  s.Watermark = in.ConsumeRandomLengthString(64);
  const std::size_t watermark_lines = s.Watermark.empty() ? 0 : 1;

  const std::string block = vg::BuildParamBlock(s, frames);
  std::size_t lines = 0;
  for (std::size_t at = 0; at < block.size(); ++lines) {
    const std::size_t end = block.find("\r\n", at);
    Check(end != std::string::npos, "block line without CR LF");
    const std::string l = block.substr(at, end - at);
    Check(l.rfind("\t<param name=\"", 0) == 0 && l.size() >= 4 &&
              l.compare(l.size() - 4, 4, "\" />") == 0,
          "block line form");
    const std::size_t v = l.find("\" value=\"");
    Check(v != std::string::npos, "block line without value");
    Unescape(l.substr(v + 9, l.size() - 4 - (v + 9)));
    at = end + 2;
  }
  Check(
      lines >= 7 + watermark_lines + frames.size() && lines <= 9 + watermark_lines + frames.size(),
      "number of block lines");
  Check((block.find("\t<param name=\"Watermark\" value=\"") != std::string::npos) ==
            !s.Watermark.empty(),
        "watermark line only when set");

  const std::string page = vg::BuildPage(tpl, s, frames);
  if (tpl.find('%') == std::string::npos)
    Check(page == tpl, "a template without placeholders changed");
  Check(vg::BuildPage("%PARAMS%", s, frames) == block, "block placed as built");
  return 0;
}
