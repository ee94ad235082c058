// The converter's option record and the per-user store it is loaded from and saved to.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vg {

inline constexpr const char* kDefaultLink = "https://www.quillmere.example/vellagard/";

// One field per "General" entry, named as the entry. Colours are 0x00BBGGRR.
struct ConverterSettings {
  std::int32_t PresentationStyle = 0;  // 0 link, 1 text to image, 2 image to text, 3 image to image, 4 slideshow
  std::string Link = kDefaultLink;
  std::int32_t Frame = 0;              // 0 _self, 1 _top, 2 _blank, 3 OtherFrame
  std::string OtherFrame;
  std::string Text2ImageMessage = "Press here";
  std::string Image2TextMessage = "Press here";
  std::string Image2ImageFile;
  std::int32_t SlideshowDelay = 1000;
  std::string MessageLoading = "Please wait while the image downloads...";
  std::string MessageStatus = "Quillmere - Protected image";
  std::uint32_t BackColor = 0x000000;
  std::uint32_t TextColor = 0xFFFFFF;
  std::int32_t BorderWidth = 0;
  bool DomainLock = false;
  std::int32_t Domain = 0;             // index into the domain list; -1 for none
  std::string Target;
  bool OpenTargetFolderOnCompletion = false;
};

// The "Layout" pair: the window's top-left corner, -1 when not stored.
struct WindowPosition {
  std::int32_t Left = -1;
  std::int32_t Top = -1;
};

// A per-user store of integers and texts addressed by section and entry.
class ISettingsStore {
 public:
  virtual ~ISettingsStore() = default;
  virtual std::int32_t ReadInt(std::string_view section, std::string_view entry,
                               std::int32_t default_value) = 0;
  virtual std::string ReadText(std::string_view section, std::string_view entry,
                               std::string_view default_value) = 0;
  virtual void WriteInt(std::string_view section, std::string_view entry, std::int32_t value) = 0;
  virtual void WriteText(std::string_view section, std::string_view entry, std::string_view value) = 0;
};

}  // namespace vg
