#include "pages/style_checks.h"

#include <limits>

namespace vg {
namespace {

const char* const kKeywords[kStyleCount] = {"ImageLink", "TextFirst", "ImageFirst", "ImageImage",
                                            "SlideShow"};
// The fixed targets of the first three frames; LinkFrame::Other names its own.
const char* const kFixedTargets[StoredValue(LinkFrame::Other)] = {"_self", "_top", "_blank"};

StyleCheck Refuse(const char* message, StyleCheck::Focus focus) {
  StyleCheck check;
  check.ok = false;
  check.message = message;
  check.focus = focus;
  return check;
}

}  // namespace

const char* StyleKeyword(Style style) {
  return kKeywords[StoredValue(StyleOf(StoredValue(style)))];
}

std::string TargetFrameValue(const ConverterSettings& settings) {
  const LinkFrame frame = FrameOf(settings.Frame);
  if (frame == LinkFrame::Other) return settings.OtherFrame;
  return kFixedTargets[StoredValue(frame)];
}

bool ChooseLinkTarget(ConverterSettings& settings, std::int32_t frame) {
  if (IsValidFrame(frame)) settings.Frame = frame;
  return FrameOf(settings.Frame) == LinkFrame::Other;
}

std::int32_t ParseLong(std::string_view text) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  std::size_t i = 0;
  while (i < text.size() && IsBlankChar(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // The magnitude stops growing once it is past the range, so any number of digits is safe.
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (magnitude <= kMax + 1) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (negative) return static_cast<std::int32_t>(-magnitude < kMin ? kMin : -magnitude);
  return static_cast<std::int32_t>(magnitude > kMax ? kMax : magnitude);
}

std::int32_t ParseBorderWidth(std::string_view field_text) {
  return ParseLong(TrimText(field_text));
}

void CollectOptionFields(ConverterSettings& settings, const OptionFields& fields) {
  settings.MessageLoading = TrimText(fields.loading_message);
  settings.MessageStatus = TrimText(fields.status_message);
  settings.BorderWidth = ParseBorderWidth(fields.border_width);
  settings.OpenTargetFolderOnCompletion = fields.open_target_folder;
  settings.Domain = fields.domain_index;
  settings.Target = TrimText(fields.target_folder);
  settings.Watermark = TrimText(fields.watermark);
}

StyleCheck SaveAndValidateLink(ConverterSettings& settings, std::string_view link_text,
                               std::string_view frame_name_text) {
  settings.Link = TrimText(link_text);
  settings.OtherFrame = TrimText(frame_name_text);
  if (settings.OtherFrame.empty() && FrameOf(settings.Frame) == LinkFrame::Other) {
    return Refuse(kMessageEnterFrameName, StyleCheck::Focus::FrameName);
  }
  return StyleCheck{};
}

StyleCheck SaveAndValidateText2Image(ConverterSettings& settings, std::string_view text) {
  settings.Text2ImageMessage = TrimText(text);
  return StyleCheck{};
}

StyleCheck SaveAndValidateImage2Text(ConverterSettings& settings, std::string_view text) {
  settings.Image2TextMessage = TrimText(text);
  return StyleCheck{};
}

StyleCheck ValidateImage2Image(const ConverterSettings& settings) {
  if (settings.Image2ImageFile.empty()) {
    return Refuse(kMessageChooseImageFile, StyleCheck::Focus::None);
  }
  return StyleCheck{};
}

StyleCheck SaveAndValidateSlideshow(ConverterSettings& settings, std::string_view delay_text) {
  settings.SlideshowDelay = ParseLong(TrimText(delay_text));
  if (settings.SlideshowDelay <= 0) {
    return Refuse(kMessageEnterPositiveInteger, StyleCheck::Focus::Delay);
  }
  return StyleCheck{};
}

}  // namespace vg
