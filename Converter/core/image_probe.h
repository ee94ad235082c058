// The image size probe: width and height from an image file's header, without decoding.
//
// The type is recognised from the first bytes, never from the file name: GIF (logical
// screen), PNG (IHDR), JPEG (first start-of-frame marker), TIFF (first image file
// directory, either byte order), BMP, WebP (its first chunk: VP8, VP8L or VP8X) and
// AVIF (files whose ftyp names the brand avif, avis or mif1: the ispe property of the
// primary item, found through meta, pitm, iprp, ipco and ipma). Anything else, and any
// header that is cut short or contradicts itself, fails with 0 x 0.
//
// The probe reads untrusted bytes, so it reads through one small window (a few KiB),
// never indexes past it, walks at most a fixed number of JPEG segments, TIFF entries or
// boxes and item entries of an AVIF file,
// and never allocates a size taken from the file. JPEG segments are skipped by seeking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace vg {

enum class ImageFormat { Unknown, Gif, Png, Jpeg, Tiff, Bmp, Webp, Avif };

// Random access to the bytes being probed.
class IProbeSource {
 public:
  virtual ~IProbeSource() = default;
  // Copies up to `size` bytes starting at `offset` into `buffer`; returns how many were
  // copied (fewer at the end of the data, 0 past it or on a read error).
  virtual std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) = 0;
};

// The probe over any source. On success both sizes are at least 1; on failure both are 0
// and the format is what the first bytes claimed (Unknown when nothing matched).
struct ProbeResult {
  bool ok = false;
  ImageFormat format = ImageFormat::Unknown;
  std::int32_t width = 0;
  std::int32_t height = 0;
};
ProbeResult ProbeImage(IProbeSource& source);

// The probe over bytes in memory (tests, fuzzing).
ProbeResult ProbeImageBytes(const unsigned char* data, std::size_t size);

// The probe over a file just opened for binary reading (standing at its start) whose
// size is `length` bytes: no read asks for more. Turns off the stream's own buffering
// (the probe keeps its one window) and leaves the file open.
ProbeResult ProbeOpenFile(std::FILE* file, std::int64_t length);

// The probe over a file. False with 0 x 0 when the file cannot be opened or read, or is
// not an image of a known type. Only regular files are opened: a pipe or device named
// like an image would block or never end.
bool GetImageSize(const std::filesystem::path& path, std::int32_t& width, std::int32_t& height);

// "GIF", "PNG", "JPEG", "TIFF", "BMP", "WebP", "AVIF" or "unknown".
const char* ImageFormatName(ImageFormat format);

}  // namespace vg
