// The converter's main window: the image list, the presentation style with its five
// pages, the display options, the domain lock, the target folder, the progress bar
// and the command buttons.
//
// The window owns the settings record, the image list and the style pages. Its
// handlers translate clicks into calls of the list, the settings helpers and the
// conversion run; it is the run's host (IConversionHost) for the length of a run.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include <wx/dialog.h>

#include "core/image_list.h"
#include "run/conversion_run.h"
#include "settings/settings.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxGauge;
class wxListEvent;
class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

namespace vg {
struct StyleCheck;
}

namespace vg::ui {

class CColorButton;
class CColorPreview;
class CImageListView;
class CStylePage;
class CUpDown;
class IUiServices;

class CMainWin : public wxDialog, public IConversionHost {
 public:
  // Builds the window and loads its state from `store`; the settings are written
  // back to `store` when the window is destroyed. The page template and the viewer
  // script are taken from `program_folder`, or else from ../share/vellagard beside it.
  CMainWin(wxWindow* parent, ISettingsStore& store, IUiServices& services,
           const std::filesystem::path& program_folder);
  ~CMainWin() override;

  // The operations that the run and the style pages use.
  ConverterSettings& Settings() { return m_settings; }
  const ConverterSettings& Settings() const { return m_settings; }
  IUiServices& Services() { return m_services; }
  const CImageList& Images() const { return m_images; }
  const std::vector<std::string>& DomainList() const { return m_domainList; }
  const std::vector<std::string>& DomainNames() const { return m_domainNames; }
  const RunFlags& Flags() const { return m_flags; }
  CStylePage* StylePage(int style) const;

  // Shows a refused style check (error icon) and moves the focus to `focus`.
  // Returns check.ok.
  bool ReportStyleCheck(const StyleCheck& check, wxWindow* focus);

  // Selects presentation style n as a click on its radio button does.
  void SelectStyle(int style);
  // Lets the user pick a folder; see IUiServices::BrowseForFolder.
  bool BrowseForFolder(std::string& path);
  // "Start": one conversion run.
  void StartConversion();
  // Redraws the rows of the list and selects `select` (-1 for none).
  void RefreshImageList(int select);
  // Adds paths given to the program at start (files dropped on its icon, "Open with"):
  // a file as "Add file(s)" adds it, a folder as "Add folder" does.
  void AddStartupPaths(const std::vector<std::string>& paths);
  // Adds files and folders dropped on the window: a folder as "Add folder" walks it,
  // a file as "Add file(s)" adds it with its default filter, so only files with an
  // accepted image extension. Refused while a run is going on. True when the list
  // grew.
  bool AddDroppedPaths(const std::vector<std::string>& paths);
  // Replaces the user's domain names and refills the drop-down, keeping the chosen
  // name selected when it is still offered.
  void SetDomainNames(const std::vector<std::string>& names);

  // IConversionHost
  bool CheckCurrentStylePage() override;
  void CollectOptions() override;
  std::string GetDomainKey() override;
  bool AskYesNo(const std::string& text) override;
  void UpdateControls() override;
  void SetProgressRange(int maximum) override;
  void SetProgressPosition(int position) override;
  void PumpMessages() override;
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  void OpenFolder(const std::string& folder) override;

  // Controls, by the window's layout.
  CImageListView* m_listImages;
  wxButton* m_buttonAddFiles;
  wxButton* m_buttonAddFolder;
  wxButton* m_buttonRemoveSelected;
  wxButton* m_buttonClearList;
  wxButton* m_buttonMoveUp;
  wxButton* m_buttonMoveDown;
  std::array<wxRadioButton*, 5> m_radioStyles;
  wxStaticText* m_styleFrame;
  std::array<CStylePage*, 5> m_pages;
  wxTextCtrl* m_editMessageLoading;
  wxTextCtrl* m_editMessageStatus;
  CColorButton* m_buttonBackColor;
  CColorButton* m_buttonTextColor;
  CColorPreview* m_preview;
  wxTextCtrl* m_editBorderWidth;
  CUpDown* m_spinBorderWidth;
  wxTextCtrl* m_editWatermark;
  wxCheckBox* m_checkDomainLock;
  wxChoice* m_comboDomain;
  wxButton* m_buttonEditDomains;
  wxTextCtrl* m_editTarget;
  wxButton* m_buttonBrowse;
  wxCheckBox* m_checkOpenTarget;
  wxGauge* m_progress;
  wxButton* m_buttonStart;
  wxButton* m_buttonStop;
  wxButton* m_buttonAbout;
  wxButton* m_buttonClose;

 private:
  void FitFontToScreen();
  void CreateControls();
  void LoadState();
  void FillDomainList();
  void UpdatePreview();
  void CloseWindow();
  std::vector<int> SelectedRows() const;
  int FirstSelectedRow() const;

  void OnAddFiles(wxCommandEvent& event);
  void OnAddFolder(wxCommandEvent& event);
  void OnRemoveSelected(wxCommandEvent& event);
  void OnClearList(wxCommandEvent& event);
  void OnMoveUp(wxCommandEvent& event);
  void OnMoveDown(wxCommandEvent& event);
  void OnListActivated(wxListEvent& event);
  void OnStyleButton(wxCommandEvent& event);
  void OnBackColor(wxCommandEvent& event);
  void OnTextColor(wxCommandEvent& event);
  void OnDomainLock(wxCommandEvent& event);
  void OnEditDomains(wxCommandEvent& event);
  void OnBrowseTarget(wxCommandEvent& event);
  void OnStart(wxCommandEvent& event);
  void OnStop(wxCommandEvent& event);
  void OnAbout(wxCommandEvent& event);
  void OnCloseButton(wxCommandEvent& event);
  void OnCloseWindow(wxCloseEvent& event);
  void OnCharHook(wxKeyEvent& event);

  ISettingsStore& m_store;
  IUiServices& m_services;
  std::filesystem::path m_programFolder;
  std::string m_pageTemplate;
  bool m_templateLoaded = false;   // false when template.html could not be read
  std::string m_dataFilesMissing;  // why no place holds template.html and vgi.js, if none does
  ConverterSettings m_settings;
  WindowPosition m_position;
  std::vector<std::string> m_domainNames;  // the user's names, as stored
  std::vector<std::string> m_domainList;   // what the drop-down offers
  CImageList m_images;
  RunFlags m_flags;

  wxDECLARE_EVENT_TABLE();
};

}  // namespace vg::ui
