#include "ui/config_store.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <wx/config.h>
#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/stdpaths.h>
#ifdef __WXMSW__
#include <wx/msw/regconf.h>
#endif

#include "core/atomic_file.h"
#include "core/utf8_path.h"
#include "ui/ui_services.h"
#include "version.h"

namespace vg::ui {
namespace {

wxString Key(std::string_view section, std::string_view entry) {
  return "/" + ToWx(std::string(section)) + "/" + ToWx(std::string(entry));
}

// Values are taken literally: a "$HOME" or "%TEMP%" in a text is not expanded.
void Prepare(wxConfigBase& config) {
  config.SetExpandEnvVars(false);
  config.SetRecordDefaults(false);
}

}  // namespace

CConfigSettingsStore::CConfigSettingsStore(std::unique_ptr<wxConfigBase> config,
                                           std::filesystem::path file)
    : m_config(std::move(config)), m_file(std::move(file)) {
  Prepare(*m_config);
}

CConfigSettingsStore::~CConfigSettingsStore() = default;

std::filesystem::path CConfigSettingsStore::UserStoreFile() {
  std::filesystem::path folder;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    folder = PathFromUtf8(xdg);
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    folder = PathFromUtf8(home) / ".config";
  } else {
    folder = PathFromUtf8(FromWx(wxStandardPaths::Get().GetUserConfigDir()));
  }
  return folder / kCompany / (std::string(kProgramTitle) + ".conf");
}

std::unique_ptr<CConfigSettingsStore> CConfigSettingsStore::OpenUserStore() {
#ifdef __WXMSW__
  auto config = std::make_unique<wxRegConfig>(kProgramTitle, kCompany);
  return std::unique_ptr<CConfigSettingsStore>(new CConfigSettingsStore(std::move(config), {}));
#else
  return OpenFile(UserStoreFile());
#endif
}

std::unique_ptr<CConfigSettingsStore> CConfigSettingsStore::OpenFile(
    const std::filesystem::path& file) {
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // A damaged file gives what can be read of it, and defaults for the rest, without
  // complaining: the next Flush writes a clean file.
  wxLogNull quiet;
  wxMemoryInputStream stream(bytes.data(), bytes.size());
  auto config = std::make_unique<wxFileConfig>(stream, wxConvUTF8);
  return std::unique_ptr<CConfigSettingsStore>(new CConfigSettingsStore(std::move(config), file));
}

std::int32_t CConfigSettingsStore::ReadInt(std::string_view section, std::string_view entry,
                                           std::int32_t default_value) {
  long value = 0;
  if (!m_config->Read(Key(section, entry), &value)) return default_value;
  // A number beyond 32 bits can only come from editing the file by hand.
  const long long wide = value;
  if (wide < INT32_MIN || wide > INT32_MAX) return default_value;
  return static_cast<std::int32_t>(value);
}

std::string CConfigSettingsStore::ReadText(std::string_view section, std::string_view entry,
                                           std::string_view default_value) {
  wxString value;
  if (!m_config->Read(Key(section, entry), &value)) return std::string(default_value);
  return FromWx(value);
}

void CConfigSettingsStore::WriteInt(std::string_view section, std::string_view entry,
                                    std::int32_t value) {
  m_config->Write(Key(section, entry), static_cast<long>(value));
  m_dirty = true;
}

void CConfigSettingsStore::WriteText(std::string_view section, std::string_view entry,
                                     std::string_view value) {
  m_config->Write(Key(section, entry), ToWx(std::string(value)));
  m_dirty = true;
}

bool CConfigSettingsStore::Flush() {
  if (m_file.empty()) return m_config->Flush();
  if (!m_dirty) return true;
  auto* file_config = static_cast<wxFileConfig*>(m_config.get());
  wxMemoryOutputStream bytes;
  if (!file_config->Save(bytes, wxConvUTF8)) return false;
  std::string content(bytes.GetSize(), '\0');
  bytes.CopyTo(content.data(), content.size());

  std::error_code ec;
  std::filesystem::create_directories(m_file.parent_path(), ec);
  AtomicFile out(m_file);
  if (!out.Open() || !out.Write(content) || !out.Commit()) return false;
  m_dirty = false;
  return true;
}

}  // namespace vg::ui
