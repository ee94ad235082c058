#include "ui/about_dlg.h"

#include <wx/button.h>
#include <wx/hyperlink.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/program_info.h"
#include "ui/ui_ids.h"
#include "ui/ui_services.h"
#include "version.h"

namespace vg::ui {

CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, wxString("About ") + kProgramTitle, wxDefaultPosition,
               wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
  SetClientSize(DialogSize(this, 337, 89));
  auto place = [this](int x, int y, int w, int h) { return DialogRect(this, x, y, w, h); };

  wxRect r = place(8, 8, 20, 20);
  const wxBitmap icon = GetAppIconBitmap(std::min(r.width, r.height));
  new wxStaticBitmap(this, wxID_STATIC, icon, r.GetPosition(), r.GetSize());

  r = place(40, 8, 291, 8);
  m_textCopyright = new wxStaticText(this, IDC_ABOUT_COPYRIGHT, wxEmptyString, r.GetPosition(),
                                     r.GetSize(), wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
  m_textCopyright->SetLabelText("...(c) info...");
  r = place(8, 36, 323, 14);
  m_textVersion = new wxStaticText(this, IDC_ABOUT_VERSION, wxEmptyString, r.GetPosition(),
                                   r.GetSize(), wxST_NO_AUTORESIZE);
  m_textVersion->SetLabelText("...version info...");
  r = place(8, 68, 70, 14);
  m_link = new wxHyperlinkCtrl(this, IDC_ABOUT_LINK, "Check for updates", wxEmptyString,
                               r.GetPosition(), r.GetSize(), wxHL_ALIGN_LEFT | wxHL_CONTEXTMENU);
  r = place(281, 68, 50, 14);
  wxButton* ok = new wxButton(this, wxID_OK, "OK", r.GetPosition(), r.GetSize());
  ok->SetDefault();
  ok->SetFocus();

  // Without a version the line keeps its placeholder and the link has no address.
  const std::string version = GetProgramVersionText();
  if (!version.empty()) {
    m_link->SetURL(ToWx(ChangeLogAddress(version)));
    m_textVersion->SetLabelText(ToWx("Version: " + version));
  }
  const std::string copyright = GetProgramCopyrightText();
  if (!copyright.empty()) m_textCopyright->SetLabelText(ToWx(copyright));
  CentreOnParent();
}

}  // namespace vg::ui
