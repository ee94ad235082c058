// "Edit..." beside the domain drop-down: a small dialog that adds and removes the
// user's own domain names. "localhost" is always offered and is not listed here.
#pragma once

#include <string>
#include <vector>

#include <wx/dialog.h>

class wxButton;
class wxListBox;
class wxTextCtrl;

namespace vg::ui {

class IUiServices;

class CDlgDomains : public wxDialog {
 public:
  CDlgDomains(wxWindow* parent, IUiServices& services, const std::vector<std::string>& names);

  // The names as the dialog holds them: each in its checked ASCII form, once.
  const std::vector<std::string>& GetNames() const { return m_names; }

  // Adds the text of the name box; false, after a message, when the name is refused.
  bool AddName();
  // Removes the selected names.
  void RemoveSelected();

  wxListBox* m_listNames;
  wxTextCtrl* m_editName;
  wxButton* m_buttonAdd;
  wxButton* m_buttonRemove;

 private:
  void FillList(int select);
  void UpdateButtons();

  IUiServices& m_services;
  std::vector<std::string> m_names;
};

}  // namespace vg::ui
