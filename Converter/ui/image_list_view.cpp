#include "ui/image_list_view.h"

#include <algorithm>

#include <wx/dcbuffer.h>

#include "ui/ui_services.h"

namespace vg::ui {
namespace {

struct Column {
  const char* heading;
  int width;  // pixels for characters 6 pixels wide
  wxListColumnFormat format;
};
const Column kColumns[] = {
    {"#", 40, wxLIST_FORMAT_LEFT},          {"File Name", 120, wxLIST_FORMAT_LEFT},
    {"Folder", 180, wxLIST_FORMAT_LEFT},    {"Width x Height", 86, wxLIST_FORMAT_RIGHT},
    {"File Size", 80, wxLIST_FORMAT_RIGHT},
};

}  // namespace

CImageListView::CImageListView(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                               const wxSize& size, const CImageList& images)
    : wxListCtrl(parent, id, pos, size, wxLC_REPORT | wxLC_VIRTUAL | wxBORDER_THEME),
      m_images(images) {
  // The widths were made for an 8-point font with characters 6 pixels wide on
  // average; they grow with the font in use, and never cut a heading.
  const int char_width = std::max(1, ConvertDialogToPixels(wxSize(4, 0)).x);
  for (const Column& c : kColumns) {
    const int width = std::max(c.width * char_width / 6, GetTextExtent(c.heading).x + FromDIP(16));
    AppendColumn(c.heading, c.format, width);
  }
  SetItemCount(0);
}

void CImageListView::ShowRows(int select) {
  const long count = static_cast<long>(m_images.size());
  if (GetItemCount() != count) SetItemCount(count);
  // Drop the old selection and focus: rows now hold other items.
  if (count > 0) SetItemState(-1, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
  if (select >= 0 && select < count) {
    SetItemState(select, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                 wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    EnsureVisible(select);
  }
  Refresh();
}

std::vector<int> CImageListView::SelectedRows() const {
  std::vector<int> rows;
  for (long i = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
       i = GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
    rows.push_back(static_cast<int>(i));
  }
  return rows;
}

wxString CImageListView::OnGetItemText(long item, long column) const {
  if (item < 0 || static_cast<std::size_t>(item) >= m_images.size() || column < 0 || column >= 5) {
    return wxString();
  }
  return ToWx(m_images.RowTexts(static_cast<std::size_t>(item))[static_cast<std::size_t>(column)]);
}

CColorPreview::CColorPreview(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                             const wxSize& size)
    : wxWindow(parent, id, pos, size, wxBORDER_NONE) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CColorPreview::OnPaint, this);
}

void CColorPreview::SetColors(std::uint32_t back_color, std::uint32_t text_color) {
  m_back = back_color;
  m_text = text_color;
  Refresh(true);
}

void CColorPreview::Draw(wxDC& dc, const wxRect& rect, std::uint32_t back_color,
                         std::uint32_t text_color, const wxFont& font) {
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(ToWxColour(back_color)));
  dc.DrawRectangle(rect);
  dc.SetFont(font);
  dc.SetTextForeground(ToWxColour(text_color));
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.DrawLabel(Text(), rect, wxALIGN_CENTER);
}

void CColorPreview::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  Draw(dc, wxRect(GetClientSize()), m_back, m_text, GetFont());
}

}  // namespace vg::ui
