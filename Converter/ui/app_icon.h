// The program icon in all its sizes (16 to 256 pixels).
#pragma once

#include <cstddef>

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

namespace vg::ui {

// One PNG image of the icon, as embedded by the build.
struct IconImage {
  int size;
  const unsigned char* data;
  std::size_t length;
};
extern const IconImage kAppIconImages[];
extern const std::size_t kAppIconImageCount;

// Every size of the icon, for the window's title bar and task bar.
const wxIconBundle& GetAppIconBundle();
// The icon as a bitmap of `size` x `size` pixels.
wxBitmap GetAppIconBitmap(int size);

}  // namespace vg::ui
