#include "ui/program_info.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include "version.h"
#endif

namespace vg::ui {

#ifdef _WIN32
namespace {

// The whole version resource of the running program file; empty when it has none.
std::vector<unsigned char> ReadVersionResource() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) break;
    if (path.size() > 32768) return {};
    path.resize(path.size() * 2);
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(path.data(), 0, size, data.data())) return {};
  return data;
}

std::string ToUtf8(const wchar_t* text, int length) {
  if (length <= 0) return {};
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
  return out;
}

}  // namespace

std::string GetProgramVersionText() {
  std::vector<unsigned char> data = ReadVersionResource();
  if (data.empty()) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
      info == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
    return {};
  }
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionLS));
}

std::string GetProgramCopyrightText() {
  std::vector<unsigned char> data = ReadVersionResource();
  if (data.empty()) return {};
  wchar_t* text = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\LegalCopyright",
                      reinterpret_cast<void**>(&text), &length) ||
      text == nullptr || length == 0) {
    return {};
  }
  // The length counts the terminating zero when there is one; stop at the first zero.
  int n = 0;
  while (n < static_cast<int>(length) && text[n] != L'\0') ++n;
  return ToUtf8(text, n);
}

#else

std::string GetProgramVersionText() { return kVersion; }
std::string GetProgramCopyrightText() { return kCopyright; }

#endif

std::string ChangeLogAddress(const std::string& version) {
  return "https://www.quillmere.example/vellagard_web_changes.asp?ver=" + version;
}

}  // namespace vg::ui
