// A small up-down control attached to a number box, as Windows' up-down control
// with a buddy: the arrows (and the arrow keys in the box) read the box, step the
// number by one within the range and write it back in decimal without grouping.
//
// Only the arrows are limited to the range: whatever is typed into the box stays
// as typed until the arrows are used, so a value beyond the range can still be
// entered by hand. Painted by itself, since GTK's spin button has no narrow form.
#pragma once

#include <wx/control.h>
#include <wx/timer.h>

class wxTextCtrl;

namespace vg::ui {

class CUpDown : public wxControl {
 public:
  CUpDown(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
          wxTextCtrl* buddy, int minimum, int maximum);

  void SetRange(int minimum, int maximum);
  int GetMin() const { return m_min; }
  int GetMax() const { return m_max; }
  // One step up (+1) or down (-1), as a click on an arrow does.
  void Step(int direction);

  bool AcceptsFocus() const override { return false; }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnTimer(wxTimerEvent& event);
  void OnBuddyKey(wxKeyEvent& event);
  void StopRepeat();

  wxTextCtrl* m_buddy;
  int m_min;
  int m_max;
  int m_held = 0;  // +1 upper arrow held, -1 lower arrow held, 0 none
  wxTimer m_repeat;
};

}  // namespace vg::ui
