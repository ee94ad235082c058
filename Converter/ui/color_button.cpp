#include "ui/color_button.h"

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include "ui/ui_services.h"

namespace vg::ui {
namespace {

// One-pixel lines are filled as rectangles: an antialiasing device context would
// spread a stroked line over two pixels.
void FillRect(wxDC& dc, int x, int y, int width, int height, const wxColour& colour) {
  if (width <= 0 || height <= 0) return;
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(colour));
  dc.DrawRectangle(x, y, width, height);
}

// A 3D edge two rings deep around `r`, drawn from the outside in. Each line covers
// its start point and stops short of its end point; r.GetRight()+1 and
// r.GetBottom()+1 lie just outside the rectangle.
void DrawEdge(wxDC& dc, wxRect r, bool sunken) {
  struct Ring {
    wxSystemColour light;
    wxSystemColour dark;
  };
  const Ring rings[2] = {{wxSYS_COLOUR_3DLIGHT, wxSYS_COLOUR_3DDKSHADOW},
                         {wxSYS_COLOUR_BTNHIGHLIGHT, wxSYS_COLOUR_BTNSHADOW}};
  for (const Ring& ring : rings) {
    wxColour top_left = wxSystemSettings::GetColour(ring.light);
    wxColour bottom_right = wxSystemSettings::GetColour(ring.dark);
    if (sunken) std::swap(top_left, bottom_right);
    const int l = r.GetLeft();
    const int t = r.GetTop();
    const int rr = r.GetRight() + 1;
    const int b = r.GetBottom() + 1;
    FillRect(dc, l, t, rr - l, 1, top_left);                  // top: (l,t) to (r,t)
    FillRect(dc, l, t, 1, b - t, top_left);                   // left: (l,t) to (l,b)
    FillRect(dc, l + 1, b - 1, rr - l - 1, 1, bottom_right);  // bottom: (l+1,b-1) to (r,b-1)
    FillRect(dc, rr - 1, t + 1, 1, b - t - 1, bottom_right);  // right: (r-1,t+1) to (r-1,b)
    r.Deflate(1);
  }
}

// The focus rectangle on the outline of `r`. Windows draws its own dotted one; GTK's
// theme would draw inside the rectangle, over the swatch, so elsewhere the button
// draws the classic dotted line itself, every other pixel in the text colour.
void DrawFocusRectangle(wxWindow* window, wxDC& dc, const wxRect& r) {
#ifdef __WXMSW__
  if (window != nullptr) {
    wxRendererNative::Get().DrawFocusRect(window, dc, r, 0);
    return;
  }
#else
  (void)window;
#endif
  const wxColour dots = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
  const int right = r.GetRight();
  const int bottom = r.GetBottom();
  for (int x = r.x; x <= right; x += 2) {
    FillRect(dc, x, r.y, 1, 1, dots);
    if (((x - r.x) + (bottom - r.y)) % 2 == 0) FillRect(dc, x, bottom, 1, 1, dots);
  }
  for (int y = r.y; y <= bottom; y += 2) {
    FillRect(dc, r.x, y, 1, 1, dots);
    if (((right - r.x) + (y - r.y)) % 2 == 0) FillRect(dc, right, y, 1, 1, dots);
  }
}

}  // namespace

CColorButton::CColorButton(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CColorButton::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CColorButton::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CColorButton::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &CColorButton::OnLeftUp, this);
  Bind(wxEVT_MOTION, &CColorButton::OnMotion, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &CColorButton::OnCaptureLost, this);
  Bind(wxEVT_KEY_DOWN, &CColorButton::OnKeyDown, this);
  Bind(wxEVT_KEY_UP, &CColorButton::OnKeyUp, this);
  Bind(wxEVT_SET_FOCUS, &CColorButton::OnFocusChange, this);
  Bind(wxEVT_KILL_FOCUS, &CColorButton::OnFocusChange, this);
}

void CColorButton::SetColor(std::uint32_t colour) {
  if (colour == m_colour) return;
  m_colour = colour;
  Refresh(true);
  Update();
}

bool CColorButton::Enable(bool enable) {
  if (!wxControl::Enable(enable)) return false;
  if (!enable && m_pressed) {
    if (HasCapture()) ReleaseMouse();
    m_pressed = false;
  }
  Refresh();
  return true;
}

wxSize CColorButton::DoGetBestSize() const { return FromDIP(wxSize(54, 24)); }

void CColorButton::Draw(wxWindow* window, wxDC& dc, const wxRect& rect, std::uint32_t colour,
                        int state) {
  wxRect swatch = rect;
  swatch.Deflate(5);
  FillRect(dc, rect.x, rect.y, rect.width, rect.height,
           wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  const bool pressed = (state & kDrawPressed) != 0;
  DrawEdge(dc, rect, pressed);
  if (state & kDrawDisabled) return;  // a disabled button shows the bare face
  if (pressed) swatch.Offset(1, 1);
  // The swatch with a one-pixel black frame inside it.
  FillRect(dc, swatch.x, swatch.y, swatch.width, swatch.height, *wxBLACK);
  wxRect inner = swatch;
  inner.Deflate(1);
  FillRect(dc, inner.x, inner.y, inner.width, inner.height, ToWxColour(colour));
  if (state & kDrawFocused) {
    swatch.Inflate(1);
    DrawFocusRectangle(window, dc, swatch);
  }
}

void CColorButton::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  int state = kDrawNormal;
  if (!IsEnabled()) state |= kDrawDisabled;
  if (IsPressed()) state |= kDrawPressed;
  if (HasFocus()) state |= kDrawFocused;
  Draw(this, dc, wxRect(GetClientSize()), m_colour, state);
}

void CColorButton::OnLeftDown(wxMouseEvent&) {
  if (!IsEnabled()) return;
  SetFocus();
  m_pressed = true;
  m_pointerInside = true;
  if (!HasCapture()) CaptureMouse();
  Refresh();
}

void CColorButton::OnLeftUp(wxMouseEvent& event) {
  if (!m_pressed) return;
  if (HasCapture()) ReleaseMouse();
  const bool inside = wxRect(GetClientSize()).Contains(event.GetPosition());
  m_pressed = false;
  m_pointerInside = true;
  Refresh();
  if (inside) SendClick();
}

void CColorButton::OnMotion(wxMouseEvent& event) {
  if (!m_pressed) return;
  const bool inside = wxRect(GetClientSize()).Contains(event.GetPosition());
  if (inside != m_pointerInside) {
    m_pointerInside = inside;
    Refresh();
  }
}

void CColorButton::OnCaptureLost(wxMouseCaptureLostEvent&) {
  m_pressed = false;
  m_pointerInside = true;
  Refresh();
}

void CColorButton::OnKeyDown(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_SPACE && IsEnabled()) {
    if (!m_pressed) {
      m_pressed = true;
      m_pointerInside = true;
      Refresh();
    }
    return;
  }
  event.Skip();
}

void CColorButton::OnKeyUp(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_SPACE && m_pressed && !HasCapture()) {
    m_pressed = false;
    Refresh();
    SendClick();
    return;
  }
  event.Skip();
}

void CColorButton::OnFocusChange(wxFocusEvent& event) {
  if (event.GetEventType() == wxEVT_KILL_FOCUS && m_pressed && !HasCapture()) m_pressed = false;
  Refresh();
  event.Skip();
}

void CColorButton::SendClick() {
  wxCommandEvent click(wxEVT_BUTTON, GetId());
  click.SetEventObject(this);
  ProcessWindowEvent(click);
}

}  // namespace vg::ui
