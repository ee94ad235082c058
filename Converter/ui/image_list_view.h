// The list view of the image list: a virtual report list that asks the list for a
// row's texts only when the row is drawn, so ten thousand rows appear at once.
#pragma once

#include <wx/listctrl.h>

#include "core/image_list.h"

namespace vg::ui {

class CImageListView : public wxListCtrl {
 public:
  CImageListView(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                 const CImageList& images);

  // Makes the view mirror the list: row count, texts, and the one selected and
  // focused row `select` scrolled into view (-1: no selection).
  void ShowRows(int select);
  // Selected rows in ascending order.
  std::vector<int> SelectedRows() const;

 protected:
  wxString OnGetItemText(long item, long column) const override;

 private:
  const CImageList& m_images;
};

// The preview beside the colour buttons: "preview..." in the text colour on the
// background colour, centred both ways.
class CColorPreview : public wxWindow {
 public:
  CColorPreview(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);
  void SetColors(std::uint32_t back_color, std::uint32_t text_color);
  std::uint32_t GetBackColor() const { return m_back; }
  std::uint32_t GetTextColor() const { return m_text; }
  static const char* Text() { return "preview..."; }
  // Paints the preview on `rect` of `dc` in the given colours and font.
  static void Draw(wxDC& dc, const wxRect& rect, std::uint32_t back_color, std::uint32_t text_color,
                   const wxFont& font);

 private:
  void OnPaint(wxPaintEvent& event);
  std::uint32_t m_back = 0;
  std::uint32_t m_text = 0;
};

}  // namespace vg::ui
