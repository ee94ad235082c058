#include "settings/domain_name.h"

#include <cstdint>
#include <vector>

#include "core/protected_file.h"
#include "core/text.h"

namespace vg {
namespace {

constexpr std::size_t kMaxLabelLength = 63;
constexpr std::size_t kMaxNameLength = 253;

// The lower-case form of a letter in the scripts this converter folds (Latin, Greek,
// Cyrillic), the code point itself when it is already lower case or has no case,
// and 0 when the code point is a letter whose case this converter does not know.
char32_t FoldCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0x80) return c;
  // Latin-1 Supplement: capitals C0-DE except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c >= 0xDF && c <= 0xFF && c != 0xF7) return c;
  // Latin Extended-A: pairs of capital and small letter.
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130 || c == 0x131) return 0;  // dotted and dotless I fold by language
    if (c == 0x138 || c == 0x149) return c;  // kra, n preceded by apostrophe
    if (c == 0x178) return 0xFF;             // Y with diaeresis
    if (c == 0x17F) return 's';              // long s
    const bool odd_capitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_capitals) return (c % 2 == 1) ? c + 1 : c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  // Latin Extended Additional (Vietnamese among others).
  if ((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF)) return (c % 2 == 0) ? c + 1 : c;
  if (c == 0x1E9E) return 0xDF;  // capital sharp s
  // Greek.
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 37;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 63;
  if (c >= 0x3AC && c <= 0x3CE) return c;
  // Cyrillic.
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x430 && c <= 0x45F) return c;
  // Scripts without letter case: Hebrew, Arabic, Devanagari to Malayalam, Thai,
  // Georgian (Mkhedruli), Hiragana, Katakana, CJK ideographs, Hangul.
  if ((c >= 0x5D0 && c <= 0x5EA) || (c >= 0x620 && c <= 0x64A) || (c >= 0x660 && c <= 0x669) ||
      (c >= 0x671 && c <= 0x6D3) || (c >= 0x900 && c <= 0xD7F) || (c >= 0xE01 && c <= 0xE3A) ||
      (c >= 0xE40 && c <= 0xE4E) || (c >= 0x10D0 && c <= 0x10FA) || (c >= 0x3041 && c <= 0x3096) ||
      (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC || (c >= 0x3400 && c <= 0x4DBF) ||
      (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3)) {
    return c;
  }
  return 0;
}

bool IsDot(char32_t c) { return c == '.' || c == 0x3002 || c == 0xFF0E || c == 0xFF61; }

// The host part of a pasted address: "https://user@Host:8080/gallery/?x#y" gives
// "Host". Text without a scheme is taken as starting with the host ("Host/gallery").
std::string_view HostOfAddress(std::string_view text) {
  const std::size_t scheme_end = text.find("://");
  if (scheme_end != std::string_view::npos) {
    bool scheme = scheme_end > 0;
    for (std::size_t i = 0; i < scheme_end; ++i) {
      const char c = text[i];
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      scheme = scheme &&
               (letter || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')));
    }
    if (scheme) text.remove_prefix(scheme_end + 3);
  }
  text = text.substr(0, text.find_first_of("/?#"));
  const std::size_t at = text.rfind('@');
  if (at != std::string_view::npos) text.remove_prefix(at + 1);
  const std::size_t colon = text.rfind(':');
  if (colon != std::string_view::npos && colon + 1 < text.size() &&
      text.find_first_not_of("0123456789", colon + 1) == std::string_view::npos) {
    text = text.substr(0, colon);  // a port number
  }
  return text;
}

DomainNameResult Refuse(std::string message) {
  DomainNameResult r;
  r.message = std::move(message);
  return r;
}

}  // namespace

