#include "core/setup_extractor.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/payload_format.h"

namespace vgsetup {

bool g_bUnicodePath = false;
bool g_bDebug = false;

namespace {

// Compares one byte at a time against computed values, so that no contiguous copy of the
// signature ends up in the launcher's program image (see payload_format.h).
bool MatchesSignature(const unsigned char* p) {
  for (std::size_t k = 0; k < kSignatureLength; ++k) {
    if (p[k] != SignatureByte(k)) return false;
  }
  return true;
}

// Puts the current directory back as it was when the guard was made, on every way out.
class CCurrentDirGuard {
 public:
  explicit CCurrentDirGuard(CLauncherPlatform& platform)
      : m_platform(platform), m_bHave(platform.GetCurrentDir(&m_strDir)) {}
  ~CCurrentDirGuard() {
    if (m_bHave) m_platform.SetCurrentDir(m_strDir);
  }
  CCurrentDirGuard(const CCurrentDirGuard&) = delete;
  CCurrentDirGuard& operator=(const CCurrentDirGuard&) = delete;

 private:
  CLauncherPlatform& m_platform;
  std::string m_strDir;
  bool m_bHave;
};

}  // namespace

bool BuildEngineArguments(const std::string& commandLine,
                          const std::vector<std::string>& commandArgs, const CHandOffValues& values,
                          std::string* text, std::vector<std::string>* arguments) {
  // Unquoted here; in the string all but the first are quoted.
  std::vector<std::string> handoff;
  handoff.push_back("__QVAOFF:" + std::to_string(values.nDataOffset));
  handoff.push_back("__QVAFN:" + values.strArchivePath);
  handoff.push_back("__QVCT:" + std::to_string(values.nCompressionType & 0xFF));
  handoff.push_back("__QVTSS:" + std::to_string(values.nTotalSize));
  if (!values.strUserSid.empty()) handoff.push_back("__QVSID:" + values.strUserSid);

  std::string handoffText = handoff[0];
  for (std::size_t i = 1; i < handoff.size(); ++i) handoffText += " \"" + handoff[i] + "\"";

  const std::string full = commandLine.empty() ? handoffText : commandLine + " " + handoffText;
  std::vector<std::string> all;
  if (CLongText::Fits(full)) {
    *text = full;
    all = commandArgs;
  } else if (CLongText::Fits(handoffText)) {
    *text = handoffText;
  } else {
    return false;
  }
  all.insert(all.end(), handoff.begin(), handoff.end());
  *arguments = std::move(all);
  return true;
}

CSetupExtractor::CSetupExtractor(CLauncherPlatform& platform) : m_platform(platform) {}

CSetupExtractor::~CSetupExtractor() = default;  // m_hArchive closes the launcher's file

void CSetupExtractor::SetCommandLine(const std::string& text,
                                     const std::vector<std::string>& arguments) {
  m_strCommandLine.clear();
  m_szArguments.Clear();
  m_vArguments.clear();
  if (m_szArguments.Assign(text)) {
    m_strCommandLine = text;
    m_vArguments = arguments;
  }
}

int CSetupExtractor::Fail(int result, const char* text) {
  m_szError.Assign(text);
  return result;
}

std::string CSetupExtractor::WithSeparator(std::string path) const {
  if (path.empty() || path.back() != m_platform.Separator()) path += m_platform.Separator();
  return path;
}

bool CSetupExtractor::ReadExactly(std::uint64_t offset, void* buffer, std::size_t size) {
  std::size_t got = 0;
  return m_hArchive && m_hArchive->Read(offset, buffer, size, &got) && got == size;
}

std::uint64_t CSetupExtractor::BytesLeftFrom(std::uint64_t offset) {
  std::uint64_t size = 0;
  if (!m_hArchive || !m_hArchive->GetSize(&size) || size < offset) return 0;
  return size - offset;
}

int CSetupExtractor::Run() {
  // Paths left from an earlier attempt name files that attempt already removed; another
  // launcher may own them by now, so this attempt's clean-up must not act on them.
  m_szTempLaunchPath.Clear();
  m_szEnginePath.Clear();
  m_szLuaPath.Clear();

  int result = LocateDataSegment();
  if (result == kResultOk) result = PrepareTempFolder();
  if (result == kResultOk) result = ExtractEngine();
  if (result == kResultOk) result = ExtractLuaLibrary();
  if (result == kResultOk) result = StartEngine();
  CleanUpFiles();
  return result;
}

int CSetupExtractor::LocateDataSegment() {
  m_hArchive.reset();
  std::string own;
  if (!m_platform.GetOwnPath(&own) || !m_szArchivePath.Assign(own)) {
    return Fail(kResultOpenArchive, text::kOpenArchive);
  }
  if (!m_platform.CanOpenAnsiForm(own)) g_bUnicodePath = true;
  m_hArchive = m_platform.OpenArchive(own);
  if (!m_hArchive) return Fail(kResultOpenArchive, text::kOpenArchive);

  // Each block is searched together with the last 15 bytes of the block before it, so a
  // signature that straddles two blocks is found too. Positions are tested in file order,
  // so the first occurrence still wins.
  constexpr std::size_t kCarry = kSignatureLength - 1;
  std::unique_ptr<unsigned char[]> buffer = m_platform.Allocate(kCarry + kSearchBlockSize);
  if (!buffer) return Fail(kResultAllocBuffer, text::kAllocBuffer);
  unsigned char* const buf = buffer.get();

  std::uint64_t block = kSignatureSearchStart;
  std::size_t carried = 0;
  bool found = false;
  std::uint64_t signature = 0;
  while (!found && block < kSignatureSearchLimit) {
    std::size_t n = 0;
    if (!m_hArchive->Read(block, buf + carried, kSearchBlockSize, &n) || n == 0) break;
    const std::size_t total = carried + n;
    for (std::size_t j = 0; j + kSignatureLength <= total;) {
      const void* hit = std::memchr(buf + j, SignatureByte(0), total - kSignatureLength + 1 - j);
      if (!hit) break;
      j = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - buf);
      if (MatchesSignature(buf + j)) {
        signature = block - carried + j;
        found = true;
        break;
      }
      ++j;
    }
    if (!found) {
      const std::size_t keep = std::min(total, kCarry);
      std::memmove(buf, buf + total - keep, keep);
      carried = keep;
      block += n;
    }
  }
  if (!found) return Fail(kResultNoDataSegment, text::kNoDataSegment);

