// A fake of the launcher's platform for tests: an in-memory Windows-like file system
// (drive letters, backslashes), the launcher's own file as a byte string, and a switch for
// every call that can fail. It records what the launcher asked of it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/payload_format.h"
#include "platform/launcher_platform.h"

namespace vgsetup::test {

class CFakePlatform : public CLauncherPlatform {
 public:
  CFakePlatform() {
    for (const char* d :
         {"C:", "C:\\Downloads", "C:\\Temp", "C:\\Work", "C:\\ProgramData", "D:", "E:"}) {
      dirs.insert(d);
    }
  }

  // --- The launcher's own file -------------------------------------------------------------
  std::string ownPath = "C:\\Downloads\\setup.exe";
  bool ownPathFails = false;
  bool unicodePath = false;                  // the own path has no ANSI form
  std::string archive;                       // its bytes
  int openFailures = 0;                      // the next N opens fail
  std::uint64_t readFailsFrom = UINT64_MAX;  // reads that reach this offset fail
  bool sizeQueryFails = false;
  std::uint64_t claimedSize = 0;  // when not 0, the size the file claims to have
  int opens = 0;
  std::vector<std::uint64_t> readOffsets;

  // --- File system -------------------------------------------------------------------------
  std::set<std::string> dirs;  // without trailing backslash; a drive root is "C:"
  std::map<std::string, std::string> files;
  std::map<std::string, std::string> links;  // link -> target
  std::set<std::string> privateDirs;         // made through CreatePrivateDir
  std::set<std::string> sharedDirs;          // made through CreateSharedDir
  // Folders owned by a user; every other folder is owned by Administrators or SYSTEM.
  std::set<std::string> userOwned;
  // Folders whose access list lets Users delete or rename them.
  std::set<std::string> othersMayReplace;
  // Folders that someone swaps for a link to the given target right after the launcher
  // has looked at them.
  std::map<std::string, std::string> swapForLinkAfterLook;
  std::string cwd = "C:\\Work";
  std::string tempBase = "C:\\Temp\\";
  bool tempBaseFails = false;
  std::string commonAppData = "C:\\ProgramData";
  std::set<std::string> mkdirFails;   // folders that cannot be created
  std::set<std::string> chdirFails;   // folders that cannot be made current
  std::set<std::string> createRaces;  // someone else creates these just before we do
  std::set<std::string>
      openFailsFor;  // file names (qvsetup.exe, lua5.3.dll) that cannot be created
  std::set<std::string> writeFailsFor;  // file names whose writing falls short
  std::uint64_t freeSpace = 50000000000ull;
  bool freeSpaceFails = false;
  std::vector<std::string> freeSpaceQueries;
  bool linkFails = false;
  std::vector<std::vector<std::string>> scheduled;

  // --- Memory ------------------------------------------------------------------------------
  std::set<std::uint64_t> allocFailsFor;  // sizes whose allocation fails
  std::uint64_t largestAllocation = 0;
  std::uint64_t addressLimit = SIZE_MAX;  // 0xFFFFFFFF: a 32-bit process

  // --- Engine ------------------------------------------------------------------------------
  bool sidAvailable = true;
  std::string sid = "S-1-5-21-1004336348-1177238915-682003330-1001";
  EStartResult startResult = EStartResult::kStarted;
  std::uint32_t exitCode = 0;
  bool stillRunningUntilWaited = false;  // GetExitCode says 259 unless Wait was called
  bool exitCodeFails = false;
  std::vector<CEngineCommand> starts;
  std::string cwdAtStart;
  std::map<std::string, std::string> filesAtStart;
  int waits = 0;

  // --- Start-up and user -------------------------------------------------------------------
  bool preloads = false;
  std::string commandLine;
  std::vector<std::string> argv = {"C:\\Downloads\\setup.exe"};
  std::vector<std::string>
      events;  // "harden", "release", "cursor", "debug:CAPTION", "error:CAPTION", "start"
  std::vector<std::pair<std::string, std::string>> debugBoxes, errorBoxes;
  std::vector<unsigned> pauses;

