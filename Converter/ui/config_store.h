// The per-user settings store on wxConfig.
//
// Windows: the registry key HKEY_CURRENT_USER\Software\Quillmere\Vellagard Web
// Converter, one key per section, integers as REG_DWORD and texts as REG_SZ.
// Elsewhere: one file in the user's XDG configuration folder
// ($XDG_CONFIG_HOME, else ~/.config) at "Quillmere/Vellagard Web Converter.conf",
// with the same sections and entries. The file is read once when the store is
// opened and written, whole and atomically, by Flush().
#pragma once

#include <filesystem>
#include <memory>

#include "settings/settings.h"

class wxConfigBase;

namespace vg::ui {

class CConfigSettingsStore : public ISettingsStore {
 public:
  ~CConfigSettingsStore() override;

  // The store of the current user.
  static std::unique_ptr<CConfigSettingsStore> OpenUserStore();
  // A store kept in the given file (read now if it exists).
  static std::unique_ptr<CConfigSettingsStore> OpenFile(const std::filesystem::path& file);
  // Where OpenUserStore keeps the file on systems without a registry.
  static std::filesystem::path UserStoreFile();

  std::int32_t ReadInt(std::string_view section, std::string_view entry,
                       std::int32_t default_value) override;
  std::string ReadText(std::string_view section, std::string_view entry,
                       std::string_view default_value) override;
  void WriteInt(std::string_view section, std::string_view entry, std::int32_t value) override;
  void WriteText(std::string_view section, std::string_view entry, std::string_view value) override;

  // Writes what was written to the store to its file (registry writes take effect at
  // once). False when the file could not be written; the old file then stays.
  bool Flush();

  const std::filesystem::path& file() const { return m_file; }

 private:
  CConfigSettingsStore(std::unique_ptr<wxConfigBase> config, std::filesystem::path file);

  std::unique_ptr<wxConfigBase> m_config;
  std::filesystem::path m_file;  // empty for the registry
  bool m_dirty = false;
};

}  // namespace vg::ui
