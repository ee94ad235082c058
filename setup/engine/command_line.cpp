#include "command_line.h"

#include <cwctype>

namespace vgengine {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  std::size_t i = 0;
  for (; prefix[i]; ++i) {
    if (i >= text.size() || std::towlower(text[i]) != std::towlower(prefix[i])) return false;
  }
  return true;
}

bool EqualsNoCase(const std::wstring& text, const wchar_t* other) {
  return StartsWithNoCase(text, other) && text.size() == std::wstring(other).size();
}

// An unsigned decimal number without sign, blanks or overflow.
bool ParseNumber(const std::wstring& text, std::uint64_t max, std::uint64_t* value) {
  if (text.empty() || text.size() > 20) return false;
  std::uint64_t v = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - L'0');
    if (v > (max - digit) / 10) return false;
    v = v * 10 + digit;
  }
  *value = v;
  return true;
}

std::wstring Unquoted(std::wstring text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  text.erase(0, start);
  std::wstring out;
  for (wchar_t c : text) {
    if (c != L'"') out += c;
  }
  return out;
}

// Where the hand-off arguments begin: the last "__QVAOFF:" at the start or after a blank.
std::size_t HandOffStart(const std::wstring& text) {
  std::size_t at = text.rfind(L"__QVAOFF:");
  while (at != std::wstring::npos) {
    if (at == 0 || IsBlank(text[at - 1])) return at;
    at = text.rfind(L"__QVAOFF:", at - 1);
  }
  return std::wstring::npos;
}

}  // namespace

std::vector<std::wstring> SplitArguments(const std::wstring& text) {
  std::vector<std::wstring> out;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (true) {
    while (i < n && IsBlank(text[i])) ++i;
    if (i >= n) break;
    std::wstring arg;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(text[i]))) {
      std::size_t slashes = 0;
      while (i < n && text[i] == L'\\') {
        ++slashes;
        ++i;
      }
      if (i < n && text[i] == L'"') {
        arg.append(slashes / 2, L'\\');
        if (slashes % 2) {
          arg += L'"';
        } else if (quoted && i + 1 < n && text[i + 1] == L'"') {
          arg += L'"';  // "" inside quotes stands for one quote
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(slashes, L'\\');
        if (i < n && (quoted || !IsBlank(text[i]))) arg += text[i++];
      }
    }
    out.push_back(arg);
  }
  return out;
}

std::wstring AfterProgramName(const std::wstring& commandLine) {
  std::size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    i = commandLine.find(L'"', 1);
    i = i == std::wstring::npos ? commandLine.size() : i + 1;
  } else {
    while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
  }
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  return commandLine.substr(i);
}

CommandLine ParseCommandLine(const std::wstring& text) {
  CommandLine result;
  std::wstring user = text;
  const std::size_t handOffAt = HandOffStart(text);
  if (handOffAt != std::wstring::npos) {
    user = text.substr(0, handOffAt);
    HandOff& h = result.handOff;
    h.present = true;
    bool offset = false, path = false, type = false, total = false;
    for (const std::wstring& a : SplitArguments(text.substr(handOffAt))) {
      if (a.compare(0, 9, L"__QVAOFF:") == 0) {
        offset = ParseNumber(a.substr(9), UINT64_MAX, &h.archiveOffset);
      } else if (a.compare(0, 8, L"__QVAFN:") == 0) {
        h.archivePath = a.substr(8);
        path = !h.archivePath.empty();
      } else if (a.compare(0, 7, L"__QVCT:") == 0) {
        std::uint64_t v = 0;
        type = ParseNumber(a.substr(7), 255, &v);
        h.compressionType = static_cast<int>(v);
      } else if (a.compare(0, 8, L"__QVTSS:") == 0) {
        total = ParseNumber(a.substr(8), UINT64_MAX, &h.totalSize);
      } else if (a.compare(0, 8, L"__QVSID:") == 0) {
        h.userSid = a.substr(8);
      }
    }
    if (!offset) result.error = L"the __QVAOFF: argument is missing or not a number";
    else if (!path) result.error = L"the __QVAFN: argument is missing";
    else if (!type) result.error = L"the __QVCT: argument is missing or not from 0 to 255";
    else if (!total) result.error = L"the __QVTSS: argument is missing or not a number";
  }

  // /D= takes the rest of the user's part.
  std::size_t folderAt = std::wstring::npos;
  for (std::size_t i = 0; i + 3 <= user.size(); ++i) {
    if ((i == 0 || IsBlank(user[i - 1]) ||
         (user[i - 1] == L'"' && (i == 1 || IsBlank(user[i - 2])))) &&
        StartsWithNoCase(user.substr(i), L"/D=")) {
      folderAt = i;
      break;
    }
  }
  if (folderAt != std::wstring::npos) {
    std::size_t cut = folderAt;
    if (cut > 0 && user[cut - 1] == L'"') --cut;
    result.targetFolder = Unquoted(user.substr(folderAt + 3));
    if (result.targetFolder.empty() && result.error.empty()) result.error = L"/D= names no folder";
    user = user.substr(0, cut);
  }

  result.args = SplitArguments(user);
  for (std::size_t i = 0; i < result.args.size(); ++i) {
    const std::wstring& a = result.args[i];
    if (EqualsNoCase(a, L"/S")) {
      result.silent = true;
    } else if (StartsWithNoCase(a, L"/LOG=")) {
      result.logPath = a.substr(5);
    } else if (a.compare(0, 11, L"__QVREMOVE:") == 0 && !result.handOff.present) {
      std::uint64_t pid = 0;
      if (!ParseNumber(a.substr(11), UINT32_MAX, &pid)) {
        result.error = L"the __QVREMOVE: argument is not a process number";
      }
      result.remover = true;
      result.removerParent = static_cast<std::uint32_t>(pid);
      result.removerPaths.assign(result.args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                 result.args.end());
      result.args.resize(i);
      break;
    }
  }
  if (!result.targetFolder.empty()) result.args.push_back(L"/D=" + result.targetFolder);
  return result;
}

}  // namespace vgengine