  // --- Helpers for tests ---------------------------------------------------------------------
  static std::string Norm(std::string p) {
    while (p.size() > 2 && p.back() == '\\') p.pop_back();
    return p;
  }
  static std::string Parent(const std::string& p) {
    const std::size_t cut = p.rfind('\\');
    return cut == std::string::npos ? std::string() : p.substr(0, cut);
  }
  // The path as Windows resolves it: through any link among its folders.
  std::string Resolve(const std::string& p) const {
    std::string n = Norm(p);
    for (std::size_t cut = n.find('\\'); cut != std::string::npos; cut = n.find('\\', cut + 1)) {
      auto link = links.find(n.substr(0, cut));
      if (link != links.end()) return Resolve(link->second + n.substr(cut));
    }
    return n;
  }
  void Erase(const std::string& p) {
    const std::string prefix = Norm(p) + "\\";
    auto under = [&](const std::string& x) { return x.compare(0, prefix.size(), prefix) == 0; };
    for (auto it = dirs.begin(); it != dirs.end();) it = under(*it) ? dirs.erase(it) : ++it;
    for (auto it = files.begin(); it != files.end();)
      it = under(it->first) ? files.erase(it) : ++it;
    dirs.erase(Norm(p));
  }
  bool Exists(const std::string& p) const {
    const std::string n = Norm(p);
    return dirs.count(n) || files.count(n) || links.count(n);
  }
  bool HasChildren(const std::string& p) const {
    const std::string prefix = Norm(p) + "\\";
    auto under = [&](const std::string& x) { return x.compare(0, prefix.size(), prefix) == 0; };
    return std::any_of(dirs.begin(), dirs.end(), under) ||
           std::any_of(files.begin(), files.end(), [&](auto& f) { return under(f.first); }) ||
           std::any_of(links.begin(), links.end(), [&](auto& l) { return under(l.first); });
  }
  static std::string FileName(const std::string& p) { return p.substr(p.rfind('\\') + 1); }

  // --- CLauncherPlatform -------------------------------------------------------------------
  bool HardenLibrarySearch() override {
    events.push_back("harden");
    return preloads;
  }
  void ReleasePreloadedLibraries() override { events.push_back("release"); }
  void ShowBusyCursor() override { events.push_back("cursor"); }
  void ReadCommandLine(std::string* text, std::vector<std::string>* args) override {
    *text = commandLine;
    *args = argv;
  }

  char Separator() const override { return '\\'; }
  std::size_t RootLength(const std::string& path) const override {
    return path.size() > 2 && path[1] == ':' ? 3 : 0;
  }
  bool GetOwnPath(std::string* path) override {
    if (ownPathFails) return false;
    *path = ownPath;
    return true;
  }
  bool CanOpenAnsiForm(const std::string&) override { return !unicodePath; }

  class CFakeArchive : public CArchiveFile {
   public:
    explicit CFakeArchive(CFakePlatform* owner) : m_owner(owner) {}
    bool Read(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) override {
      m_owner->readOffsets.push_back(offset);
      *got = 0;
      const std::string& bytes = m_owner->archive;
      const std::uint64_t end = offset + size;
      if (m_owner->readFailsFrom < bytes.size() && end > m_owner->readFailsFrom) return false;
      if (offset >= bytes.size()) return true;
      *got = static_cast<std::size_t>(std::min<std::uint64_t>(size, bytes.size() - offset));
      std::memcpy(buffer, bytes.data() + offset, *got);
      return true;
    }
    bool GetSize(std::uint64_t* size) override {
      if (m_owner->sizeQueryFails) return false;
      *size = m_owner->claimedSize ? m_owner->claimedSize : m_owner->archive.size();
      return true;
    }
    // As on Windows: all of it read into memory first, then written in one piece.
    EExtract ExtractTo(const std::string& path, const unsigned char* head, std::size_t headSize,
                       std::uint64_t offset, std::uint64_t size) override {
      if (!FitsInAddressSpace(headSize, size, m_owner->addressLimit)) return EExtract::kNoMemory;
      auto buffer = m_owner->Allocate(headSize + size);
      if (!buffer) return EExtract::kNoMemory;
      std::size_t got = 0;
      if (!Read(offset, buffer.get(), static_cast<std::size_t>(size), &got) || got != size) {
        return EExtract::kReadFailed;
      }
      std::string bytes =
          headSize ? std::string(reinterpret_cast<const char*>(head), headSize) : std::string();
      bytes.append(reinterpret_cast<const char*>(buffer.get()), got);
      return m_owner->WriteFile(path, bytes);
    }

   private:
    CFakePlatform* m_owner;
  };

