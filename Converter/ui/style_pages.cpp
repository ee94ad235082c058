#include "ui/style_pages.h"

#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "ui/dialog_units.h"
#include "ui/main_win.h"
#include "ui/ui_ids.h"
#include "ui/ui_services.h"
#include "ui/up_down.h"

namespace vg::ui {
namespace {

const char* const kDescriptionLink =
    "When the user clicks on the protected image they will be taken to a web page of your "
    "choice. You can also choose whether to open the web page in a new browser window, or to "
    "replace the protected image page with the chosen web page.";
const char* const kDescriptionText2Image =
    "The following text will be displayed until the mouse is moved into the image area, at "
    "which point the image will be displayed.";
const char* const kDescriptionImage2Text =
    "The following text will be displayed instead of the image when the mouse is moved over the "
    "image. You could enter the artist name and copyright details here, for example.";
const char* const kDescriptionImage2Image =
    "Choose the image to be displayed (swapped in) when the mouse is moved over the original "
    "image. Note that the images should be the same size and proportion to avoid distortion.";
const char* const kDescriptionSlideshow =
    "Use <Move up> and <Move down> buttons to adjust the order. You can adjust the delay between "
    "images. Note that images should be the same size and proportion to avoid distortion.";

const char* const kFrameLabels[kLinkFrameCount] = {
    "Same browser window, current frame (_self)",
    "Same browser window, top frame (_top)",
    "New browser window (_blank)",
    "Other:",
};

// Page layout in dialog units: the description over the full width, then a label
// column and the controls.
constexpr int kPageWidth = 410;
constexpr int kDescriptionHeight = 26;
constexpr int kRowY = 30;
constexpr int kBoxHeight = 14;

}  // namespace

// ---------------------------------------------------------------------------------
// CStylePage

CStylePage::CStylePage(CMainWin* owner, const wxRect& rect, const char* description)
    : wxPanel(owner, wxID_ANY, rect.GetPosition(), rect.GetSize(), wxTAB_TRAVERSAL | wxBORDER_NONE),
      m_pOwner(owner) {
  const wxRect r = Place(0, 0, kPageWidth, kDescriptionHeight);
  m_description = new wxStaticText(this, IDC_PAGE_DESCRIPTION, description, r.GetPosition(),
                                   r.GetSize(), wxST_NO_AUTORESIZE);
  m_description->Wrap(r.width);
}

wxRect CStylePage::Place(int x, int y, int width, int height) const {
  return DialogRect(this, x, y, width, height);
}

wxStaticText* CStylePage::AddLabel(const char* text, int x, int y, int width, int height) {
  const wxRect r = Place(x, y, width, height);
  return new wxStaticText(this, wxID_STATIC, text, r.GetPosition(), r.GetSize(),
                          wxST_NO_AUTORESIZE);
}

// ---------------------------------------------------------------------------------
// Targeted link

CDlgStyleLink::CDlgStyleLink(CMainWin* owner, const wxRect& rect)
    : CStylePage(owner, rect, kDescriptionLink) {
  AddLabel("Link:", 0, kRowY, 36, kBoxHeight);
  wxRect r = Place(40, kRowY, 370, kBoxHeight);
  m_editLink = new wxTextCtrl(this, IDC_LINK, wxEmptyString, r.GetPosition(), r.GetSize());

  AddLabel("Frame:", 0, 48, 36, 10);
  const int positions[kLinkFrameCount][3] = {
      {40, 48, 180}, {40, 62, 180}, {230, 48, 170}, {230, 62, 40}};
  for (int i = 0; i < kLinkFrameCount; ++i) {
    r = Place(positions[i][0], positions[i][1], positions[i][2], 10);
    m_frameButtons[i] = new wxRadioButton(this, IDC_FRAME_FIRST + i, kFrameLabels[i],
                                          r.GetPosition(), r.GetSize(), i == 0 ? wxRB_GROUP : 0);
    KeepNaturalHeight(m_frameButtons[i]);
    m_frameButtons[i]->Bind(wxEVT_RADIOBUTTON, &CDlgStyleLink::OnFrameButton, this);
  }
  r = Place(272, 60, 138, kBoxHeight);
  m_editOtherFrame =
      new wxTextCtrl(this, IDC_OTHER_FRAME, wxEmptyString, r.GetPosition(), r.GetSize());
  m_editOtherFrame->Enable(FrameOf(m_pOwner->Settings().Frame) == LinkFrame::Other);
}

void CDlgStyleLink::UpdateFromOwner() {
  const ConverterSettings& s = m_pOwner->Settings();
  m_editLink->ChangeValue(ToWx(s.Link));
  if (IsValidFrame(s.Frame)) m_frameButtons[s.Frame]->SetValue(true);
  m_editOtherFrame->ChangeValue(ToWx(s.OtherFrame));
  m_editOtherFrame->Enable(FrameOf(s.Frame) == LinkFrame::Other);
}

bool CDlgStyleLink::SaveAndValidate() {
  const StyleCheck check = SaveAndValidateLink(m_pOwner->Settings(), FromWx(m_editLink->GetValue()),
                                               FromWx(m_editOtherFrame->GetValue()));
  return m_pOwner->ReportStyleCheck(
      check, check.focus == StyleCheck::Focus::FrameName ? m_editOtherFrame : nullptr);
}

void CDlgStyleLink::OnFrameButton(wxCommandEvent& event) {
  const bool other = ChooseLinkTarget(m_pOwner->Settings(), event.GetId() - IDC_FRAME_FIRST);
  m_editOtherFrame->Enable(other);
}

// ---------------------------------------------------------------------------------
// Text to image, Image to text

CDlgStyleTextPage::CDlgStyleTextPage(CMainWin* owner, const wxRect& rect, const char* description)
    : CStylePage(owner, rect, description) {
  AddLabel("Text:", 0, kRowY, 36, kBoxHeight);
  const wxRect r = Place(40, kRowY, 370, kBoxHeight);
  m_editText = new wxTextCtrl(this, IDC_MESSAGE_TEXT, wxEmptyString, r.GetPosition(), r.GetSize());
}

CDlgStyleText2Image::CDlgStyleText2Image(CMainWin* owner, const wxRect& rect)
    : CDlgStyleTextPage(owner, rect, kDescriptionText2Image) {}

void CDlgStyleText2Image::UpdateFromOwner() {
  m_editText->ChangeValue(ToWx(m_pOwner->Settings().Text2ImageMessage));
}

bool CDlgStyleText2Image::SaveAndValidate() {
  return m_pOwner->ReportStyleCheck(
      SaveAndValidateText2Image(m_pOwner->Settings(), FromWx(m_editText->GetValue())), m_editText);
}

CDlgStyleImage2Text::CDlgStyleImage2Text(CMainWin* owner, const wxRect& rect)
    : CDlgStyleTextPage(owner, rect, kDescriptionImage2Text) {}

void CDlgStyleImage2Text::UpdateFromOwner() {
  m_editText->ChangeValue(ToWx(m_pOwner->Settings().Image2TextMessage));
}

bool CDlgStyleImage2Text::SaveAndValidate() {
  return m_pOwner->ReportStyleCheck(
      SaveAndValidateImage2Text(m_pOwner->Settings(), FromWx(m_editText->GetValue())), m_editText);
}

// ---------------------------------------------------------------------------------
// Image to image

CDlgStyleImage2Image::CDlgStyleImage2Image(CMainWin* owner, const wxRect& rect)
    : CStylePage(owner, rect, kDescriptionImage2Image) {
  AddLabel("Image file:", 0, kRowY, 40, kBoxHeight);
  wxRect r = Place(44, kRowY, 250, kBoxHeight);
  m_editFile = new wxTextCtrl(this, IDC_IMAGE2_FILE, wxEmptyString, r.GetPosition(), r.GetSize());
  m_editFile->Disable();
  r = Place(302, kRowY, 50, kBoxHeight);
  m_buttonBrowse = new wxButton(this, IDC_IMAGE2_BROWSE, "Browse", r.GetPosition(), r.GetSize());
  r = Place(358, kRowY, 50, kBoxHeight);
  m_buttonPreview = new wxButton(this, IDC_IMAGE2_PREVIEW, "Preview", r.GetPosition(), r.GetSize());
  // Handled here, so the clicks never travel on to the main window, whose own
  // buttons carry the same ids.
  m_buttonBrowse->Bind(wxEVT_BUTTON, &CDlgStyleImage2Image::OnBrowse, this);
  m_buttonPreview->Bind(wxEVT_BUTTON, &CDlgStyleImage2Image::OnPreview, this);
}

void CDlgStyleImage2Image::UpdateFromOwner() {
  m_editFile->ChangeValue(ToWx(m_pOwner->Settings().Image2ImageFile));
}

void CDlgStyleImage2Image::OnBrowse(wxCommandEvent&) {
  std::string path = m_pOwner->Settings().Image2ImageFile;
  if (!m_pOwner->Services().ChooseImageFile(m_pOwner, path)) return;
  m_pOwner->Settings().Image2ImageFile = path;
  m_editFile->ChangeValue(ToWx(path));
}

void CDlgStyleImage2Image::OnPreview(wxCommandEvent&) {
  const std::string& path = m_pOwner->Settings().Image2ImageFile;
  if (!path.empty()) m_pOwner->Services().OpenWithDefaultProgram(path);
}

// ---------------------------------------------------------------------------------
// Slideshow

CDlgStyleSlideshow::CDlgStyleSlideshow(CMainWin* owner, const wxRect& rect)
    : CStylePage(owner, rect, kDescriptionSlideshow) {
  AddLabel("Delay (ms):", 0, kRowY, 40, kBoxHeight);
  wxRect r = Place(44, kRowY, 50, kBoxHeight);
  m_editDelay = new wxTextCtrl(this, IDC_DELAY, wxEmptyString, r.GetPosition(), r.GetSize(),
                               wxTE_RIGHT, wxTextValidator(wxFILTER_DIGITS));
  r = Place(94, kRowY, 11, kBoxHeight);
  m_spinDelay =
      new CUpDown(this, IDC_DELAY_SPIN, r.GetPosition(), r.GetSize(), m_editDelay, 1, 60000);
}

void CDlgStyleSlideshow::UpdateFromOwner() {
  m_editDelay->ChangeValue(wxString::Format("%d", m_pOwner->Settings().SlideshowDelay));
}

bool CDlgStyleSlideshow::SaveAndValidate() {
  const StyleCheck check =
      SaveAndValidateSlideshow(m_pOwner->Settings(), FromWx(m_editDelay->GetValue()));
  return m_pOwner->ReportStyleCheck(
      check, check.focus == StyleCheck::Focus::Delay ? m_editDelay : nullptr);
}

}  // namespace vg::ui
