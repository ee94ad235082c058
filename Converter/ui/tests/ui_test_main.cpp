// Entry point of the window tests: starts wxWidgets on the display in $DISPLAY and
// runs the tests inside an active event loop, so the windows can yield as they do
// in the program.
#include <gtest/gtest.h>

#include <cstdio>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>

namespace {

class CTestApp : public wxApp {
 public:
  bool OnInit() override {
    SetVendorName("Quillmere");
    SetAppName("Vellagard Web Converter");
    return true;
  }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(CTestApp);

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!wxEntryStart(argc, argv)) {
    std::fprintf(stderr,
                 "ui_tests: cannot start wxWidgets; the window tests need a display (DISPLAY=%s)\n",
                 std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    return 1;
  }
  if (!wxTheApp->CallOnInit()) return 1;
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  int result = 0;
  {
    wxGUIEventLoop loop;
    wxEventLoopActivator active(&loop);
    result = RUN_ALL_TESTS();
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
