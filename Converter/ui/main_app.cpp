// vellagard-converter: the desktop converter.
#include "ui/main_app.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <wx/image.h>

#include "core/platform.h"
#include "ui/config_store.h"
#include "ui/main_win.h"
#include "ui/ui_services.h"
#include "version.h"

namespace vg::ui {

bool CMainApp::OnInit() {
  SetVendorName(kCompany);
  SetAppName(kProgramTitle);
  SetAppDisplayName(kProgramTitle);
#if wxUSE_LIBPNG
  wxImage::AddHandler(new wxPNGHandler);
#endif
  return true;
}

int CMainApp::OnRun() {
  std::unique_ptr<CConfigSettingsStore> store = CConfigSettingsStore::OpenUserStore();
  CDesktopServices services;
  {
    CMainWin window(nullptr, *store, services, GetProgramFolder());
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) paths.push_back(argv[i].ToStdString(wxConvUTF8));
    window.AddStartupPaths(paths);
    SetTopWindow(&window);
    window.ShowModal();
    SetTopWindow(nullptr);
  }  // destroying the window writes the settings into the store
  store->Flush();
  return 0;
}

}  // namespace vg::ui

#ifdef __WXMSW__
wxIMPLEMENT_APP(vg::ui::CMainApp);
#else
wxIMPLEMENT_APP_NO_MAIN(vg::ui::CMainApp);

namespace {

const char* const kUsage =
    "Usage: vellagard-converter [--help] [--version] [IMAGE-OR-FOLDER...]\n"
    "\n"
    "Opens the Vellagard Web Converter window, with the images and folders named here\n"
    "already in its list: add image files, choose a presentation\n"
    "style and a target folder, and press Start to write the protected images and\n"
    "their pages. The options are kept between starts.\n"
    "\n"
    "For scripts, the command-line tool `vellagard` does the same without a window.\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("vellagard-converter %s\n", vg::kVersion);
      return 0;
    }
  }
  return wxEntry(argc, argv);
}
#endif
