// Minimal image headers built byte by byte, for the probe, item, list and CLI tests.
// Each builder ends right after the last byte a size probe needs, so every shorter
// prefix of its result is a truncated header.
#pragma once

#include <cstdint>
#include <string>

namespace vg::test {

inline void PutBe16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
  s.push_back(static_cast<char>(v & 0xFF));
}
inline void PutLe16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void PutBe32(std::string& s, std::uint32_t v) {
  PutBe16(s, v >> 16);
  PutBe16(s, v & 0xFFFF);
}
inline void PutLe32(std::string& s, std::uint32_t v) {
  PutLe16(s, v & 0xFFFF);
  PutLe16(s, v >> 16);
}

inline std::uint32_t PngCrc(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

// Signature and IHDR (8-bit RGB), CRC included.
inline std::string PngHeader(std::uint32_t width, std::uint32_t height) {
  std::string chunk = "IHDR";
  PutBe32(chunk, width);
  PutBe32(chunk, height);
  chunk += std::string("\x08\x02\x00\x00\x00", 5);
  std::string s("\x89PNG\r\n\x1a\n", 8);
  PutBe32(s, 13);
  s += chunk;
  PutBe32(s, PngCrc(chunk));
  return s;
}

// Signature and logical screen descriptor; `version` is "87a" or "89a".
inline std::string GifHeader(std::uint32_t width, std::uint32_t height,
                             const std::string& version = "89a") {
  std::string s = "GIF" + version;
  PutLe16(s, width);
  PutLe16(s, height);
  s += std::string("\x00\x00\x00", 3);
  return s;
}

// A JPEG marker segment: FF, marker, length (payload + 2), payload.
inline std::string JpegSegment(unsigned marker, const std::string& payload) {
  std::string s;
  s.push_back('\xFF');
  s.push_back(static_cast<char>(marker));
  PutBe16(s, static_cast<std::uint32_t>(payload.size() + 2));
  return s + payload;
}

// The payload of a three-component frame header.
inline std::string SofPayload(std::uint32_t width, std::uint32_t height) {
  std::string p("\x08", 1);
  PutBe16(p, height);
  PutBe16(p, width);
  p += std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
  return p;
}

// SOI, then `before` (segments placed ahead of the frame header), then the frame header.
inline std::string JpegHeader(std::uint32_t width, std::uint32_t height, unsigned sof = 0xC0,
                              const std::string& before = "") {
  return std::string("\xFF\xD8", 2) + before + JpegSegment(sof, SofPayload(width, height));
}

// The usual JFIF APP0 segment.
inline std::string JfifApp0() {
  return JpegSegment(0xE0, std::string("JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 14));
}

// Header and first directory with ImageWidth and ImageLength only. `type` is 3 (SHORT)
// or 4 (LONG); the directory starts at `ifd_offset` (padding fills the gap).
inline std::string TiffHeader(std::uint32_t width, std::uint32_t height, bool little,
                              std::uint32_t type = 3, std::uint32_t ifd_offset = 8) {
  auto u16 = [little](std::string& s, std::uint32_t v) { little ? PutLe16(s, v) : PutBe16(s, v); };
  auto u32 = [little](std::string& s, std::uint32_t v) { little ? PutLe32(s, v) : PutBe32(s, v); };
  std::string s = little ? std::string("II*\0", 4) : std::string("MM\0*", 4);
  u32(s, ifd_offset);
  s.resize(ifd_offset, '\0');
  u16(s, 2);
  for (std::uint32_t tag : {256u, 257u}) {
    const std::uint32_t value = tag == 256 ? width : height;
    u16(s, tag);
    u16(s, type);
    u32(s, 1);
    if (type == 3) {
      u16(s, value);
      u16(s, 0);
    } else {
      u32(s, value);
    }
  }
  return s;
}

// File header and an information header of `header_size` bytes (12: OS/2 core header).
inline std::string BmpHeader(std::int32_t width, std::int32_t height,
                             std::uint32_t header_size = 40) {
  std::string s = "BM";
  PutLe32(s, 14 + header_size);
  PutLe32(s, 0);
  PutLe32(s, 14 + header_size);
  PutLe32(s, header_size);
  if (header_size == 12) {
    PutLe16(s, static_cast<std::uint32_t>(width));
    PutLe16(s, static_cast<std::uint32_t>(height));
    PutLe16(s, 1);
    PutLe16(s, 24);
    return s;
  }
  PutLe32(s, static_cast<std::uint32_t>(width));
  PutLe32(s, static_cast<std::uint32_t>(height));
  PutLe16(s, 1);
  PutLe16(s, 24);
  s.resize(14 + header_size, '\0');
  return s;
}

}  // namespace vg::test
