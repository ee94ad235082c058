// Benchmarks of the desktop converter's window, on a real display.
//
//   bench_ui startup    time from launch to the first paint of the main window
//   bench_ui baseline   the same for an empty dialog of the same size: what wxWidgets
//                       and GTK cost by themselves (the peer)
//   bench_ui addfolder [N] [RUNS]
//                       "Add folder" on N generated images (default 10000) in 100
//                       sub-folders, until the list view has painted its rows
//
// Launch time: VG_LAUNCH_NS (nanoseconds since the epoch, as `date +%s%N` prints) when
// set, else the start of main(). run.sh sets it just before starting the program.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/mstream.h>

#include "core/utf8_path.h"
#include "settings/settings.h"
#include "ui/dialog_units.h"
#include "ui/image_list_view.h"
#include "ui/main_win.h"
#include "ui/ui_services.h"

namespace {

using Clock = std::chrono::system_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Clock::time_point LaunchTime(Clock::time_point fallback) {
  const char* ns = std::getenv("VG_LAUNCH_NS");
  if (ns == nullptr) return fallback;
  return Clock::time_point(
      std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(std::atoll(ns))));
}

// Answers the folder picker with one folder and the Yes/No question with Yes.
class BenchServices : public vg::ui::CDesktopServices {
 public:
  std::string folder;
  bool BrowseForFolder(wxWindow*, std::string& path) override {
    path = folder;
    return true;
  }
  bool AskYesNo(wxWindow*, const std::string&, bool) override { return true; }
};

class BenchApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

// Runs the event loop until `done` is true.
template <typename Pred>
void RunUntil(Pred done) {
  while (!done()) {
    wxTheApp->Yield(true);
    if (!done()) wxMilliSleep(1);
  }
}

int Startup(Clock::time_point launch, bool baseline) {
  vg::MemorySettingsStore store;
  BenchServices services;
  bool painted = false;
  wxDialog* window;
  if (baseline) {
    window = new wxDialog(nullptr, wxID_ANY, "Baseline", wxDefaultPosition, wxDefaultSize,
                          wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    window->SetClientSize(vg::ui::DialogSize(window, 447, 423));
  } else {
    window = new vg::ui::CMainWin(nullptr, store, services, vg::PathFromUtf8(""));
  }
  window->Bind(wxEVT_PAINT, [&](wxPaintEvent& e) {
    painted = true;
    e.Skip();
  });
  window->Show();
  RunUntil([&] { return painted; });
  std::printf("%s: first paint %.1f ms after launch\n", baseline ? "baseline" : "startup",
              MillisecondsSince(launch));
  delete window;
  return 0;
}

// A small real PNG, written under many names.
std::string SmallPng() {
  wxImage image(64, 48);
  image.SetRGB(wxRect(0, 0, 64, 48), 40, 90, 140);
  wxMemoryOutputStream out;
  image.SaveFile(out, wxBITMAP_TYPE_PNG);
  std::string bytes(out.GetSize(), '\0');
  out.CopyTo(bytes.data(), bytes.size());
  return bytes;
}

int AddFolder(int count, int runs) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("vg-bench-ui-" + std::to_string(::getpid()));
  const std::string png = SmallPng();
  for (int i = 0; i < count; ++i) {
    const fs::path folder = root / ("d" + std::to_string(i % 100));
    if (i < 100) fs::create_directories(folder);
    std::ofstream(folder / ("image " + std::to_string(i) + ".png"), std::ios::binary) << png;
  }

  vg::MemorySettingsStore store;
  BenchServices services;
  services.folder = vg::PathToUtf8(root);
  auto* window = new vg::ui::CMainWin(nullptr, store, services, vg::PathFromUtf8(""));
  window->Show();
  for (int i = 0; i < 20; ++i) wxTheApp->Yield(true);

  int status = 0;
  for (int run = 0; run < runs; ++run) {
    if (!window->Images().empty()) {
      wxCommandEvent clear(wxEVT_BUTTON, window->m_buttonClearList->GetId());
      window->m_buttonClearList->ProcessWindowEvent(clear);
      window->Update();
    }
    const Clock::time_point start = Clock::now();
    wxCommandEvent click(wxEVT_BUTTON, window->m_buttonAddFolder->GetId());
    window->m_buttonAddFolder->ProcessWindowEvent(click);
    window->m_listImages->Update();  // paint the rows now
    wxTheApp->Yield(true);
    const double ms = MillisecondsSince(start);
    const bool complete = window->Images().size() == static_cast<std::size_t>(count) &&
                          window->m_listImages->GetItemCount() == count &&
                          !window->m_listImages->GetItemText(count - 1, 3).empty();
    std::printf("addfolder: %d images added and drawn in %.1f ms%s\n", count, ms,
                complete ? "" : " (INCOMPLETE)");
    if (!complete) status = 1;
  }
  delete window;
  std::error_code ec;
  fs::remove_all(root, ec);
  return status;
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
  const Clock::time_point launch = LaunchTime(Clock::now());
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "startup" && mode != "baseline" && mode != "addfolder") {
    std::fprintf(stderr, "usage: bench_ui startup|baseline|addfolder [COUNT] [RUNS]\n");
    return 2;
  }
  int wx_argc = 1;
  if (!wxEntryStart(wx_argc, argv)) return 1;
  wxTheApp->CallOnInit();
  wxImage::AddHandler(new wxPNGHandler);
  int status;
  {
    wxGUIEventLoop loop;
    wxEventLoopActivator active(&loop);
    if (mode == "addfolder") {
      status = AddFolder(argc > 2 ? std::atoi(argv[2]) : 10000, argc > 3 ? std::atoi(argv[3]) : 3);
    } else {
      status = Startup(launch, mode == "baseline");
    }
  }
  wxEntryCleanup();
  return status;
}
