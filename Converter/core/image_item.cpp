#include "core/image_item.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/image_probe.h"
#include "core/platform.h"
#include "core/utf8_path.h"

namespace vg {
namespace {

constexpr std::string_view kAcceptedExtensions[] = {".gif", ".jpg",  ".jpeg", ".png",
                                                    ".tif", ".webp", ".avif"};

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

// Length of the drive and folder part of a path, separator included; 0 when the path
// is a bare file name.
std::size_t FolderLength(std::string_view path) {
  std::size_t n = path.size();
  while (n > 0 && !IsSeparator(path[n - 1])) --n;
#ifdef _WIN32
  if (n == 0 && path.size() >= 2 && path[1] == ':') n = 2;  // "C:name"
#endif
  return n;
}

// Where the extension of a file name starts (its last dot), or npos when it has none.
std::size_t ExtensionStart(std::string_view file_name) { return file_name.rfind('.'); }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsAsciiCaseBlind(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool IsAsciiLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A non-negative number with at least four digits, zero-padded ("%04d").
std::string Pad4(std::int32_t value) {
  std::string digits = std::to_string(value);
  if (value >= 0 && digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return digits;
}

}  // namespace

std::string CImageItem::GetFullPath() const { return m_strFolder + m_strFileName; }

std::string CImageItem::GetDimensionsText() const {
  if (m_nWidth == 0 || m_nHeight == 0) return "ERROR!";
  return std::to_string(m_nWidth) + " x " + std::to_string(m_nHeight);
}

std::string CImageItem::GetSizeText() const {
  // Items made by CreateImageItem carry the whole size; one filled in by hand may only
  // have the 32-bit field.
  return FormatSizeText(m_nFileSize64 != 0 ? m_nFileSize64 : m_nFileSize);
}

std::string FormatSizeText(std::int64_t size) {
  if (size < 1) return "ERROR!";
  double value;
  const char* suffix;
  if (size < 1000) {
    value = static_cast<double>(size);
    suffix = " bytes";
  } else if (size < 1000000) {
    value = static_cast<double>(size) / 1000.0;
    suffix = " KB";
  } else if (size < 1000000000) {
    value = static_cast<double>(size) / 1000000.0;
    suffix = " MB";
  } else {
    value = static_cast<double>(size);  // there is no unit above MB
    suffix = " bytes";
  }
  // to_chars, unlike printf, never writes a decimal comma under a user's locale.
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
  std::string text(buffer, result.ptr);
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  return text + suffix;
}

std::string MakeSafeName(std::string_view base_name) {
  std::string safe;
  safe.reserve(base_name.size());
  for (char c : base_name) {
    if (IsAsciiLetterOrDigit(c)) {
      safe.push_back(c);
    } else if (safe.empty() || safe.back() != '_') {
      // Letters and digits never give '_', so a '_' at the end always stands for a
      // run of other characters (the bytes of one UTF-8 character included).
      safe.push_back('_');
    }
  }
  return safe;
}

bool IsAcceptedImageFile(std::string_view path) {
  const std::string_view file_name = path.substr(FolderLength(path));
  const std::size_t dot = ExtensionStart(file_name);
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = file_name.substr(dot);
  for (std::string_view accepted : kAcceptedExtensions) {
    if (EqualsAsciiCaseBlind(extension, accepted)) return true;
  }
  return false;
}

std::unique_ptr<CImageItem> CreateImageItem(std::string_view full_path) {
  auto item = std::make_unique<CImageItem>();
  const std::filesystem::path path = PathFromUtf8(full_path);

  // Only regular files are opened: opening a pipe named like an image would block.
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!ec && std::filesystem::is_regular_file(status)) {
    std::int64_t size = -1;
    if (std::FILE* file = OpenFileForReading(path)) {
      // Size and dimensions from the one open file.
      size = GetOpenFileLength(file);
      const ProbeResult probe = ProbeOpenFile(file, size);
      std::fclose(file);
      item->m_nWidth = probe.width;
      item->m_nHeight = probe.height;
    } else {
      const std::uintmax_t length = std::filesystem::file_size(path, ec);
      if (!ec) size = static_cast<std::int64_t>(length);
    }
    if (size >= 0) {
      item->m_nFileSize64 = size;
      item->m_nFileSize = static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
    }
  }

  const std::size_t folder_length = FolderLength(full_path);
  item->m_strFolder = std::string(full_path.substr(0, folder_length));
  item->m_strFileName = std::string(full_path.substr(folder_length));
  const std::size_t dot = ExtensionStart(item->m_strFileName);
  item->m_strBaseName = item->m_strFileName.substr(0, dot);
  item->m_strProtectedName = MakeSafeName(item->m_strBaseName) + "_" + Pad4(item->m_nWidth) + "_" +
                             Pad4(item->m_nHeight) + "_C.class";
  return item;
}

}  // namespace vg
