// A push button that shows a colour: a raised button face with a framed swatch.
//
// It paints itself entirely (face, two-ring 3D edge, swatch, focus rectangle), so it
// looks the same on every platform, and sends wxEVT_BUTTON when clicked with the
// mouse or pressed with the space bar. The colour is 0x00BBGGRR; the top byte is
// ignored when painting.
#pragma once

#include <cstdint>

#include <wx/control.h>

namespace vg::ui {

class CColorButton : public wxControl {
 public:
  // Paint states, combined with |.
  enum DrawState : int {
    kDrawNormal = 0,
    kDrawPressed = 1,
    kDrawDisabled = 2,
    kDrawFocused = 4,
  };

  CColorButton(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  // Repaints the button at once when the colour changes; does nothing otherwise.
  void SetColor(std::uint32_t colour);
  std::uint32_t GetColor() const { return m_colour; }
  bool IsPressed() const { return m_pressed && m_pointerInside; }

  bool Enable(bool enable = true) override;
  bool AcceptsFocus() const override { return IsEnabled(); }

  // Paints a colour button of the given state on `rect` of `dc`. `window` supplies
  // the platform's focus rectangle.
  static void Draw(wxWindow* window, wxDC& dc, const wxRect& rect, std::uint32_t colour, int state);

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnKeyDown(wxKeyEvent& event);
  void OnKeyUp(wxKeyEvent& event);
  void OnFocusChange(wxFocusEvent& event);
  void SendClick();
  wxSize DoGetBestSize() const override;

  std::uint32_t m_colour = 0;
  bool m_pressed = false;       // mouse button or space bar held down on the button
  bool m_pointerInside = true;  // while the mouse holds it: the pointer is over it
};

}  // namespace vg::ui
