// The desktop services the windows use: message boxes, the colour chooser, the
// folder picker, file dialogs, modal dialogs and the desktop's default programs.
//
// Wrapped for testability: the windows never open a platform dialog themselves,
// so the tests replace these with scripted answers and drive a whole window
// without anyone at the keyboard.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/colourdata.h>

#include "run/conversion_run.h"

class wxDialog;
class wxWindow;

namespace vg::ui {

class IUiServices {
 public:
  virtual ~IUiServices() = default;

  // A message box with only an OK button, captioned with the program's title.
  virtual void ShowMessage(wxWindow* parent, const std::string& text, MessageIcon icon) = 0;
  // A Yes/No question with a question icon. True when the user answers Yes.
  virtual bool AskYesNo(wxWindow* parent, const std::string& text, bool yes_is_default) = 0;
  // The colour chooser, starting from `colour` (0x00BBGGRR). On OK, true and the
  // chosen colour in `colour`; on cancel, false and `colour` unchanged.
  virtual bool ChooseColour(wxWindow* parent, std::uint32_t& colour) = 0;
  // The folder picker, starting in `path` when it is not empty. On OK, true and the
  // chosen folder in `path`; on cancel, false and `path` unchanged.
  virtual bool BrowseForFolder(wxWindow* parent, std::string& path) = 0;
  // A file-open dialog for several existing files with the image filter and an
  // "All files" filter. On OK, true and the chosen paths in the dialog's order.
  virtual bool ChooseImageFiles(wxWindow* parent, std::vector<std::string>& paths) = 0;
  // A file-open dialog for one existing file, opening on `path`. On OK, true and the
  // chosen path in `path`.
  virtual bool ChooseImageFile(wxWindow* parent, std::string& path) = 0;
  // Runs a dialog modally and returns its result (wxID_OK, wxID_CANCEL, ...).
  virtual int ShowModal(wxDialog& dialog) = 0;
  // Opens a file with the desktop's default program for its type; nothing is reported.
  virtual void OpenWithDefaultProgram(const std::string& path) = 0;
  // Opens a folder in the desktop's file manager; nothing is reported.
  virtual void OpenFolder(const std::string& folder) = 0;
};

// The real services: the platform's dialogs. The colour chooser's 16 custom colours
// start white and are shared by every call for the life of this object, which the
// application keeps for the life of the program.
class CDesktopServices : public IUiServices {
 public:
  CDesktopServices();
  void ShowMessage(wxWindow* parent, const std::string& text, MessageIcon icon) override;
  bool AskYesNo(wxWindow* parent, const std::string& text, bool yes_is_default) override;
  bool ChooseColour(wxWindow* parent, std::uint32_t& colour) override;
  bool BrowseForFolder(wxWindow* parent, std::string& path) override;
  bool ChooseImageFiles(wxWindow* parent, std::vector<std::string>& paths) override;
  bool ChooseImageFile(wxWindow* parent, std::string& path) override;
  int ShowModal(wxDialog& dialog) override;
  void OpenWithDefaultProgram(const std::string& path) override;
  void OpenFolder(const std::string& folder) override;

 private:
  wxColourData m_colourData;
};

// The file-dialog filter: "Image files" with the accepted extensions, then "All files".
wxString ImageFileFilter();

// Colours as the settings hold them (0x00BBGGRR, top byte ignored) and as wxWidgets does.
wxColour ToWxColour(std::uint32_t colour);
std::uint32_t FromWxColour(const wxColour& colour);

// Text between the program (UTF-8) and wxWidgets.
inline wxString ToWx(const std::string& text) {
  return wxString::FromUTF8(text.data(), text.size());
}
inline std::string FromWx(const wxString& text) { return text.utf8_string(); }

}  // namespace vg::ui
