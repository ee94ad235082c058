#include "settings/presentation_style.h"

namespace vg {
namespace {

const char* const kLabels[kStyleCount] = {"Targeted link", "Text to image", "Image to text",
                                          "Image to image", "Slideshow"};
const char* const kOptionNames[kStyleCount] = {"link", "text-to-image", "image-to-text",
                                               "image-to-image", "slideshow"};

}  // namespace

const char* StyleLabel(Style style) { return kLabels[StoredValue(StyleOf(StoredValue(style)))]; }

const char* StyleOptionName(Style style) {
  return kOptionNames[StoredValue(StyleOf(StoredValue(style)))];
}

}  // namespace vg