  unsigned char byte = 0;
  unsigned char number[8];
  m_nOffset = signature + kSignatureLength;
  if (!ReadExactly(m_nOffset, &byte, 1)) return Fail(kResultNoDataSegment, text::kNoMultiSegment);
  m_nOffset += 1;
  if (byte == 0) {
    m_bWait = true;
  } else {
    m_bMultiSegment = true;
  }
  if (!ReadExactly(m_nOffset, &byte, 1)) return Fail(kResultNoDataSegment, text::kNoCompression);
  m_nCompressionType = byte;
  m_nOffset += 1;
  if (!ReadExactly(m_nOffset, number, 8)) return Fail(kResultNoDataSegment, text::kNoTotalSize);
  m_nTotalSize = ReadLe64(number);
  m_nOffset += 8;
  if (!ReadExactly(m_nOffset, number, 8)) return Fail(kResultNoSetupSize, text::kNoSetupSize);
  m_nSetupSize = ReadLe64(number);
  m_nOffset += 8;
  return kResultOk;
}

bool CSetupExtractor::CreateFolderPath(CPathText& path) {
  const char sep = m_platform.Separator();
  if (!path.EndsWith(sep) && !path.Append(std::string(1, sep))) return false;
  const std::string& s = path.str();
  const std::size_t root = m_platform.RootLength(s);
  if (root == 0) return false;
  for (std::size_t i = root; i < s.size(); ++i) {
    if (s[i] != sep) continue;
    const std::string prefix = s.substr(0, i + 1);
    if (!m_platform.SetCurrentDir(prefix) && !m_platform.MakeDir(prefix)) return false;
  }
  return true;
}

bool CSetupExtractor::UseSharedBase(const std::string& folder) {
  // Made first and examined only when it was there already: no moment in which someone
  // else could make it between a look and the creation.
  switch (m_platform.CreateSharedDir(folder)) {
    case ECreateDir::kCreated: return true;
    case ECreateDir::kFailed: return false;
    case ECreateDir::kExists: break;
  }
  // Whoever controls the base can rename or replace what is inside it, the private
  // folder and the engine included, between the extraction and the start.
  const CFolderFacts facts = m_platform.ExamineFolder(folder);
  return facts.kind == EPathKind::kDirectory && facts.bOwnedBySystem && !facts.bOthersMayReplace;
}

