// The colour button's painting, pixel by pixel, on a memory bitmap.
#include <gtest/gtest.h>

#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/settings.h>

#include "ui/color_button.h"
#include "ui/tests/ui_test_util.h"

namespace vg::ui {
namespace {

struct Canvas {
  static constexpr int kWidth = 60;
  static constexpr int kHeight = 24;
  wxImage image;

  Canvas(wxWindow* window, std::uint32_t colour, int state) {
    wxBitmap bitmap(kWidth, kHeight, 24);
    {
      wxMemoryDC dc(bitmap);
      dc.SetBackground(*wxWHITE_BRUSH);
      dc.Clear();
      CColorButton::Draw(window, dc, wxRect(0, 0, kWidth, kHeight), colour, state);
    }
    image = bitmap.ConvertToImage();
  }
  wxColour At(int x, int y) const {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
  }
};

wxColour Sys(wxSystemColour c) {
  const wxColour s = wxSystemSettings::GetColour(c);
  return wxColour(s.Red(), s.Green(), s.Blue());
}

class color_button_test : public ::testing::Test {
 protected:
  void SetUp() override {
    m_frame = new wxFrame(nullptr, wxID_ANY, "colour button");
    m_button = new CColorButton(m_frame, wxID_ANY, wxPoint(10, 10),
                                wxSize(Canvas::kWidth, Canvas::kHeight));
    m_frame->Show();
    test::Settle();
  }
  void TearDown() override { delete m_frame; }
  wxFrame* m_frame = nullptr;
  CColorButton* m_button = nullptr;
};

TEST_F(color_button_test, raised_face_with_framed_swatch) {
  const Canvas c(m_button, 0x00336699,
                 CColorButton::kDrawNormal);  // red 0x99, green 0x66, blue 0x33
  // Swatch = button shrunk by 5; its outer ring black, inside the colour.
  EXPECT_EQ(c.At(5, 5), *wxBLACK);
  EXPECT_EQ(c.At(Canvas::kWidth - 6, Canvas::kHeight - 6), *wxBLACK);
  EXPECT_EQ(c.At(6, 6), wxColour(0x99, 0x66, 0x33));
  EXPECT_EQ(c.At(Canvas::kWidth / 2, Canvas::kHeight / 2), wxColour(0x99, 0x66, 0x33));
  EXPECT_EQ(c.At(Canvas::kWidth - 7, Canvas::kHeight - 7), wxColour(0x99, 0x66, 0x33));
  // Face between edge and swatch.
  EXPECT_EQ(c.At(3, 3), Sys(wxSYS_COLOUR_BTNFACE));
  EXPECT_EQ(c.At(4, Canvas::kHeight / 2), Sys(wxSYS_COLOUR_BTNFACE));
  // Raised edge: light top and left, dark bottom and right; the outer ring first.
  EXPECT_EQ(c.At(0, 0), Sys(wxSYS_COLOUR_3DLIGHT));
  EXPECT_EQ(c.At(10, 0), Sys(wxSYS_COLOUR_3DLIGHT));
  EXPECT_EQ(c.At(0, 10), Sys(wxSYS_COLOUR_3DLIGHT));
  EXPECT_EQ(c.At(10, 1), Sys(wxSYS_COLOUR_BTNHIGHLIGHT));
  EXPECT_EQ(c.At(10, Canvas::kHeight - 1), Sys(wxSYS_COLOUR_3DDKSHADOW));
  EXPECT_EQ(c.At(Canvas::kWidth - 1, 10), Sys(wxSYS_COLOUR_3DDKSHADOW));
  EXPECT_EQ(c.At(10, Canvas::kHeight - 2), Sys(wxSYS_COLOUR_BTNSHADOW));
  EXPECT_EQ(c.At(Canvas::kWidth - 2, 10), Sys(wxSYS_COLOUR_BTNSHADOW));
  // Corners: the top line owns the top-right corner's first pixel only up to r-1,
  // the right line starts one below the top.
  EXPECT_EQ(c.At(Canvas::kWidth - 1, 0), Sys(wxSYS_COLOUR_3DLIGHT));
  EXPECT_EQ(c.At(0, Canvas::kHeight - 1), Sys(wxSYS_COLOUR_3DLIGHT));
}

TEST_F(color_button_test, pressed_sinks_the_edge_and_shifts_the_swatch) {
  const Canvas c(m_button, 0x000000FF, CColorButton::kDrawPressed);
  EXPECT_EQ(c.At(10, 0), Sys(wxSYS_COLOUR_3DDKSHADOW));
  EXPECT_EQ(c.At(10, Canvas::kHeight - 1), Sys(wxSYS_COLOUR_3DLIGHT));
  // The frame moved one right and one down.
  EXPECT_EQ(c.At(6, 6), *wxBLACK);
  EXPECT_EQ(c.At(5, 5), Sys(wxSYS_COLOUR_BTNFACE));
  EXPECT_EQ(c.At(7, 7), wxColour(0xFF, 0, 0));
  EXPECT_EQ(c.At(Canvas::kWidth - 5, Canvas::kHeight - 5), *wxBLACK);
}

TEST_F(color_button_test, disabled_shows_the_bare_face) {
  const Canvas c(m_button, 0x0000FF00, CColorButton::kDrawDisabled);
  for (int x = 3; x < Canvas::kWidth - 3; ++x) {
    ASSERT_EQ(c.At(x, Canvas::kHeight / 2), Sys(wxSYS_COLOUR_BTNFACE)) << "x=" << x;
  }
}

TEST_F(color_button_test, top_byte_of_the_colour_is_ignored) {
  const Canvas c(m_button, 0xFF204060, CColorButton::kDrawNormal);
  EXPECT_EQ(c.At(Canvas::kWidth / 2, Canvas::kHeight / 2), wxColour(0x60, 0x40, 0x20));
}

TEST_F(color_button_test, focus_rectangle_lies_one_pixel_outside_the_swatch) {
  const Canvas plain(m_button, 0x00808080, CColorButton::kDrawNormal);
  const Canvas focused(m_button, 0x00808080, CColorButton::kDrawFocused);
  int changed_on_ring = 0;
  int changed_elsewhere = 0;
  for (int y = 0; y < Canvas::kHeight; ++y) {
    for (int x = 0; x < Canvas::kWidth; ++x) {
      if (plain.At(x, y) == focused.At(x, y)) continue;
      const bool on_ring =
          (x == 4 || x == Canvas::kWidth - 5 || y == 4 || y == Canvas::kHeight - 5) && x >= 4 &&
          x <= Canvas::kWidth - 5 && y >= 4 && y <= Canvas::kHeight - 5;
      (on_ring ? changed_on_ring : changed_elsewhere)++;
    }
  }
  EXPECT_GT(changed_on_ring, 0);
  EXPECT_EQ(changed_elsewhere, 0);
}

TEST_F(color_button_test, set_color_and_clicks) {
  int clicks = 0;
  m_button->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++clicks; });
  m_button->SetColor(0x00ABCDEF);
  EXPECT_EQ(m_button->GetColor(), 0x00ABCDEFu);

  // Mouse down and up inside: one click; released outside: none.
  wxMouseEvent down(wxEVT_LEFT_DOWN);
  down.SetPosition(wxPoint(5, 5));
  m_button->ProcessWindowEvent(down);
  EXPECT_TRUE(m_button->IsPressed());
  wxMouseEvent up(wxEVT_LEFT_UP);
  up.SetPosition(wxPoint(6, 6));
  m_button->ProcessWindowEvent(up);
  EXPECT_FALSE(m_button->IsPressed());
  EXPECT_EQ(clicks, 1);

  m_button->ProcessWindowEvent(down);
  wxMouseEvent away(wxEVT_LEFT_UP);
  away.SetPosition(wxPoint(500, 500));
  m_button->ProcessWindowEvent(away);
  EXPECT_EQ(clicks, 1);

  // Disabled: no press, no click.
  m_button->Disable();
  m_button->ProcessWindowEvent(down);
  m_button->ProcessWindowEvent(up);
  EXPECT_FALSE(m_button->IsPressed());
  EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace vg::ui