std::string PunycodeEncode(const std::u32string& input) {
  constexpr std::uint32_t kBase = 36, kTMin = 1, kTMax = 26, kSkew = 38, kDamp = 700;
  constexpr std::uint32_t kInitialBias = 72, kInitialN = 128;
  constexpr std::uint32_t kMaxInt = 0xFFFFFFFFu;
  auto digit = [](std::uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26)); };
  auto adapt = [&](std::uint32_t delta, std::uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
      delta /= kBase - kTMin;
      k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
  };

  std::string out;
  for (char32_t c : input) {
    if (c < 0x80) out += static_cast<char>(c);
  }
  const std::uint32_t basic = static_cast<std::uint32_t>(out.size());
  std::uint32_t handled = basic;
  if (basic > 0) out += '-';
  std::uint32_t n = kInitialN, delta = 0, bias = kInitialBias;
  const auto length = static_cast<std::uint32_t>(input.size());
  while (handled < length) {
    std::uint32_t m = kMaxInt;
    for (char32_t c : input) {
      if (c >= n && c < m) m = c;
    }
    if (m - n > (kMaxInt - delta) / (handled + 1)) return {};
    delta += (m - n) * (handled + 1);
    n = m;
    for (char32_t c : input) {
      if (c < n && ++delta == 0) return {};
      if (c == n) {
        std::uint32_t q = delta;
        for (std::uint32_t k = kBase;; k += kBase) {
          const std::uint32_t t = k <= bias ? kTMin : (k >= bias + kTMax ? kTMax : k - bias);
          if (q < t) break;
          out += digit(t + (q - t) % (kBase - t));
          q = (q - t) / (kBase - t);
        }
        out += digit(q);
        bias = adapt(delta, handled + 1, handled == basic);
        delta = 0;
        ++handled;
      }
    }
    ++delta;
    ++n;
  }
  return out;
}

DomainNameResult NormalizeDomainName(std::string_view text) {
  const std::string typed = TrimText(text);
  if (typed.empty()) return Refuse("Please enter a domain name.");
  const std::string trimmed = TrimText(HostOfAddress(typed));
  if (trimmed.empty()) return Refuse("\"" + typed + "\" has no host name in it.");
  std::u32string points;
  if (!DecodeUtf8(trimmed, points)) return Refuse("The domain name is not valid text.");

  // Split into labels; one trailing dot (the root) is allowed and dropped.
  std::vector<std::u32string> labels(1);
  for (char32_t c : points) {
    if (IsDot(c)) {
      labels.emplace_back();
    } else {
      labels.back().push_back(c);
    }
  }
  if (labels.size() > 1 && labels.back().empty()) labels.pop_back();

  const std::string quoted = "\"" + trimmed + "\"";
  std::string name;
  for (const std::u32string& raw : labels) {
    if (raw.empty())
      return Refuse("The domain name " + quoted + " has an empty part between dots.");
    std::u32string label;
    bool ascii = true;
    for (char32_t c : raw) {
      const char32_t folded = FoldCase(c);
      const bool allowed_ascii =
          (folded >= 'a' && folded <= 'z') || (folded >= '0' && folded <= '9') || folded == '-';
      if (c < 0x80 && !allowed_ascii) {
        const std::string shown = c == ' ' ? "a space" : "\"" + EncodeUtf8(c) + "\"";
        return Refuse("The domain name " + quoted + " contains " + shown +
                      ". A domain name holds only letters, digits, hyphens and dots.");
      }
      if (folded == 0) {
        return Refuse("The domain name " + quoted + " contains \"" + EncodeUtf8(c) +
                      "\", which this converter cannot convert to the ASCII form of the name. "
                      "Please enter the ASCII form (\"xn--...\") instead.");
      }
      if (folded >= 0x80) ascii = false;
      label.push_back(folded);
    }
    std::string encoded;
    if (ascii) {
      for (char32_t c : label) encoded += static_cast<char>(c);
    } else {
      encoded = PunycodeEncode(label);
      if (encoded.empty())
        return Refuse("The domain name " + quoted + " has a part that is too long.");
      encoded = "xn--" + encoded;
    }
    if (encoded.front() == '-' || encoded.back() == '-') {
      return Refuse("The domain name " + quoted + " has a part that starts or ends with a hyphen.");
    }
    if (encoded.size() > kMaxLabelLength) {
      return Refuse("The domain name " + quoted + " has a part longer than 63 characters.");
    }
    if (!name.empty()) name += '.';
    name += encoded;
  }
  if (name.size() > kMaxNameLength)
    return Refuse("The domain name " + quoted + " is longer than 253 characters.");
  if (NormalizeKey(name).empty()) {
    return Refuse("The domain name " + quoted + " has no letters or digits to lock the images to.");
  }
  DomainNameResult r;
  r.ok = true;
  r.name = name;
  return r;
}

}  // namespace vg
