// What the desktop services hand to the platform's dialogs.
#include <gtest/gtest.h>

#include <wx/filedlg.h>

#include "core/image_item.h"
#include "ui/ui_services.h"

namespace vg::ui {
namespace {

TEST(ui_services_test, file_filter_lists_exactly_the_accepted_extensions) {
  const std::string filter = FromWx(ImageFileFilter());
  EXPECT_EQ(filter,
            std::string("Image files|*.gif;*.jpg;*.jpeg;*.png;*.tif;*.webp;*.avif|All files|") +
                FromWx(wxFileSelectorDefaultWildcardStr));
  // The filter and the list's own test agree.
  for (const char* name : {"a.gif", "a.jpg", "a.jpeg", "a.png", "a.tif", "a.webp", "a.avif"})
    EXPECT_TRUE(IsAcceptedImageFile(name)) << name;
  for (const char* name : {"a.tiff", "a.bmp", "a.heic"})
    EXPECT_FALSE(IsAcceptedImageFile(name)) << name;
}

TEST(ui_services_test, colours_keep_the_settings_byte_order) {
  EXPECT_EQ(ToWxColour(0x000000FF), wxColour(0xFF, 0, 0));
  EXPECT_EQ(ToWxColour(0x00FF0000), wxColour(0, 0, 0xFF));
  EXPECT_EQ(ToWxColour(0xAB123456), wxColour(0x56, 0x34, 0x12));  // top byte ignored
  EXPECT_EQ(FromWxColour(wxColour(0x12, 0x34, 0x56)), 0x00563412u);
}

}  // namespace
}  // namespace vg::ui