  std::unique_ptr<CArchiveFile> OpenArchive(const std::string&) override {
    ++opens;
    if (openFailures > 0) {
      --openFailures;
      return nullptr;
    }
    return std::make_unique<CFakeArchive>(this);
  }
  bool GetTempBase(std::string* path) override {
    if (tempBaseFails) return false;
    *path = tempBase;
    return true;
  }
  bool GetCommonTempFolder(std::string* path) override {
    *path = commonAppData + "\\TEMP";
    return true;
  }
  std::string FallbackTempBase() const override { return "C:\\temp"; }
  bool GetCurrentDir(std::string* path) override {
    *path = cwd;
    return true;
  }
  bool SetCurrentDir(const std::string& path) override {
    const std::string n = Norm(path);
    if (chdirFails.count(n) || !dirs.count(n)) return false;
    cwd = n;
    return true;
  }
  EPathKind GetPathKind(const std::string& path) override {
    const std::string n = Norm(path);
    const EPathKind kind = links.count(n)   ? EPathKind::kLink
                           : dirs.count(n)  ? EPathKind::kDirectory
                           : files.count(n) ? EPathKind::kOther
                                            : EPathKind::kAbsent;
    auto swap = swapForLinkAfterLook.find(n);
    if (swap != swapForLinkAfterLook.end()) {
      Erase(n);
      links[n] = swap->second;
      swapForLinkAfterLook.erase(swap);
    }
    return kind;
  }
  CFolderFacts ExamineFolder(const std::string& path) override {
    const std::string n = Norm(path);
    CFolderFacts facts;
    facts.kind = GetPathKind(n);
    facts.bOwnedBySystem = facts.kind != EPathKind::kAbsent && !userOwned.count(n);
    facts.bOthersMayReplace = othersMayReplace.count(n) > 0;
    return facts;
  }
  bool RemoveStaleFolder(const std::string& folder, const std::string& name) override {
    const std::string n = Norm(folder);
    if (links.count(n) || !dirs.count(n)) return false;  // never through a link
    files.erase(n + "\\" + name);
    return RemoveDir(n);
  }
  bool MakeDir(const std::string& path) override {
    const std::string n = Resolve(path);  // through links among the folders above
    if (mkdirFails.count(n) || Exists(n) || !dirs.count(Parent(n))) return false;
    dirs.insert(n);
    return true;
  }
  ECreateDir CreateSharedDir(const std::string& path) override {
    const std::string n = Resolve(path);  // through links among the folders above
    if (Exists(n)) return ECreateDir::kExists;
    if (mkdirFails.count(n) || !dirs.count(Parent(n))) return ECreateDir::kFailed;
    dirs.insert(n);
    sharedDirs.insert(n);
    return ECreateDir::kCreated;
  }
  ECreateDir CreatePrivateDir(const std::string& path) override {
    const std::string n = Resolve(path);  // through links among the folders above
    if (createRaces.count(n)) {
      createRaces.erase(n);
      dirs.insert(n);
      files[n + "\\planted.dll"] = "x";
      return ECreateDir::kExists;
    }
    if (Exists(n)) return ECreateDir::kExists;
    if (mkdirFails.count(n) || !dirs.count(Parent(n))) return ECreateDir::kFailed;
    dirs.insert(n);
    privateDirs.insert(n);
    return ECreateDir::kCreated;
  }
  bool RemoveDir(const std::string& path) override {
    const std::string n = Resolve(path);
    if (!dirs.count(n) || HasChildren(n)) return false;
    dirs.erase(n);
    return true;
  }
  bool RemoveFile(const std::string& path) override {
    const std::string n = Norm(path);
    if (links.erase(n) > 0) return true;  // the link itself, not its target
    return files.erase(Resolve(n)) > 0;
  }
  bool QueryFreeSpace(const std::string& folder, std::uint64_t* bytes) override {
    freeSpaceQueries.push_back(folder);
    if (freeSpaceFails) return false;
    *bytes = freeSpace;
    return true;
  }
  // Creates a file as the Windows launcher does: through the ANSI form of its path.
  EExtract WriteFile(const std::string& path, const std::string& bytes) {
    const std::string n = Norm(path);
    const bool ansi = std::none_of(n.begin(), n.end(), [](char c) { return c & 0x80; });
    if (!ansi || openFailsFor.count(FileName(n)) || !dirs.count(Parent(n))) {
      return EExtract::kOpenFailed;
    }
    if (writeFailsFor.count(FileName(n))) {
      files[n] = bytes.substr(0, bytes.size() / 2);
      return EExtract::kWriteFailed;
    }
    files[n] = bytes;
    return EExtract::kWritten;
  }
  bool CreateFileLink(const std::string& link, const std::string& target) override {
    if (linkFails || !dirs.count(Parent(Norm(link)))) return false;
    links[Norm(link)] = target;
    return true;
  }
  void ScheduleRemoval(const std::vector<std::string>& paths) override {
    scheduled.push_back(paths);
  }

