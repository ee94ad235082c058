// Placing controls on rectangles given in dialog units.
//
// A dialog unit is a quarter of the average character width and an eighth of the
// character height of the window's font, so a layout written in dialog units grows
// with the font and with the screen's resolution. The corners are converted one by
// one, as the Windows dialog manager does, so that controls which touch in dialog
// units also touch in pixels.
#pragma once

#include <wx/gdicmn.h>
#include <wx/window.h>

namespace vg::ui {

inline wxRect DialogRect(const wxWindow* parent, int x, int y, int width, int height) {
  const wxPoint top_left = parent->ConvertDialogToPixels(wxPoint(x, y));
  const wxPoint bottom_right = parent->ConvertDialogToPixels(wxPoint(x + width, y + height));
  return wxRect(top_left, wxSize(bottom_right.x - top_left.x, bottom_right.y - top_left.y));
}

inline wxSize DialogSize(const wxWindow* window, int width, int height) {
  return DialogRect(window, 0, 0, width, height).GetSize();
}

// GTK draws check boxes and radio buttons with a fixed-size indicator that can be
// taller than a Windows layout's row; such a control grows to its natural height,
// centred on its row, instead of being squeezed.
inline void KeepNaturalHeight(wxWindow* control) {
  const wxRect r = control->GetRect();
  const int natural = control->GetBestSize().y;
  if (natural <= r.height) return;
  control->SetSize(r.x, r.y - (natural - r.height) / 2, r.width, natural);
}

// A direct child of `parent` with the given id, or nullptr. Ids repeat between a
// window and its style pages, so a recursive search could find the wrong control.
inline wxWindow* FindChildById(const wxWindow* parent, int id) {
  for (wxWindow* child : parent->GetChildren()) {
    if (child->GetId() == id) return child;
  }
  return nullptr;
}

}  // namespace vg::ui