bool CSetupExtractor::MakeNumberedFolder(const std::string& base, std::string* folder) {
  for (int n = 0; n < kMaxTempFolderNumber; ++n) {
    const std::string candidate = base + kTempFolderPrefix + "_" + std::to_string(n);
    // The engine's path must fit; later numbers are only longer.
    if (!CPathText::Fits(candidate + m_platform.Separator() + kEngineFileName)) return false;
    switch (m_platform.GetPathKind(candidate)) {
      case EPathKind::kLink:
      case EPathKind::kOther: continue;  // never followed, never touched
      case EPathKind::kDirectory:
        // A stale folder that holds nothing but an engine program is cleaned and reused;
        // one that holds anything else is passed over. The folder is examined again as it
        // is removed: it may have been swapped for a link since the look above.
        if (!m_platform.RemoveStaleFolder(candidate, kEngineFileName)) continue;
        if (m_platform.GetPathKind(candidate) != EPathKind::kAbsent) continue;
        break;
      case EPathKind::kAbsent: break;
    }
    switch (m_platform.CreatePrivateDir(candidate)) {
      case ECreateDir::kExists: continue;  // someone else made it in the meantime: never reuse it
      case ECreateDir::kFailed: return false;
      case ECreateDir::kCreated: break;
    }
    if (!m_platform.SetCurrentDir(candidate)) {
      m_platform.RemoveDir(candidate);
      return false;
    }
    *folder = candidate;
    return true;
  }
  return false;
}

int CSetupExtractor::PrepareTempFolder() {
  const CCurrentDirGuard restoreCurrentDir(m_platform);

  std::string base;
  // Without a temporary path, on to the last fallback, which is checked as a shared base.
  bool baseUsable = m_platform.GetTempBase(&base);
  if (m_szTempOverride.Units() >= 3) {
    CPathText override = m_szTempOverride;
    if (CreateFolderPath(override)) {
      base = override.str();
      baseUsable = true;
    }
  } else if (g_bUnicodePath) {
    // Nothing is touched: the engine could not be handed a usable path.
    if (m_bMultiSegment) return Fail(kResultTempFolder, text::kUnicodeMultiSegment);
    std::string common;
    if (m_platform.GetCommonTempFolder(&common)) {
      base = common;
      // A base that others control is passed over for the last fallback below.
      baseUsable = UseSharedBase(common);
    }
  }

  int result = kResultOk;
  base = WithSeparator(base);
  std::string folder;
  bool made = baseUsable && MakeNumberedFolder(base, &folder);
  if (!made) {
    // The fallback base gets a fresh private folder too: the engine never goes straight
    // into a folder other users may write to.
    const std::string fallback = m_platform.FallbackTempBase();
    base = WithSeparator(fallback);
    made = UseSharedBase(fallback) && MakeNumberedFolder(base, &folder);
  }
  if (made) {
    const std::string launch = WithSeparator(folder);
    m_szTempLaunchPath.Assign(launch);
    m_szEnginePath.Assign(launch + kEngineFileName);  // fits: checked by MakeNumberedFolder
    m_szLuaPath.Assign(launch + kLuaFileName);
    base = folder;
  } else {
    result = Fail(kResultTempFolder, text::kNoTempFolder);
  }

  std::uint64_t free = 0;
  if (!m_platform.QueryFreeSpace(base, &free) || free < kMinimumFreeSpace) {
    result = Fail(kResultDiskSpace, text::kDiskSpace);
  }
  return result;
}

int CSetupExtractor::ExtractPayloadFile(const CPathText& path, std::uint64_t size,
                                        bool scrambledHead, const CExtractTexts& texts) {
  // A size beyond the end of the file cannot be read; it is refused before anything is
  // asked of memory, so a damaged header never causes a huge allocation.
  if (size > BytesLeftFrom(m_nOffset)) return Fail(kResultReadPayload, texts.szRead);
  // The scrambled head is restored here; the rest goes from the file to its target as is.
  unsigned char head[kScrambledHeadSize];
  std::size_t headSize = 0;
  if (scrambledHead) {
    headSize = static_cast<std::size_t>(std::min<std::uint64_t>(size, kScrambledHeadSize));
    if (!ReadExactly(m_nOffset, head, headSize)) return Fail(kResultReadPayload, texts.szRead);
    for (std::size_t i = 0; i < headSize; ++i) head[i] ^= kScrambleByte;
  }

  int result = kResultOk;
  switch (
      m_hArchive->ExtractTo(path.str(), head, headSize, m_nOffset + headSize, size - headSize)) {
    case EExtract::kWritten: break;
    case EExtract::kNoMemory: return Fail(kResultReadPayload, text::kAllocMemory);
    case EExtract::kReadFailed: return Fail(kResultReadPayload, texts.szRead);
    case EExtract::kOpenFailed: result = Fail(kResultWriteFile, texts.szOpen); break;
    case EExtract::kWriteFailed:
      // A short file must never be started or loaded.
      result = Fail(kResultWriteFile, texts.szWrite);
      break;
  }
  m_nOffset += size;
  return result;
}

