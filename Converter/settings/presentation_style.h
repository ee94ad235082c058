// The presentation styles and the link target frames: the integers stored in
// ConverterSettings::PresentationStyle and ConverterSettings::Frame (and in the
// user's settings), with their names. This is the one definition every module uses.
#pragma once

#include <cstdint>

namespace vg {

// The stored numbers never change: saved settings and the window's control ids
// depend on them.
enum class Style : std::int32_t {
  TargetedLink = 0,
  Text2Image = 1,
  Image2Text = 2,
  Image2Image = 3,
  Slideshow = 4,
};
inline constexpr std::int32_t kStyleCount = 5;

// The frame a Targeted link opens in: "_self", "_top", "_blank", or the name the user
// typed (OtherFrame).
enum class LinkFrame : std::int32_t {
  Self = 0,
  Top = 1,
  Blank = 2,
  Other = 3,
};
inline constexpr std::int32_t kLinkFrameCount = 4;

constexpr bool IsValidStyle(std::int32_t stored) { return stored >= 0 && stored < kStyleCount; }
constexpr bool IsValidFrame(std::int32_t stored) { return stored >= 0 && stored < kLinkFrameCount; }

constexpr std::int32_t StoredValue(Style style) { return static_cast<std::int32_t>(style); }
constexpr std::int32_t StoredValue(LinkFrame frame) { return static_cast<std::int32_t>(frame); }

// A stored number as a style; a number outside 0 to 4 (a hand-edited store, say) is
// taken as the default, Targeted link.
constexpr Style StyleOf(std::int32_t stored) {
  return IsValidStyle(stored) ? static_cast<Style>(stored) : Style::TargetedLink;
}
// A stored number as a frame; outside 0 to 3 it is the default, "_self".
constexpr LinkFrame FrameOf(std::int32_t stored) {
  return IsValidFrame(stored) ? static_cast<LinkFrame>(stored) : LinkFrame::Self;
}

// The style's name as the window labels it: "Targeted link", "Text to image",
// "Image to text", "Image to image", "Slideshow".
const char* StyleLabel(Style style);
// The style's name on the command line: "link", "text-to-image", "image-to-text",
// "image-to-image", "slideshow".
const char* StyleOptionName(Style style);

}  // namespace vg
