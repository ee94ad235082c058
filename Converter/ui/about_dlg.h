// The About box: the program icon, the copyright line, the version line and a link
// to the change-log page of exactly this version.
#pragma once

#include <wx/dialog.h>

class wxHyperlinkCtrl;
class wxStaticText;

namespace vg::ui {

class CAboutDlg : public wxDialog {
 public:
  explicit CAboutDlg(wxWindow* parent);

  wxStaticText* m_textCopyright;
  wxStaticText* m_textVersion;
  wxHyperlinkCtrl* m_link;
};

}  // namespace vg::ui
