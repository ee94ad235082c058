// The setup launcher's services on POSIX systems (Linux).
//
// The natural counterparts of the Windows calls: $TMPDIR or /tmp as the temporary base,
// free space from statvfs, private folders with mode 0700, the engine started with
// posix_spawn and waited for with waitpid, messages as one line on stderr. The engine and
// the Lua library are copied from the launcher's file inside the kernel (copy_file_range)
// where it can, rather than through a buffer of their whole size. Removal "at the
// next restart" becomes a detached clean-up process that waits for the engine to end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/launcher_platform.h"

namespace vgsetup {

class CPosixPlatform : public CLauncherPlatform {
 public:
  CPosixPlatform(int argc, char** argv);
  ~CPosixPlatform() override;

  bool HardenLibrarySearch() override { return false; }
  void ReleasePreloadedLibraries() override {}
  void ShowBusyCursor() override {}
  void ReadCommandLine(std::string* text, std::vector<std::string>* argv) override;

  char Separator() const override { return '/'; }
  std::size_t RootLength(const std::string& path) const override;
  bool GetOwnPath(std::string* path) override;
  bool CanOpenAnsiForm(const std::string&) override { return true; }
  std::unique_ptr<CArchiveFile> OpenArchive(const std::string& path) override;
  bool GetTempBase(std::string* path) override;
  bool GetCommonTempFolder(std::string*) override { return false; }
  std::string FallbackTempBase() const override { return "/tmp"; }
  bool GetCurrentDir(std::string* path) override;
  bool SetCurrentDir(const std::string& path) override;
  EPathKind GetPathKind(const std::string& path) override;
  bool MakeDir(const std::string& path) override;
  ECreateDir CreatePrivateDir(const std::string& path) override;
  ECreateDir CreateSharedDir(const std::string& path) override;
  CFolderFacts ExamineFolder(const std::string& path) override;
  bool RemoveStaleFolder(const std::string& folder, const std::string& name) override;
  bool RemoveDir(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool QueryFreeSpace(const std::string& folder, std::uint64_t* bytes) override;
  bool CreateFileLink(const std::string& link, const std::string& target) override;
  void ScheduleRemoval(const std::vector<std::string>& paths) override;

  bool GetUserSid(std::string* sid) override;
  EStartResult StartProcess(const CEngineCommand& command,
                            std::unique_ptr<CEngineProcess>* process) override;

  void ShowDebugBox(const std::string& caption, const std::string& text) override;
  void ShowErrorBox(const std::string& caption, const std::string& text) override;
  void Pause(unsigned milliseconds) override;

 private:
  // Blocks until the engine process `pid` has ended; `pidfd` is -1 where pidfds are missing.
  static void WaitForProcessEnd(pid_t pid, int pidfd);

  std::vector<std::string> m_vArgv;
  pid_t m_enginePid = -1;
  int m_enginePidFd = -1;  // lets a process that is not the parent wait for the engine
};

}  // namespace vgsetup
