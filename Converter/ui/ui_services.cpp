#include "ui/ui_services.h"

#include <wx/colordlg.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "version.h"

namespace vg::ui {
namespace {

// The extensions the image list accepts (IsAcceptedImageFile), in the filter's order.
const char* const kImageExtensions[] = {".gif", ".jpg", ".jpeg", ".png", ".tif", ".webp", ".avif"};

long IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error: return wxICON_ERROR;
    case MessageIcon::Warning: return wxICON_WARNING;
    case MessageIcon::Information: return wxICON_INFORMATION;
  }
  return wxICON_INFORMATION;
}

}  // namespace

wxString ImageFileFilter() {
  wxString patterns;
  for (const char* ext : kImageExtensions) {
    if (!patterns.empty()) patterns += ";";
    patterns += wxString("*") + ext;
  }
  // wxFileSelectorDefaultWildcardStr is "*.*" on Windows and "*" elsewhere, where
  // "*.*" would hide files without a dot in their name.
  return "Image files|" + patterns + "|All files|" + wxFileSelectorDefaultWildcardStr;
}

wxColour ToWxColour(std::uint32_t colour) {
  return wxColour(static_cast<unsigned char>(colour & 0xFF),
                  static_cast<unsigned char>((colour >> 8) & 0xFF),
                  static_cast<unsigned char>((colour >> 16) & 0xFF));
}

std::uint32_t FromWxColour(const wxColour& colour) {
  return static_cast<std::uint32_t>(colour.Red()) |
         (static_cast<std::uint32_t>(colour.Green()) << 8) |
         (static_cast<std::uint32_t>(colour.Blue()) << 16);
}

CDesktopServices::CDesktopServices() {
  m_colourData.SetChooseFull(true);
  for (int i = 0; i < static_cast<int>(wxColourData::NUM_CUSTOM); ++i) {
    m_colourData.SetCustomColour(i, *wxWHITE);
  }
}

void CDesktopServices::ShowMessage(wxWindow* parent, const std::string& text, MessageIcon icon) {
  wxMessageDialog dialog(parent, ToWx(text), kProgramTitle, wxOK | IconStyle(icon));
  dialog.ShowModal();
}

bool CDesktopServices::AskYesNo(wxWindow* parent, const std::string& text, bool yes_is_default) {
  wxMessageDialog dialog(
      parent, ToWx(text), kProgramTitle,
      wxYES_NO | wxICON_QUESTION | (yes_is_default ? wxYES_DEFAULT : wxNO_DEFAULT));
  return dialog.ShowModal() == wxID_YES;
}

bool CDesktopServices::ChooseColour(wxWindow* parent, std::uint32_t& colour) {
  m_colourData.SetColour(ToWxColour(colour));
  wxColourDialog dialog(parent, &m_colourData);
  const bool ok = dialog.ShowModal() == wxID_OK;
  // The custom colours are kept whether the user confirmed or not.
  m_colourData = dialog.GetColourData();
  if (!ok) return false;
  colour = FromWxColour(m_colourData.GetColour());
  return true;
}

bool CDesktopServices::BrowseForFolder(wxWindow* parent, std::string& path) {
  wxDirDialog dialog(parent, "Choose a folder", ToWx(path),
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return false;
  path = FromWx(dialog.GetPath());
  return true;
}

bool CDesktopServices::ChooseImageFiles(wxWindow* parent, std::vector<std::string>& paths) {
  wxFileDialog dialog(parent, "Add image files", wxEmptyString, wxEmptyString, ImageFileFilter(),
                      wxFD_OPEN | wxFD_MULTIPLE | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return false;
  wxArrayString chosen;
  dialog.GetPaths(chosen);
  paths.clear();
  for (const wxString& p : chosen) paths.push_back(FromWx(p));
  return true;
}

bool CDesktopServices::ChooseImageFile(wxWindow* parent, std::string& path) {
  wxFileName current(ToWx(path));
  wxFileDialog dialog(parent, "Choose an image file", current.GetPath(), current.GetFullName(),
                      ImageFileFilter(), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return false;
  path = FromWx(dialog.GetPath());
  return true;
}

int CDesktopServices::ShowModal(wxDialog& dialog) { return dialog.ShowModal(); }

void CDesktopServices::OpenWithDefaultProgram(const std::string& path) {
  wxLaunchDefaultApplication(ToWx(path));
}

void CDesktopServices::OpenFolder(const std::string& folder) {
  wxLaunchDefaultApplication(ToWx(folder));
}

}  // namespace vg::ui
