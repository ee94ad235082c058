// Draws the main window in each presentation style, and the About box, with a few
// sample images in the list, and saves each as a PNG for the documentation.
//
//   ui_screenshots OUTPUT_FOLDER IMAGE...
//
// Needs a display; take-screenshots.sh runs it on Xvfb. The windows are read back
// from the screen with ImageMagick's `import`.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/image.h>
#include <wx/textctrl.h>

#include "settings/settings.h"
#include "ui/about_dlg.h"
#include "ui/image_list_view.h"
#include "ui/main_win.h"
#include "ui/ui_services.h"

namespace {

class ShotServices : public vg::ui::CDesktopServices {
 public:
  std::vector<std::string> files;
  bool ChooseImageFiles(wxWindow*, std::vector<std::string>& paths) override {
    paths = files;
    return true;
  }
};

class ShotApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

void Settle() {
  for (int i = 0; i < 30; ++i) {
    wxTheApp->Yield(true);
    wxMilliSleep(10);
  }
}

bool Capture(wxWindow* window, const std::string& file) {
  window->Raise();
  window->Refresh();
  window->Update();
  Settle();
  const wxRect r = window->GetScreenRect();
  const std::string command = "import -window root -crop " + std::to_string(r.width) + "x" +
                              std::to_string(r.height) + "+" + std::to_string(r.x) + "+" +
                              std::to_string(r.y) + " +repage '" + file + "'";
  const bool ok = std::system(command.c_str()) == 0;
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
  return ok;
}

const char* const kStyleFiles[] = {"link", "text2image", "image2text", "image2image", "slideshow"};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(ShotApp);

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: ui_screenshots OUTPUT_FOLDER IMAGE...\n");
    return 2;
  }
  const std::string out = argv[1];
  int wx_argc = 1;
  if (!wxEntryStart(wx_argc, argv)) return 1;
  wxTheApp->CallOnInit();
  wxImage::AddHandler(new wxPNGHandler);
  bool ok = true;
  {
    wxGUIEventLoop loop;
    wxEventLoopActivator active(&loop);
    ShotServices services;
    for (int i = 2; i < argc; ++i) services.files.push_back(argv[i]);
    for (int style = 0; style < 5; ++style) {
      vg::MemorySettingsStore store;
      store.SetInt(vg::kSectionGeneral, "PresentationStyle", style);
      store.SetText(vg::kSectionDomains, vg::kEntryDomainNames, "www.example.com");
      store.SetText(vg::kSectionGeneral, "Target", "/home/user/public_html/gallery");
      store.SetInt(vg::kSectionGeneral, "BackColor", 0x00603010);
      store.SetInt(vg::kSectionGeneral, "TextColor", 0x0080E0FF);
      store.SetInt(vg::kSectionGeneral, "BorderWidth", 2);
      store.SetText(vg::kSectionGeneral, "Watermark", "\xC2\xA9 Quillmere Photography");
      if (style == 1 || style == 2)
        store.SetText(vg::kSectionGeneral, style == 1 ? "Text2ImageMessage" : "Image2TextMessage",
                      "Photo (c) Quillmere");
      if (style == 3) store.SetText(vg::kSectionGeneral, "Image2ImageFile", services.files.back());
      if (style == 4) store.SetInt(vg::kSectionGeneral, "SlideshowDelay", 2500);
      store.SetInt(vg::kSectionGeneral, "DomainLock", style % 2);
      auto* window = new vg::ui::CMainWin(nullptr, store, services, "");
      window->Move(20, 20);
      window->Show();
      wxCommandEvent add(wxEVT_BUTTON, window->m_buttonAddFiles->GetId());
      window->m_buttonAddFiles->ProcessWindowEvent(add);
      window->RefreshImageList(1);
      window->m_progress->SetRange(static_cast<int>(services.files.size()));
      ok = Capture(window, out + "/ui-" + kStyleFiles[style] + ".png") && ok;
      if (style == 0) {
        vg::ui::CAboutDlg about(window);
        about.Show();
        ok = Capture(&about, out + "/ui-about.png") && ok;
        about.Hide();
      }
      delete window;
      Settle();
    }
  }
  wxEntryCleanup();
  return ok ? 0 : 1;
}