  std::unique_ptr<unsigned char[]> Allocate(std::uint64_t size) override {
    largestAllocation = std::max(largestAllocation, size);
    if (allocFailsFor.count(size)) return nullptr;
    return CLauncherPlatform::Allocate(size);
  }

  bool GetUserSid(std::string* out) override {
    if (!sidAvailable) return false;
    *out = sid;
    return true;
  }

  class CFakeProcess : public CEngineProcess {
   public:
    explicit CFakeProcess(CFakePlatform* owner) : m_owner(owner) {}
    void Wait() override {
      ++m_owner->waits;
      m_waited = true;
    }
    bool GetExitCode(std::uint32_t* code) override {
      if (m_owner->exitCodeFails) return false;
      *code = (m_owner->stillRunningUntilWaited && !m_waited) ? kStillActive : m_owner->exitCode;
      return true;
    }

   private:
    CFakePlatform* m_owner;
    bool m_waited = false;
  };

  EStartResult StartProcess(const CEngineCommand& command,
                            std::unique_ptr<CEngineProcess>* process) override {
    events.push_back("start");
    starts.push_back(command);
    cwdAtStart = cwd;
    filesAtStart = files;
    if (startResult == EStartResult::kStarted) *process = std::make_unique<CFakeProcess>(this);
    return startResult;
  }

  void ShowDebugBox(const std::string& caption, const std::string& text) override {
    events.push_back("debug:" + caption);
    debugBoxes.emplace_back(caption, text);
  }
  void ShowErrorBox(const std::string& caption, const std::string& text) override {
    events.push_back("error:" + caption);
    errorBoxes.emplace_back(caption, text);
  }
  void Pause(unsigned milliseconds) override { pauses.push_back(milliseconds); }
};

// The pieces of a setup file, for building test archives.
struct SetupFile {
  std::size_t imageSize = 32000;  // bytes before the signature
  unsigned char multiSegment = 0;
  unsigned char compression = 0;
  std::uint64_t totalSize = 0;  // 0: the real total
  std::string engine = "ENGINE";
  std::string lua = "LUA";
  std::string data = "DATA";

  std::string Header(std::uint64_t total) const {
    std::string h;
    for (std::size_t k = 0; k < kSignatureLength; ++k) h += static_cast<char>(SignatureByte(k));
    h += static_cast<char>(multiSegment);
    h += static_cast<char>(compression);
    unsigned char n[8];
    WriteLe64(n, total);
    h.append(reinterpret_cast<char*>(n), 8);
    WriteLe64(n, engine.size());
    h.append(reinterpret_cast<char*>(n), 8);
    return h;
  }
  std::string Build() const {
    std::string out(imageSize, 'M');
    const std::uint64_t total =
        totalSize ? totalSize
                  : imageSize + kHeaderSize + engine.size() + 8 + lua.size() + data.size();
    out += Header(total);
    std::string scrambled = engine;
    for (std::size_t i = 0; i < scrambled.size() && i < kScrambledHeadSize; ++i) {
      scrambled[i] = static_cast<char>(static_cast<unsigned char>(scrambled[i]) ^ kScrambleByte);
    }
    out += scrambled;
    unsigned char n[8];
    WriteLe64(n, lua.size());
    out.append(reinterpret_cast<char*>(n), 8);
    out += lua;
    out += data;
    return out;
  }
  std::uint64_t DataOffset() const {
    return imageSize + kHeaderSize + engine.size() + 8 + lua.size();
  }
};

inline std::string Signature() {
  std::string s;
  for (std::size_t k = 0; k < kSignatureLength; ++k) s += static_cast<char>(SignatureByte(k));
  return s;
}

inline std::string PatternBytes(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>((x >> 16) & 0x7F);  // never a signature byte
  }
  return s;
}

}  // namespace vgsetup::test
