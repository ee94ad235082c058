#include "ui/domains_dlg.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "settings/domain_name.h"
#include "settings/settings.h"
#include "ui/dialog_units.h"
#include "ui/ui_ids.h"
#include "ui/ui_services.h"

namespace vg::ui {

CDlgDomains::CDlgDomains(wxWindow* parent, IUiServices& services,
                         const std::vector<std::string>& names)
    : wxDialog(parent, wxID_ANY, "Domain names", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE),
      m_services(services) {
  // Names stored by an older version or edited by hand are shown as they are; only
  // new names go through the check.
  for (const std::string& name : names) {
    if (!name.empty() && name != kLocalhostDomain &&
        std::find(m_names.begin(), m_names.end(), name) == m_names.end()) {
      m_names.push_back(name);
    }
  }
  std::sort(m_names.begin(), m_names.end());

  SetClientSize(DialogSize(this, 220, 160));
  auto place = [this](int x, int y, int w, int h) { return DialogRect(this, x, y, w, h); };
  wxRect r = place(7, 7, 206, 10);
  new wxStaticText(this, wxID_STATIC,
                   "Domain names offered for locking (\"localhost\" is always offered):",
                   r.GetPosition(), r.GetSize(), wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
  r = place(7, 20, 150, 98);
  m_listNames = new wxListBox(this, IDC_DOMAINS_LIST, r.GetPosition(), r.GetSize(), 0, nullptr,
                              wxLB_EXTENDED | wxLB_NEEDED_SB);
  r = place(163, 20, 50, 14);
  m_buttonRemove = new wxButton(this, IDC_DOMAINS_REMOVE, "Remove", r.GetPosition(), r.GetSize());
  r = place(7, 122, 150, 14);
  m_editName = new wxTextCtrl(this, IDC_DOMAINS_NAME, wxEmptyString, r.GetPosition(), r.GetSize(),
                              wxTE_PROCESS_ENTER);
  r = place(163, 122, 50, 14);
  m_buttonAdd = new wxButton(this, IDC_DOMAINS_ADD, "Add", r.GetPosition(), r.GetSize());
  r = place(107, 141, 50, 14);
  wxButton* ok = new wxButton(this, wxID_OK, "OK", r.GetPosition(), r.GetSize());
  r = place(163, 141, 50, 14);
  new wxButton(this, wxID_CANCEL, "Cancel", r.GetPosition(), r.GetSize());
  ok->SetDefault();

  m_buttonAdd->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { AddName(); });
  m_editName->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { AddName(); });
  m_editName->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { UpdateButtons(); });
  m_buttonRemove->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RemoveSelected(); });
  m_listNames->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) { UpdateButtons(); });

  FillList(-1);
  m_editName->SetFocus();
  CentreOnParent();
}

bool CDlgDomains::AddName() {
  const DomainNameResult result = NormalizeDomainName(FromWx(m_editName->GetValue()));
  if (!result.ok) {
    m_services.ShowMessage(this, result.message, MessageIcon::Error);
    m_editName->SetFocus();
    m_editName->SelectAll();
    return false;
  }
  int index;
  if (result.name == kLocalhostDomain) {
    index = -1;  // always offered; nothing to add
  } else {
    const auto found = std::find(m_names.begin(), m_names.end(), result.name);
    if (found == m_names.end()) {
      m_names.push_back(result.name);
      std::sort(m_names.begin(), m_names.end());
      index = static_cast<int>(std::find(m_names.begin(), m_names.end(), result.name) -
                               m_names.begin());
    } else {
      index = static_cast<int>(found - m_names.begin());
    }
  }
  FillList(index);
  m_editName->Clear();
  m_editName->SetFocus();
  return true;
}

void CDlgDomains::RemoveSelected() {
  wxArrayInt selections;
  m_listNames->GetSelections(selections);
  std::sort(selections.begin(), selections.end(), std::greater<int>());
  for (int i : selections) {
    if (i >= 0 && static_cast<std::size_t>(i) < m_names.size()) m_names.erase(m_names.begin() + i);
  }
  FillList(-1);
}

void CDlgDomains::FillList(int select) {
  wxArrayString items;
  for (const std::string& name : m_names) items.Add(ToWx(name));
  m_listNames->Set(items);
  if (select >= 0) {
    m_listNames->SetSelection(select);
    m_listNames->EnsureVisible(select);
  }
  UpdateButtons();
}

void CDlgDomains::UpdateButtons() {
  wxArrayInt selections;
  m_buttonRemove->Enable(m_listNames->GetSelections(selections) > 0);
  m_buttonAdd->Enable(!m_editName->GetValue().Trim(true).Trim(false).empty());
}

}  // namespace vg::ui
