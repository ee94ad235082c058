// The setup launcher's services on Windows: the real calls of the launcher's design, with
// 64-bit file positions, a private access list on the temporary folder and UTF-16 paths.
#pragma once

#include <string>
#include <vector>

#include "platform/launcher_platform.h"

namespace vgsetup {

class CWin32Platform : public CLauncherPlatform {
 public:
  CWin32Platform() = default;
  ~CWin32Platform() override;

  bool HardenLibrarySearch() override;
  void ReleasePreloadedLibraries() override;
  void ShowBusyCursor() override;
  void ReadCommandLine(std::string* text, std::vector<std::string>* argv) override;

  char Separator() const override { return '\\'; }
  std::size_t RootLength(const std::string& path) const override;
  bool GetOwnPath(std::string* path) override;
  bool CanOpenAnsiForm(const std::string& path) override;
  std::unique_ptr<CArchiveFile> OpenArchive(const std::string& path) override;
  bool GetTempBase(std::string* path) override;
  bool GetCommonTempFolder(std::string* path) override;
  std::string FallbackTempBase() const override { return "c:\\temp"; }
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
  std::vector<void*> m_vPreloaded;  // HMODULEs of the libraries loaded in advance
};

}  // namespace vgsetup