int CSetupExtractor::ExtractEngine() {
  return ExtractPayloadFile(m_szEnginePath, m_nSetupSize, true,
                            {text::kReadEngine, text::kOpenEngine, text::kWriteEngine});
}

int CSetupExtractor::ExtractLuaLibrary() {
  unsigned char number[8];
  if (!ReadExactly(m_nOffset, number, 8)) return Fail(kResultNoLuaSize, text::kNoLuaSize);
  m_nOffset += 8;
  return ExtractPayloadFile(m_szLuaPath, ReadLe64(number), false,
                            {text::kReadLua, text::kOpenLua, text::kWriteLua});
}

int CSetupExtractor::StartEngine() {
  std::string link;
  if (g_bUnicodePath) {
    // The engine cannot open a path without an ANSI form; hand it a link whose path has
    // one, but only in a folder that nobody else controls: whoever could replace the link
    // could hand the elevated engine setup data of their own.
    std::string common;
    if (m_platform.GetCommonTempFolder(&common) && UseSharedBase(common)) {
      const std::string candidate = WithSeparator(common) + "setup.exe";
      m_platform.RemoveFile(candidate);
      if (CPathText::Fits(candidate) &&
          m_platform.CreateFileLink(candidate, m_szArchivePath.str())) {
        m_szArchivePath.Assign(candidate);
        link = candidate;
      }
    }
  }
  CHandOffValues values;
  values.nDataOffset = m_nOffset;
  values.strArchivePath = m_szArchivePath.str();
  values.nCompressionType = m_nCompressionType;
  values.nTotalSize = m_nTotalSize;
  if (!m_platform.GetUserSid(&values.strUserSid)) values.strUserSid.clear();

  // The string is rebuilt from the launcher's command line on every attempt.
  CEngineCommand command;
  command.strEnginePath = m_szEnginePath.str();
  int result = kResultOk;
  std::string arguments;
  if (BuildEngineArguments(m_strCommandLine, m_vArguments, values, &arguments,
                           &command.vArguments) &&
      m_szArguments.Assign(arguments)) {
    command.strArguments = m_szArguments.str();
  } else {
    result = Fail(kResultWriteFile, text::kStartEngine);
  }

  if (result == kResultOk) {
    if (g_bDebug) {
      m_platform.ShowDebugBox(m_szEnginePath.str(), m_szArguments.str());
      m_platform.ShowDebugBox("m_szTempLaunchPath", m_szTempLaunchPath.str());
    }
    std::unique_ptr<CEngineProcess> process;
    switch (m_platform.StartProcess(command, &process)) {
      case EStartResult::kCancelled: result = kResultCancelled; break;
      case EStartResult::kFailed: result = Fail(kResultWriteFile, text::kStartEngine); break;
      case EStartResult::kStarted: {
        if (m_bWait) process->Wait();
        std::uint32_t code = 0;
        if (process->GetExitCode(&code)) m_dwExitCode = code;
        result = static_cast<int>(m_dwExitCode);
        m_bEngineStarted = true;
        if (m_dwExitCode == kStillActive && !m_bWait) result = kResultOk;
        process.reset();
        break;
      }
    }
  }
  if (!link.empty()) m_platform.RemoveFile(link);
  return result;
}

void CSetupExtractor::CleanUpFiles() {
  if (g_bDebug) return;  // the extracted files stay for inspection
  m_platform.Pause(10);
  if (m_bWait) {
    if (!m_szEnginePath.empty()) m_platform.RemoveFile(m_szEnginePath.str());
    if (!m_szLuaPath.empty()) m_platform.RemoveFile(m_szLuaPath.str());
    if (!m_szTempLaunchPath.empty()) m_platform.RemoveDir(m_szTempLaunchPath.str());
  } else {
    std::vector<std::string> paths;
    for (const CPathText* p : {&m_szEnginePath, &m_szLuaPath, &m_szTempLaunchPath}) {
      if (!p->empty()) paths.push_back(p->str());
    }
    if (!paths.empty()) m_platform.ScheduleRemoval(paths);
  }
}

}  // namespace vgsetup
