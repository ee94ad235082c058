#include "ui/up_down.h"

#include <algorithm>

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/textctrl.h>

#include "pages/style_checks.h"
#include "ui/ui_services.h"

namespace vg::ui {
namespace {

constexpr int kFirstRepeatMs = 400;
constexpr int kRepeatMs = 60;

void DrawArrow(wxDC& dc, const wxRect& r, bool up, const wxColour& colour) {
  const int half = std::max(2, std::min(r.width, r.height * 2) / 4);
  const int cx = r.x + r.width / 2;
  const int cy = r.y + r.height / 2;
  wxPoint points[3];
  if (up) {
    points[0] = wxPoint(cx - half, cy + half / 2);
    points[1] = wxPoint(cx + half, cy + half / 2);
    points[2] = wxPoint(cx, cy - half / 2 - 1);
  } else {
    points[0] = wxPoint(cx - half, cy - half / 2);
    points[1] = wxPoint(cx + half, cy - half / 2);
    points[2] = wxPoint(cx, cy + half / 2 + 1);
  }
  dc.SetPen(wxPen(colour));
  dc.SetBrush(wxBrush(colour));
  dc.DrawPolygon(3, points);
}

}  // namespace

CUpDown::CUpDown(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                 wxTextCtrl* buddy, int minimum, int maximum)
    : wxControl(parent, id, pos, size, wxBORDER_NONE), m_buddy(buddy), m_min(minimum),
      m_max(maximum), m_repeat(this) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CUpDown::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CUpDown::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CUpDown::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &CUpDown::OnLeftUp, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &CUpDown::OnCaptureLost, this);
  Bind(wxEVT_TIMER, &CUpDown::OnTimer, this);
  if (m_buddy) m_buddy->Bind(wxEVT_KEY_DOWN, &CUpDown::OnBuddyKey, this);
}

void CUpDown::SetRange(int minimum, int maximum) {
  m_min = minimum;
  m_max = std::max(minimum, maximum);
}

void CUpDown::Step(int direction) {
  if (!m_buddy || !IsEnabled() || !m_buddy->IsEnabled()) return;
  const long long typed = ParseLong(FromWx(m_buddy->GetValue()));
  const long long value =
      std::clamp<long long>(std::clamp<long long>(typed, m_min, m_max) + direction, m_min, m_max);
  const wxString text = wxString::Format("%lld", value);
  if (text != m_buddy->GetValue()) m_buddy->ChangeValue(text);
  m_buddy->SetInsertionPointEnd();
}

void CUpDown::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxRect all(GetClientSize());
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  wxRect upper(all.x, all.y, all.width, all.height / 2);
  wxRect lower(all.x, upper.GetBottom() + 1, all.width, all.height - upper.height);
  wxRendererNative& renderer = wxRendererNative::Get();
  const bool enabled = IsEnabled() && (!m_buddy || m_buddy->IsEnabled());
  const int disabled = enabled ? 0 : static_cast<int>(wxCONTROL_DISABLED);
  const int pressed = wxCONTROL_PRESSED;
  renderer.DrawPushButton(this, dc, upper, disabled | (m_held > 0 ? pressed : 0));
  renderer.DrawPushButton(this, dc, lower, disabled | (m_held < 0 ? pressed : 0));
  const wxColour arrow =
      wxSystemSettings::GetColour(enabled ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT);
  DrawArrow(dc, upper, true, arrow);
  DrawArrow(dc, lower, false, arrow);
}

void CUpDown::OnLeftDown(wxMouseEvent& event) {
  if (!IsEnabled() || (m_buddy && !m_buddy->IsEnabled())) return;
  m_held = event.GetPosition().y < GetClientSize().y / 2 ? 1 : -1;
  if (!HasCapture()) CaptureMouse();
  Step(m_held);
  m_repeat.StartOnce(kFirstRepeatMs);
  Refresh();
}

void CUpDown::OnLeftUp(wxMouseEvent&) { StopRepeat(); }

void CUpDown::OnCaptureLost(wxMouseCaptureLostEvent&) { StopRepeat(); }

void CUpDown::OnTimer(wxTimerEvent&) {
  if (m_held == 0) return;
  Step(m_held);
  m_repeat.StartOnce(kRepeatMs);
}

void CUpDown::StopRepeat() {
  m_repeat.Stop();
  if (HasCapture()) ReleaseMouse();
  if (m_held != 0) {
    m_held = 0;
    Refresh();
  }
}

void CUpDown::OnBuddyKey(wxKeyEvent& event) {
  switch (event.GetKeyCode()) {
    case WXK_UP:
    case WXK_NUMPAD_UP: Step(1); return;
    case WXK_DOWN:
    case WXK_NUMPAD_DOWN: Step(-1); return;
    default: event.Skip();
  }
}

}  // namespace vg::ui
