// The application object: prepares the process and runs the main window modally;
// the program ends when that window closes.
#pragma once

#include <wx/app.h>

namespace vg::ui {

class CMainApp : public wxApp {
 public:
  bool OnInit() override;
  int OnRun() override;
};

}  // namespace vg::ui
