// The five style pages: borderless child panels that the main window shows, one at
// a time, in its style frame. Each page edits its own style's options, which live
// in the main window's settings record; the checks behind "Start" are in
// pages/style_checks.h, and the pages only hand them the texts of their boxes.
#pragma once

#include <wx/panel.h>

#include "pages/style_checks.h"

class wxButton;
class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

namespace vg::ui {

class CMainWin;
class CUpDown;

// What the five pages share: the owner, the descriptive text at the top and the
// placing of controls in dialog units.
class CStylePage : public wxPanel {
 public:
  CStylePage(CMainWin* owner, const wxRect& rect, const char* description);

  // Shows the page's options from the owner's settings.
  virtual void UpdateFromOwner() = 0;
  // Stores the page's boxes into the settings and checks them; false, after a
  // message, when Start must not go on. Pages without a check return true.
  virtual bool SaveAndValidate() { return true; }

  CMainWin* m_pOwner;  // not owned

 protected:
  wxRect Place(int x, int y, int width, int height) const;
  wxStaticText* AddLabel(const char* text, int x, int y, int width, int height);

  wxStaticText* m_description;
};

class CDlgStyleLink : public CStylePage {
 public:
  CDlgStyleLink(CMainWin* owner, const wxRect& rect);
  void UpdateFromOwner() override;
  bool SaveAndValidate() override;

  wxTextCtrl* m_editLink;
  wxRadioButton* m_frameButtons[kLinkFrameCount];
  wxTextCtrl* m_editOtherFrame;

 private:
  void OnFrameButton(wxCommandEvent& event);
};

// Text to image and Image to text: one message box, differing in the option it fills.
class CDlgStyleTextPage : public CStylePage {
 public:
  CDlgStyleTextPage(CMainWin* owner, const wxRect& rect, const char* description);
  wxTextCtrl* m_editText;
};

class CDlgStyleText2Image : public CDlgStyleTextPage {
 public:
  CDlgStyleText2Image(CMainWin* owner, const wxRect& rect);
  void UpdateFromOwner() override;
  bool SaveAndValidate() override;
};

class CDlgStyleImage2Text : public CDlgStyleTextPage {
 public:
  CDlgStyleImage2Text(CMainWin* owner, const wxRect& rect);
  void UpdateFromOwner() override;
  bool SaveAndValidate() override;
};

class CDlgStyleImage2Image : public CStylePage {
 public:
  CDlgStyleImage2Image(CMainWin* owner, const wxRect& rect);
  void UpdateFromOwner() override;

  wxTextCtrl* m_editFile;  // always disabled: the file is chosen with Browse
  wxButton* m_buttonBrowse;
  wxButton* m_buttonPreview;

 private:
  void OnBrowse(wxCommandEvent& event);
  void OnPreview(wxCommandEvent& event);
};

class CDlgStyleSlideshow : public CStylePage {
 public:
  CDlgStyleSlideshow(CMainWin* owner, const wxRect& rect);
  void UpdateFromOwner() override;
  bool SaveAndValidate() override;

  wxTextCtrl* m_editDelay;
  CUpDown* m_spinDelay;
};

}  // namespace vg::ui
