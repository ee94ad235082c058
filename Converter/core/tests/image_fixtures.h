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

// RIFF header and the first chunk of a WebP file: `kind` is "VP8 " (lossy key frame),
// "VP8L" (lossless) or "VP8X" (extended, here with the alpha flag).
inline std::string WebpHeader(const std::string& kind, std::uint32_t width, std::uint32_t height) {
  std::string data;
  if (kind == "VP8X") {
    data = std::string("\x10\0\0\0", 4);
    for (std::uint32_t v : {width - 1, height - 1}) {
      data.push_back(static_cast<char>(v & 0xFF));
      data.push_back(static_cast<char>((v >> 8) & 0xFF));
      data.push_back(static_cast<char>((v >> 16) & 0xFF));
    }
  } else if (kind == "VP8L") {
    data = "\x2F";
    PutLe32(data, (width - 1) | ((height - 1) << 14) | (1u << 28));
  } else {
    data = std::string("\x50\x02\x00\x9D\x01\x2A", 6);
    PutLe16(data, width);
    PutLe16(data, height);
  }
  std::string s = "RIFF";
  PutLe32(s, static_cast<std::uint32_t>(4 + 8 + data.size()));
  s += "WEBP" + kind;
  PutLe32(s, static_cast<std::uint32_t>(data.size()));
  return s + data;
}

// An ISO base media box, and one with version and flags (a "full box").
inline std::string IsoBox(const char* type, const std::string& body) {
  std::string s;
  PutBe32(s, static_cast<std::uint32_t>(8 + body.size()));
  return s + std::string(type, 4) + body;
}
inline std::string IsoFullBox(const char* type, unsigned version, std::uint32_t flags,
                              const std::string& body) {
  std::string vf;
  PutBe32(vf, (version << 24) | flags);
  return IsoBox(type, vf + body);
}

// ftyp and meta of an AVIF file whose primary item (id 1) is `width` x `height`. A
// thumbnail item (id 2, 16 x 16) comes first in ipco and ipma, so a probe that takes
// the first ispe it sees gets the wrong size. `brands` is the major brand followed by
// the compatible ones; `quarter_turn` adds a rotation by 90 degrees (irot).
inline std::string AvifHeader(std::uint32_t width, std::uint32_t height,
                              const std::string& brands = "avifmif1miaf",
                              bool quarter_turn = false) {
  std::string ftyp_body = brands.substr(0, 4) + std::string(4, '\0') + brands.substr(4);
  auto ispe = [](std::uint32_t w, std::uint32_t h) {
    std::string b;
    PutBe32(b, w);
    PutBe32(b, h);
    return IsoFullBox("ispe", 0, 0, b);
  };
  std::string props = ispe(16, 16) + ispe(width, height);
  if (quarter_turn) props += IsoBox("irot", std::string("\x01", 1));
  std::string entries;
  PutBe32(entries, 2);
  entries += std::string("\x00\x02\x01\x01", 4);  // item 2: property 1
  entries += std::string("\x00\x01", 2);          // item 1: property 2 (essential), then 3
  entries += quarter_turn ? std::string("\x02\x82\x03", 3) : std::string("\x01\x82", 2);
  std::string hdlr_body(4, '\0');
  hdlr_body += "pict" + std::string(13, '\0');
  const std::string meta_body =
      IsoFullBox("hdlr", 0, 0, hdlr_body) + IsoFullBox("pitm", 0, 0, std::string("\x00\x01", 2)) +
      IsoBox("iprp", IsoBox("ipco", props) + IsoFullBox("ipma", 0, 0, entries));
  return IsoBox("ftyp", ftyp_body) + IsoFullBox("meta", 0, 0, meta_body);
}

}  // namespace vg::test
