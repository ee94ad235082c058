#include "ui/app_icon.h"

#include <wx/image.h>
#include <wx/mstream.h>
#ifdef __WXMSW__
#include <wx/msw/wrapwin.h>
#endif

namespace vg::ui {

const wxIconBundle& GetAppIconBundle() {
  static const wxIconBundle bundle = [] {
    wxIconBundle icons;
#ifdef __WXMSW__
    // Icon group 128 of the program's resources.
    icons.AddIcon("#128", ::GetModuleHandle(nullptr));
#else
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    for (std::size_t i = 0; i < kAppIconImageCount; ++i) {
      wxMemoryInputStream stream(kAppIconImages[i].data, kAppIconImages[i].length);
      wxImage image(stream, wxBITMAP_TYPE_PNG);
      if (!image.IsOk()) continue;
      wxIcon icon;
      icon.CopyFromBitmap(wxBitmap(image));
      icons.AddIcon(icon);
    }
#endif
    return icons;
  }();
  return bundle;
}

wxBitmap GetAppIconBitmap(int size) {
  const wxIcon icon =
      GetAppIconBundle().GetIcon(wxSize(size, size), wxIconBundle::FALLBACK_NEAREST_LARGER);
  if (!icon.IsOk()) return wxBitmap();
  wxBitmap bitmap(icon);
  if (bitmap.GetWidth() != size || bitmap.GetHeight() != size) {
    bitmap = wxBitmap(bitmap.ConvertToImage().Scale(size, size, wxIMAGE_QUALITY_HIGH));
  }
  return bitmap;
}

}  // namespace vg::ui
