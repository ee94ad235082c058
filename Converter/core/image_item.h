// One image queued for conversion, and the helpers that make its names and texts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vg {

// Made once from a full path and never changed. Text fields are UTF-8.
struct CImageItem {
  std::string m_strFileName;       // file name with extension, without folder
  std::string m_strBaseName;       // file name without extension
  std::string m_strProtectedName;  // "<safe base name>_<%04d width>_<%04d height>_C.class"
  std::string m_strFolder;         // folder of the file, ending with the path separator
  std::int32_t m_nFileSize = 0;    // low 32 bits of the file size; 0 when unreadable
  std::int32_t m_nWidth = 0;       // pixels; 0 when the image cannot be read
  std::int32_t m_nHeight = 0;
  std::int64_t m_nFileSize64 = 0;  // the whole file size, for the size text

  // m_strFolder followed by m_strFileName.
  std::string GetFullPath() const;
  // "W x H", or "ERROR!" when either is 0.
  std::string GetDimensionsText() const;
  // Size in decimal units ("1.536 KB"), or "ERROR!" for an unreadable or empty file.
  std::string GetSizeText() const;
};

// Makes an item from a full path (UTF-8). Never fails: an unreadable file gives an
// item with size, width or height 0.
std::unique_ptr<CImageItem> CreateImageItem(std::string_view full_path);

// ASCII letters and digits stay; every run of other characters becomes one '_'.
std::string MakeSafeName(std::string_view base_name);

// The size text of GetSizeText for a size in bytes.
std::string FormatSizeText(std::int64_t size);

// True when the path's extension is one of .gif .jpg .jpeg .png .tif .webp .avif (ASCII
// case-blind).
bool IsAcceptedImageFile(std::string_view path);

}  // namespace vg
