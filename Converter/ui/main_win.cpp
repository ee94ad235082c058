#include "ui/main_win.h"

#include <algorithm>
#include <exception>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/valtext.h>

#include "core/platform.h"
#include "core/utf8_path.h"
#include "pages/page_builder.h"
#include "pages/style_checks.h"
#include "ui/about_dlg.h"
#include "ui/app_icon.h"
#include "ui/color_button.h"
#include "ui/dialog_units.h"
#include "ui/domains_dlg.h"
#include "ui/file_drop_target.h"
#include "ui/image_list_view.h"
#include "ui/style_pages.h"
#include "ui/ui_ids.h"
#include "ui/ui_services.h"
#include "ui/up_down.h"
#include "version.h"

namespace vg::ui {
namespace {

// Size of the window's client area in dialog units.
constexpr int kClientWidth = 447;
constexpr int kClientHeight = 423;

constexpr int kBorderWidthMin = 0;
constexpr int kBorderWidthMax = 1000;

const int kStyleX[kStyleCount] = {12, 99, 186, 273, 360};
// The style buttons' width: 60 in the Windows layout, where the indicator is smaller;
// here each may use the room up to the next one so its label is never cut.
const int kStyleWidth[kStyleCount] = {84, 84, 84, 84, 60};

}  // namespace

wxBEGIN_EVENT_TABLE(CMainWin, wxDialog)
  EVT_BUTTON(IDC_ADD_FILES, CMainWin::OnAddFiles)
  EVT_BUTTON(IDC_ADD_FOLDER, CMainWin::OnAddFolder)
  EVT_BUTTON(IDC_REMOVE_SELECTED, CMainWin::OnRemoveSelected)
  EVT_BUTTON(IDC_CLEAR_LIST, CMainWin::OnClearList)
  EVT_BUTTON(IDC_MOVE_UP, CMainWin::OnMoveUp)
  EVT_BUTTON(IDC_MOVE_DOWN, CMainWin::OnMoveDown)
  EVT_LIST_ITEM_ACTIVATED(IDC_IMAGE_LIST, CMainWin::OnListActivated)
  EVT_RADIOBUTTON(IDC_STYLE_LINK, CMainWin::OnStyleButton)
  EVT_RADIOBUTTON(IDC_STYLE_TEXT2IMAGE, CMainWin::OnStyleButton)
  EVT_RADIOBUTTON(IDC_STYLE_IMAGE2TEXT, CMainWin::OnStyleButton)
  EVT_RADIOBUTTON(IDC_STYLE_IMAGE2IMAGE, CMainWin::OnStyleButton)
  EVT_RADIOBUTTON(IDC_STYLE_SLIDESHOW, CMainWin::OnStyleButton)
  EVT_BUTTON(IDC_BACK_COLOR, CMainWin::OnBackColor)
  EVT_BUTTON(IDC_TEXT_COLOR, CMainWin::OnTextColor)
  EVT_CHECKBOX(IDC_DOMAIN_LOCK, CMainWin::OnDomainLock)
  EVT_BUTTON(IDC_EDIT_DOMAINS, CMainWin::OnEditDomains)
  EVT_BUTTON(IDC_BROWSE_TARGET, CMainWin::OnBrowseTarget)
  EVT_BUTTON(IDC_START, CMainWin::OnStart)
  EVT_BUTTON(IDC_STOP, CMainWin::OnStop)
  EVT_BUTTON(IDC_ABOUT, CMainWin::OnAbout)
  EVT_BUTTON(IDC_CLOSE, CMainWin::OnCloseButton)
  EVT_CLOSE(CMainWin::OnCloseWindow)
  EVT_CHAR_HOOK(CMainWin::OnCharHook)
wxEND_EVENT_TABLE()

CMainWin::CMainWin(wxWindow* parent, ISettingsStore& store, IUiServices& services,
                   const std::filesystem::path& program_folder)
    : wxDialog(parent, wxID_ANY, kProgramTitle, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxMINIMIZE_BOX | wxDIALOG_NO_PARENT),
      m_store(store), m_services(services), m_programFolder(program_folder) {
  SetIcons(GetAppIconBundle());
  FitFontToScreen();
  SetClientSize(DialogSize(this, kClientWidth, kClientHeight));
  CreateControls();
  LoadState();
}

CMainWin::~CMainWin() {
  // The position to which the window would be restored, then every option.
  const wxPoint corner = GetPosition();
  m_position.Left = corner.x;
  m_position.Top = corner.y;
  SaveSettings(m_store, m_settings, m_position);
  SaveDomainNames(m_store, m_domainNames);
}

// The layout is in dialog units of the window's font. Where the desktop's font would
// make the window taller than the screen's work area, a smaller size of that font is
// used, down to 7 points, so that Start and Close stay within reach.
void CMainWin::FitFontToScreen() {
  const int display = wxDisplay::GetFromWindow(this);
  const wxRect area =
      wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
  const int title_bar = FromDIP(40);
  wxFont font = GetFont();
  while (font.GetFractionalPointSize() > 7.0 &&
         DialogSize(this, kClientWidth, kClientHeight).y + title_bar > area.height) {
    font.SetFractionalPointSize(font.GetFractionalPointSize() - 0.5);
    SetFont(font);
  }
}

// The controls in tab order, each on its rectangle in dialog units.
void CMainWin::CreateControls() {
  auto place = [this](int x, int y, int w, int h) { return DialogRect(this, x, y, w, h); };
  auto label = [this, &place](const char* text, int x, int y, int w, int h) {
    const wxRect r = place(x, y, w, h);
    return new wxStaticText(this, wxID_STATIC, text, r.GetPosition(), r.GetSize(),
                            wxST_NO_AUTORESIZE);
  };
  auto button = [this, &place](int id, const char* text, int x, int y, int w, int h) {
    const wxRect r = place(x, y, w, h);
    return new wxButton(this, id, text, r.GetPosition(), r.GetSize());
  };
  auto edit = [this, &place](int id, int x, int y, int w, int h, long style = 0,
                             const wxValidator& validator = wxDefaultValidator) {
    const wxRect r = place(x, y, w, h);
    return new wxTextCtrl(this, id, wxEmptyString, r.GetPosition(), r.GetSize(), style, validator);
  };

  label("Image files to convert:", 8, 0, 76, 14);
  wxRect r = place(8, 16, 356, 102);
  m_listImages = new CImageListView(this, IDC_IMAGE_LIST, r.GetPosition(), r.GetSize(), m_images);
  m_buttonAddFiles = button(IDC_ADD_FILES, "Add file(s)", 372, 16, 66, 14);
  m_buttonAddFolder = button(IDC_ADD_FOLDER, "Add folder", 372, 32, 66, 14);
  m_buttonRemoveSelected = button(IDC_REMOVE_SELECTED, "Remove selected", 372, 52, 66, 14);
  m_buttonClearList = button(IDC_CLEAR_LIST, "Clear list", 372, 68, 66, 14);
  m_buttonMoveUp = button(IDC_MOVE_UP, "Move up", 372, 88, 66, 14);
  m_buttonMoveDown = button(IDC_MOVE_DOWN, "Move down", 372, 104, 66, 14);

  label("Presentation style:", 12, 122, 72, 10);
  for (int i = 0; i < kStyleCount; ++i) {
    r = place(kStyleX[i], 137, kStyleWidth[i], 10);
    m_radioStyles[i] = new wxRadioButton(this, IDC_STYLE_FIRST + i, StyleLabel(StyleOf(i)),
                                         r.GetPosition(), r.GetSize(), i == 0 ? wxRB_GROUP : 0);
    KeepNaturalHeight(m_radioStyles[i]);
  }
  r = place(14, 150, 414, 92);
  m_styleFrame = new wxStaticText(this, IDC_STYLE_FRAME, wxEmptyString, r.GetPosition(),
                                  r.GetSize(), wxST_NO_AUTORESIZE);
  // The style pages lie on the frame's rectangle and follow it in the tab order.
  m_pages[StoredValue(Style::TargetedLink)] = new CDlgStyleLink(this, r);
  m_pages[StoredValue(Style::Text2Image)] = new CDlgStyleText2Image(this, r);
  m_pages[StoredValue(Style::Image2Text)] = new CDlgStyleImage2Text(this, r);
  m_pages[StoredValue(Style::Image2Image)] = new CDlgStyleImage2Image(this, r);
  m_pages[StoredValue(Style::Slideshow)] = new CDlgStyleSlideshow(this, r);

  label("Loading message:", 12, 248, 60, 14);
  m_editMessageLoading = edit(IDC_MESSAGE_LOADING, 72, 248, 362, 14);
  label("Status message:", 12, 266, 60, 14);
  m_editMessageStatus = edit(IDC_MESSAGE_STATUS, 72, 266, 362, 14);
  label("Background color:", 12, 284, 60, 14);
  r = place(72, 284, 36, 14);
  m_buttonBackColor = new CColorButton(this, IDC_BACK_COLOR, r.GetPosition(), r.GetSize());
  label("Text color:", 12, 301, 36, 14);
  r = place(72, 301, 36, 14);
  m_buttonTextColor = new CColorButton(this, IDC_TEXT_COLOR, r.GetPosition(), r.GetSize());
  r = place(114, 285, 66, 30);
  m_preview = new CColorPreview(this, IDC_PREVIEW, r.GetPosition(), r.GetSize());
  label("Border width (pixels):", 192, 284, 72, 14);
  m_editBorderWidth =
      edit(IDC_BORDER_WIDTH, 264, 284, 54, 14, wxTE_RIGHT, wxTextValidator(wxFILTER_DIGITS));
  r = place(318, 284, 11, 14);
  m_spinBorderWidth = new CUpDown(this, IDC_BORDER_SPIN, r.GetPosition(), r.GetSize(),
                                  m_editBorderWidth, kBorderWidthMin, kBorderWidthMax);
  label("Watermark:", 192, 301, 72, 14);
  m_editWatermark = edit(IDC_WATERMARK, 264, 301, 170, 14);

  r = place(12, 325, 66, 12);
  m_checkDomainLock =
      new wxCheckBox(this, IDC_DOMAIN_LOCK, "Lock to domain:", r.GetPosition(), r.GetSize());
  KeepNaturalHeight(m_checkDomainLock);
  r = place(88, 325, 170, 14);
  m_comboDomain = new wxChoice(this, IDC_DOMAIN, r.GetPosition(), r.GetSize());
  m_buttonEditDomains = button(IDC_EDIT_DOMAINS, "Edit...", 262, 325, 44, 14);

  label("Target folder:", 12, 345, 48, 14);
  m_editTarget = edit(IDC_TARGET_FOLDER, 60, 345, 314, 14);
  m_buttonBrowse = button(IDC_BROWSE_TARGET, "Browse", 384, 345, 50, 14);
  r = place(60, 364, 122, 10);
  m_checkOpenTarget = new wxCheckBox(this, IDC_OPEN_TARGET, "Open target folder on completion",
                                     r.GetPosition(), r.GetSize());
  KeepNaturalHeight(m_checkOpenTarget);
  r = place(12, 380, 312, 14);
  m_progress = new wxGauge(this, IDC_PROGRESS, 100, r.GetPosition(), r.GetSize(),
                           wxGA_HORIZONTAL | wxGA_SMOOTH);
  m_buttonStart = button(IDC_START, "Start", 330, 380, 50, 14);
  m_buttonStop = button(IDC_STOP, "Stop", 386, 380, 50, 14);
  m_buttonAbout = button(IDC_ABOUT, "About", 12, 404, 50, 14);
  m_buttonClose = button(IDC_CLOSE, "Close", 386, 404, 50, 14);

  // Files dragged from the file manager: onto the list, or anywhere on the window.
  auto drop_target = [this] {
    return new CFileDropTarget(
        [this](const std::vector<std::string>& paths) { return AddDroppedPaths(paths); },
        [this] { return m_flags.running; });
  };
  m_listImages->SetDropTarget(drop_target());
  SetDropTarget(drop_target());
}

// Start-up, in order: page template, settings into the controls, window position,
// the style pages' fields and the domain list, the chosen style, the enabling.
void CMainWin::LoadState() {
  const DataFolderLookup data = FindDataFolder(m_programFolder);
  if (data.folder.empty()) {
    m_dataFilesMissing = DescribeMissingDataFiles(data);
  } else {
    m_programFolder = data.folder;
    m_templateLoaded = TryLoadPageTemplate(m_programFolder / kPageTemplateFileName, m_pageTemplate);
  }

  LoadSettings(m_store, m_settings, m_position);
  m_domainNames = LoadDomainNames(m_store);

  m_editMessageLoading->ChangeValue(ToWx(m_settings.MessageLoading));
  m_editMessageStatus->ChangeValue(ToWx(m_settings.MessageStatus));
  m_buttonBackColor->SetColor(m_settings.BackColor);
  m_buttonTextColor->SetColor(m_settings.TextColor);
  UpdatePreview();
  m_editBorderWidth->ChangeValue(wxString::Format("%d", m_settings.BorderWidth));
  m_editWatermark->ChangeValue(ToWx(m_settings.Watermark));
  m_checkDomainLock->SetValue(m_settings.DomainLock);
  m_editTarget->ChangeValue(ToWx(m_settings.Target));
  m_checkOpenTarget->SetValue(m_settings.OpenTargetFolderOnCompletion);

  // A stored corner is used only when it lies on one of the screens: a position saved
  // with a second monitor that is gone would open the window out of reach.
  if (HasStoredPosition(m_position) &&
      wxDisplay::GetFromPoint(wxPoint(m_position.Left, m_position.Top)) != wxNOT_FOUND) {
    Move(m_position.Left, m_position.Top);
  } else {
    CentreOnScreen();
  }

  SetTitle(kProgramTitle);
  for (CStylePage* page : m_pages) page->UpdateFromOwner();
  FillDomainList();

  const int style = m_settings.PresentationStyle;
  // A radio button can only be checked; checking one unchecks the others of its group.
  if (IsValidStyle(style)) m_radioStyles[static_cast<std::size_t>(style)]->SetValue(true);
  for (int i = 0; i < kStyleCount; ++i) m_pages[i]->Show(i == style);
  UpdateControls();
}

CStylePage* CMainWin::StylePage(int style) const {
  return IsValidStyle(style) ? m_pages[static_cast<std::size_t>(style)] : nullptr;
}

void CMainWin::FillDomainList() {
  m_domainList = BuildDomainList(m_domainNames);
  wxArrayString entries;
  for (const std::string& name : m_domainList) entries.Add(ToWx(name));
  m_comboDomain->Set(entries);
  CorrectDomainIndex(m_settings, m_domainList.size());
  m_comboDomain->SetSelection(m_settings.Domain >= 0 ? m_settings.Domain : wxNOT_FOUND);
}

void CMainWin::SetDomainNames(const std::vector<std::string>& names) {
  const int selected = m_comboDomain->GetSelection();
  const std::string chosen =
      selected >= 0 && static_cast<std::size_t>(selected) < m_domainList.size()
          ? m_domainList[selected]
          : "";
  m_domainNames = names;
  m_domainList = BuildDomainList(m_domainNames);
  wxArrayString entries;
  for (const std::string& name : m_domainList) entries.Add(ToWx(name));
  m_comboDomain->Set(entries);
  // The same name stays chosen; when it was removed, "localhost" (always the last entry).
  int index = selected >= 0 ? static_cast<int>(m_domainList.size()) - 1 : wxNOT_FOUND;
  const auto found = std::find(m_domainList.begin(), m_domainList.end(), chosen);
  if (!chosen.empty() && found != m_domainList.end())
    index = static_cast<int>(found - m_domainList.begin());
  m_comboDomain->SetSelection(index);
  // The record follows, so that what is saved (and what a run locks to) is the name shown.
  m_settings.Domain = index;
}

void CMainWin::UpdatePreview() { m_preview->SetColors(m_settings.BackColor, m_settings.TextColor); }

// ---------------------------------------------------------------------------------
// List commands

std::vector<int> CMainWin::SelectedRows() const { return m_listImages->SelectedRows(); }

int CMainWin::FirstSelectedRow() const {
  return static_cast<int>(m_listImages->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
}

void CMainWin::RefreshImageList(int select) { m_listImages->ShowRows(select); }

void CMainWin::OnAddFiles(wxCommandEvent&) {
  std::vector<std::string> paths;
  if (!m_services.ChooseImageFiles(this, paths)) return;
  wxBusyCursor wait;
  for (const std::string& path : paths) m_images.AddImageFile(path);
  RefreshImageList(static_cast<int>(m_images.size()) - 1);
}

void CMainWin::AddStartupPaths(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  const std::vector<InputProblem> problems = m_images.AddPaths(paths);
  RefreshImageList(static_cast<int>(m_images.size()) - 1);
  if (problems.empty()) return;
  std::string text = "These could not be added to the list:\n";
  for (const InputProblem& p : problems) text += "\n" + p.input + ": " + p.reason;
  ShowMessage(text, MessageIcon::Warning);
}

bool CMainWin::AddDroppedPaths(const std::vector<std::string>& paths) {
  if (m_flags.running) return false;
  std::vector<std::string> accepted;
  for (const std::string& path : paths) {
    std::error_code ec;
    if (std::filesystem::is_directory(PathFromUtf8(path), ec) || IsAcceptedImageFile(path)) {
      accepted.push_back(path);
    }
  }
  const std::size_t before = m_images.size();
  if (accepted.empty()) return false;
  wxBusyCursor wait;
  m_images.AddPaths(accepted);  // a name that vanished since the drag began is passed over
  RefreshImageList(static_cast<int>(m_images.size()) - 1);
  return m_images.size() > before;
}

void CMainWin::OnAddFolder(wxCommandEvent&) {
  std::string folder;
  if (!BrowseForFolder(folder)) return;
  wxBusyCursor wait;
  m_images.AddFolder(PathFromUtf8(folder));
  RefreshImageList(static_cast<int>(m_images.size()) - 1);
}

void CMainWin::OnRemoveSelected(wxCommandEvent&) {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) return;
  m_images.RemoveSelected(rows);
  RefreshImageList(-1);
}

void CMainWin::OnClearList(wxCommandEvent&) {
  if (m_images.empty()) return;
  if (!m_services.AskYesNo(this, "Remove all files from list?", false)) return;
  m_images.Clear();
  RefreshImageList(-1);
}

void CMainWin::OnMoveUp(wxCommandEvent&) {
  const int row = FirstSelectedRow();
  if (row < 0) return;
  const int moved = m_images.MoveUp(row);
  if (moved >= 0) RefreshImageList(moved);
}

void CMainWin::OnMoveDown(wxCommandEvent&) {
  const int row = FirstSelectedRow();
  if (row < 0) return;
  const int moved = m_images.MoveDown(row);
  if (moved >= 0) RefreshImageList(moved);
}

void CMainWin::OnListActivated(wxListEvent&) {
  const int row = FirstSelectedRow();
  if (row < 0 || static_cast<std::size_t>(row) >= m_images.size()) return;
  m_services.OpenWithDefaultProgram(m_images[static_cast<std::size_t>(row)].GetFullPath());
}

// ---------------------------------------------------------------------------------
// Style, colours, domain, target

void CMainWin::SelectStyle(int style) {
  if (!IsValidStyle(style) || style == m_settings.PresentationStyle) return;
  m_settings.PresentationStyle = style;
  m_radioStyles[static_cast<std::size_t>(style)]->SetValue(true);
  for (int i = 0; i < kStyleCount; ++i) m_pages[i]->Show(i == style);
}

void CMainWin::OnStyleButton(wxCommandEvent& event) {
  SelectStyle(event.GetId() - IDC_STYLE_FIRST);
}

void CMainWin::OnBackColor(wxCommandEvent&) {
  std::uint32_t colour = m_buttonBackColor->GetColor();
  if (m_services.ChooseColour(this, colour)) m_buttonBackColor->SetColor(colour);
  m_settings.BackColor = m_buttonBackColor->GetColor();
  UpdatePreview();
}

void CMainWin::OnTextColor(wxCommandEvent&) {
  std::uint32_t colour = m_buttonTextColor->GetColor();
  if (m_services.ChooseColour(this, colour)) m_buttonTextColor->SetColor(colour);
  m_settings.TextColor = m_buttonTextColor->GetColor();
  UpdatePreview();
}

void CMainWin::OnDomainLock(wxCommandEvent&) {
  m_settings.DomainLock = m_checkDomainLock->IsChecked();
  UpdateControls();
}

void CMainWin::OnEditDomains(wxCommandEvent&) {
  CDlgDomains dialog(this, m_services, m_domainNames);
  if (m_services.ShowModal(dialog) == wxID_OK) SetDomainNames(dialog.GetNames());
}

bool CMainWin::BrowseForFolder(std::string& path) { return m_services.BrowseForFolder(this, path); }

void CMainWin::OnBrowseTarget(wxCommandEvent&) {
  m_settings.Target = TrimText(FromWx(m_editTarget->GetValue()));
  std::string path = m_settings.Target;
  if (!BrowseForFolder(path)) return;
  m_settings.Target = path;
  m_editTarget->ChangeValue(ToWx(path));
}

// ---------------------------------------------------------------------------------
// The run

void CMainWin::OnStart(wxCommandEvent&) { StartConversion(); }

void CMainWin::StartConversion() {
  if (m_flags.running) return;
  if (!m_templateLoaded) {
    // Every page would be written empty and the run would still report success.
    if (!m_dataFilesMissing.empty()) {
      ShowMessage("The converter " + m_dataFilesMissing +
                      ".\n\nPages cannot be written without them. Please reinstall the converter.",
                  MessageIcon::Error);
    } else {
      ShowMessage("The page template could not be read:\n\n" +
                      PathToUtf8(m_programFolder / kPageTemplateFileName) +
                      "\n\nPages cannot be written without it. Please reinstall the converter.",
                  MessageIcon::Error);
    }
    return;
  }
  ConversionInput input{m_settings, m_images, m_pageTemplate, m_programFolder, m_flags};
  try {
    vg::StartConversion(input, *this);
  } catch (const std::exception& e) {
    // The run ends its own failures in order; this only keeps an unexpected one from
    // leaving the window disabled.
    m_flags.running = false;
    UpdateControls();
    ShowMessage(
        std::string("The conversion stopped because of an unexpected error:\n\n") + e.what(),
        MessageIcon::Error);
  }
}

void CMainWin::OnStop(wxCommandEvent&) { m_flags.stop_requested = true; }

bool CMainWin::CheckCurrentStylePage() {
  CStylePage* page = StylePage(m_settings.PresentationStyle);
  return page == nullptr || page->SaveAndValidate();
}

bool CMainWin::ReportStyleCheck(const StyleCheck& check, wxWindow* focus) {
  if (check.ok) return true;
  ShowMessage(check.message, MessageIcon::Error);
  if (focus != nullptr) focus->SetFocus();
  return false;
}

void CMainWin::CollectOptions() {
  const std::string loading = FromWx(m_editMessageLoading->GetValue());
  const std::string status = FromWx(m_editMessageStatus->GetValue());
  const std::string border = FromWx(m_editBorderWidth->GetValue());
  const std::string target = FromWx(m_editTarget->GetValue());
  const std::string watermark = FromWx(m_editWatermark->GetValue());
  OptionFields fields;
  fields.loading_message = loading;
  fields.status_message = status;
  fields.border_width = border;
  fields.open_target_folder = m_checkOpenTarget->IsChecked();
  fields.domain_index = m_comboDomain->GetSelection();
  fields.target_folder = target;
  fields.watermark = watermark;
  CollectOptionFields(m_settings, fields);
}

std::string CMainWin::GetDomainKey() { return vg::GetDomainKey(m_settings, m_domainList); }

bool CMainWin::AskYesNo(const std::string& text) { return m_services.AskYesNo(this, text, true); }

void CMainWin::UpdateControls() {
  const bool idle = !m_flags.running;
  wxWindow* const inputs[] = {m_listImages,           m_buttonAddFiles,     m_buttonAddFolder,
                              m_buttonRemoveSelected, m_buttonClearList,    m_buttonMoveUp,
                              m_buttonMoveDown,       m_editMessageLoading, m_editMessageStatus,
                              m_buttonBackColor,      m_buttonTextColor,    m_editBorderWidth,
                              m_editWatermark,        m_checkDomainLock,    m_buttonEditDomains,
                              m_editTarget,           m_buttonBrowse,       m_checkOpenTarget,
                              m_buttonStart,          m_buttonAbout,        m_buttonClose};
  for (wxWindow* w : inputs) w->Enable(idle);
  for (wxRadioButton* r : m_radioStyles) r->Enable(idle);
  for (CStylePage* page : m_pages) page->Enable(idle);
  m_comboDomain->Enable(idle && m_settings.DomainLock);
  m_buttonStop->Enable(m_flags.running);
  m_spinBorderWidth->Refresh();  // drawn greyed while its box is disabled
}

void CMainWin::SetProgressRange(int maximum) { m_progress->SetRange(std::max(1, maximum)); }

void CMainWin::SetProgressPosition(int position) {
  m_progress->SetValue(std::clamp(position, 0, m_progress->GetRange()));
}

void CMainWin::PumpMessages() {
  // Everything waiting is handled: a click on Stop, painting, the (ignored) close
  // command; every other input is disabled while the run goes on.
  if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_ALL);
  wxTheApp->ProcessIdle();
}

void CMainWin::ShowMessage(const std::string& text, MessageIcon icon) {
  m_services.ShowMessage(this, text, icon);
}

void CMainWin::OpenFolder(const std::string& folder) { m_services.OpenFolder(folder); }

// ---------------------------------------------------------------------------------
// About, Close, keys

void CMainWin::OnAbout(wxCommandEvent&) {
  CAboutDlg about(this);
  m_services.ShowModal(about);
}

void CMainWin::CloseWindow() {
  if (IsModal()) {
    EndModal(0);
  } else {
    Hide();
  }
}

void CMainWin::OnCloseButton(wxCommandEvent&) {
  if (!m_flags.running) CloseWindow();
}

void CMainWin::OnCloseWindow(wxCloseEvent& event) {
  if (m_flags.running && event.CanVeto()) {
    event.Veto();
    return;
  }
  CloseWindow();
}

void CMainWin::OnCharHook(wxKeyEvent& event) {
  switch (event.GetKeyCode()) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
    case WXK_ESCAPE: return;  // swallowed: neither closes the window nor presses a button
    default: event.Skip();
  }
}

}  // namespace vg::ui
