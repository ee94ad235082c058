// The presentation styles and the checks that Start makes on the style pages' input,
// without any window: the desktop window hands in the texts of its boxes, the
// command-line tool the texts of its options.
//
// Each SaveAndValidate... stores the trimmed texts into the settings first and checks
// afterwards, so a refused value is kept in the record (and saved on exit) as typed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/text.h"
#include "settings/presentation_style.h"
#include "settings/settings.h"

namespace vg {

// The page keyword of a style: "ImageLink", "TextFirst", "ImageFirst", "ImageImage",
// "SlideShow".
const char* StyleKeyword(Style style);

// The "TargetFrame" value of a link page: "_self", "_top", "_blank", or OtherFrame
// unchanged for Frame 3. A Frame outside 0 to 3 is taken as the default, "_self".
std::string TargetFrameValue(const ConverterSettings& settings);

// A click on the link target button of stored frame number `frame`: sets Frame (a
// number outside 0 to 3 is ignored). Returns whether the frame name box is enabled
// afterwards, i.e. Frame is LinkFrame::Other.
bool ChooseLinkTarget(ConverterSettings& settings, std::int32_t frame);

// A base-10 integer read the way strtol reads one: leading white space skipped, an
// optional sign, then digits up to the first other character. No digits give 0; a
// number beyond the signed 32-bit range gives that range's nearest limit.
std::int32_t ParseLong(std::string_view text);

// The border width field as Start reads it: trimmed, then ParseLong ("12px" is 12, an
// empty field 0). The value is not clamped to the spin range.
std::int32_t ParseBorderWidth(std::string_view field_text);

// The option fields that Start collects after the style check, as texts.
struct OptionFields {
  std::string_view loading_message;
  std::string_view status_message;
  std::string_view border_width;
  bool open_target_folder = false;
  std::int32_t domain_index = -1;  // selection of the domain list, -1 for none
  std::string_view target_folder;
  std::string_view watermark;
};

// Copies the fields into the settings in the window's order: MessageLoading,
// MessageStatus, BorderWidth, OpenTargetFolderOnCompletion, Domain, Target, Watermark.
// Texts are trimmed.
void CollectOptionFields(ConverterSettings& settings, const OptionFields& fields);

// The outcome of a style page's check. When refused, `message` is the text to show
// with an error icon and `focus` the box that gets the keyboard focus.
struct StyleCheck {
  enum class Focus { None, FrameName, Delay };
  bool ok = true;
  std::string message;
  Focus focus = Focus::None;
};

inline constexpr const char* kMessageEnterFrameName = "Please enter frame name!";
inline constexpr const char* kMessageChooseImageFile = "Please choose an image file!";
inline constexpr const char* kMessageEnterPositiveInteger = "Please enter positive integer value!";

// Targeted link: stores the trimmed link as Link and the trimmed frame name as
// OtherFrame; refuses an empty frame name while Frame is 3. An empty link is accepted.
StyleCheck SaveAndValidateLink(ConverterSettings& settings, std::string_view link_text,
                               std::string_view frame_name_text);
// Text to image: stores the trimmed text as Text2ImageMessage. Never refuses.
StyleCheck SaveAndValidateText2Image(ConverterSettings& settings, std::string_view text);
// Image to text: stores the trimmed text as Image2TextMessage. Never refuses.
StyleCheck SaveAndValidateImage2Text(ConverterSettings& settings, std::string_view text);
// Image to image: refuses an empty Image2ImageFile. Whether the file can be read is
// found out when the run converts it.
StyleCheck ValidateImage2Image(const ConverterSettings& settings);
// Slideshow: stores ParseLong of the trimmed text as SlideshowDelay, then refuses 0 or
// less. There is no upper limit.
StyleCheck SaveAndValidateSlideshow(ConverterSettings& settings, std::string_view delay_text);

}  // namespace vg
