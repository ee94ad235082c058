#include "core/image_probe.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "core/platform.h"

// Under AddressSanitizer the part of the window that holds no data is poisoned, so the
// fuzzer catches a parser that reads bytes the source never gave.
#if defined(__SANITIZE_ADDRESS__)
#define VG_POISON_WINDOW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VG_POISON_WINDOW 1
#endif
#endif
#ifdef VG_POISON_WINDOW
#include <sanitizer/asan_interface.h>
#endif

namespace vg {
namespace {

// Every header field the probe needs lies within this many bytes of where it starts
// looking, so one window of this size serves all reads. It is also the most any single
// read asks the source for.
constexpr std::size_t kWindowSize = 4096;

// Bounds on the walks over untrusted structure. Real JPEG files reach their frame
// header within a few dozen segments (a few hundred with ICC profiles split into
// chunks); the step bound also covers fill and stray bytes between segments.
constexpr int kMaxJpegSteps = 1 << 20;
constexpr int kMaxJpegSegments = 1 << 16;
// ISO base media files (AVIF): boxes looked at per level, and the property and item
// entries walked. Encoders write a handful of each.
constexpr int kMaxBoxesPerLevel = 1024;
constexpr std::uint32_t kMaxItemEntries = 1 << 16;
constexpr int kMaxBrands = 64;

// A read-only window over the source. Get() returns a pointer to `size` bytes at
// `offset`, reloading the window from the source when the range is not inside it,
// or nullptr when the data ends before offset + size.
class Window {
 public:
  explicit Window(IProbeSource& source) : m_source(source) {}
#ifdef VG_POISON_WINDOW
  ~Window() { ASAN_UNPOISON_MEMORY_REGION(m_buffer.data(), kWindowSize); }
#endif

  const unsigned char* Get(std::uint64_t offset, std::size_t size) {
    if (size == 0 || size > kWindowSize) return nullptr;
    if (m_loaded && offset >= m_start && offset - m_start <= m_length &&
        size <= m_length - static_cast<std::size_t>(offset - m_start)) {
      return m_buffer.data() + (offset - m_start);
    }
#ifdef VG_POISON_WINDOW
    ASAN_UNPOISON_MEMORY_REGION(m_buffer.data(), kWindowSize);
#endif
    std::size_t got = m_source.ReadAt(offset, m_buffer.data(), kWindowSize);
    if (got > kWindowSize) got = 0;  // a source that claims more than it was given
    m_start = offset;
    m_length = got;
    m_loaded = true;
#ifdef VG_POISON_WINDOW
    ASAN_POISON_MEMORY_REGION(m_buffer.data() + m_length, kWindowSize - m_length);
#endif
    return size <= m_length ? m_buffer.data() : nullptr;
  }

  // The first bytes of the data and how many there are (up to the window size).
  const unsigned char* Head(std::size_t& available) {
    Get(0, 1);
    if (!m_loaded || m_start != 0) {
      available = 0;
      return nullptr;
    }
    available = m_length;
    return m_buffer.data();
  }

 private:
  IProbeSource& m_source;
  std::array<unsigned char, kWindowSize> m_buffer{};
  std::uint64_t m_start = 0;
  std::size_t m_length = 0;
  bool m_loaded = false;
};

std::uint32_t Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t Be16(const unsigned char* p) { return (p[0] << 8) | p[1]; }
std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint32_t Be32(const unsigned char* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

// Stores the size when both sides are 1 to INT32_MAX pixels.
bool SetSize(ProbeResult& r, std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return false;
  r.width = static_cast<std::int32_t>(width);
  r.height = static_cast<std::int32_t>(height);
  return true;
}

// GIF: the logical screen descriptor follows the six-byte signature.
bool ProbeGif(Window& w, ProbeResult& r) {
  const unsigned char* p = w.Get(0, 13);
  if (!p) return false;
  return SetSize(r, Le16(p + 6), Le16(p + 8));
}

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

// PNG: the IHDR chunk must come first, be 13 bytes long and carry a matching CRC, as
// PNG decoders require of this critical chunk.
bool ProbePng(Window& w, ProbeResult& r) {
  const unsigned char* p = w.Get(0, 33);
  if (!p) return false;
  if (Be32(p + 8) != 13 || std::memcmp(p + 12, "IHDR", 4) != 0) return false;
  if (Crc32(p + 12, 17) != Be32(p + 29)) return false;
  return SetSize(r, Be32(p + 16), Be32(p + 20));
}

// The start-of-frame markers: SOF0 to SOF15 without DHT (C4), JPG (C8) and DAC (CC).
bool IsStartOfFrame(unsigned marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// JPEG: walks the marker segments after SOI up to the first frame header, seeking past
// each segment by its length. Bytes between segments that are not a marker are skipped
// as JPEG decoders do; a scan, end of image or second SOI before any frame is an error.
bool ProbeJpeg(Window& w, ProbeResult& r) {
  std::uint64_t pos = 2;
  int segments = 0;
  for (int step = 0; step < kMaxJpegSteps; ++step) {
    const unsigned char* p = w.Get(pos, 2);
    if (!p) return false;
    if (p[0] != 0xFF) {  // stray byte
      pos += 1;
      continue;
    }
    const unsigned marker = p[1];
    if (marker == 0xFF) {  // fill byte before a marker
      pos += 1;
      continue;
    }
    if (marker == 0x00) {  // a stuffed zero belongs to entropy-coded data, not a marker
      pos += 2;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // TEM, RSTn: no length
      pos += 2;
      continue;
    }
    if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) return false;  // SOI, EOI, SOS
    if (++segments > kMaxJpegSegments) return false;
    const unsigned char* len_bytes = w.Get(pos + 2, 2);
    if (!len_bytes) return false;
    const std::uint32_t length = Be16(len_bytes);
    if (length < 2) return false;
    if (IsStartOfFrame(marker)) {
      // length, precision, height, width, component count, then 3 bytes per component.
      const unsigned char* sof = w.Get(pos + 2, length);
      if (!sof || length < 8) return false;
      const unsigned components = sof[7];
      if (components == 0 || length != 8 + 3 * components) return false;
      return SetSize(r, Be16(sof + 5), Be16(sof + 3));
    }
    pos += 2 + static_cast<std::uint64_t>(length);
  }
  return false;
}

// TIFF: the first image file directory's ImageWidth (256) and ImageLength (257), each a
// single SHORT or LONG. The entry count is 16 bits, so the walk is bounded by the format.
bool ProbeTiff(Window& w, ProbeResult& r) {
  const unsigned char* p = w.Get(0, 8);
  if (!p) return false;
  const bool little = p[0] == 'I';
  auto u16 = [little](const unsigned char* q) { return little ? Le16(q) : Be16(q); };
  auto u32 = [little](const unsigned char* q) { return little ? Le32(q) : Be32(q); };
  if (u16(p + 2) != 42) return false;
  const std::uint64_t ifd = u32(p + 4);
  if (ifd < 8) return false;
  const unsigned char* count_bytes = w.Get(ifd, 2);
  if (!count_bytes) return false;
  const std::uint32_t count = u16(count_bytes);
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool have_width = false;
  bool have_height = false;
  for (std::uint32_t i = 0; i < count && !(have_width && have_height); ++i) {
    const unsigned char* e = w.Get(ifd + 2 + 12ull * i, 12);
    if (!e) return false;
    const std::uint32_t tag = u16(e);
    if (tag != 256 && tag != 257) continue;
    if ((tag == 256 && have_width) || (tag == 257 && have_height)) continue;  // repeated tag
    const std::uint32_t type = u16(e + 2);
    if (u32(e + 4) != 1) return false;
    std::uint32_t value;
    if (type == 3) {
      value = u16(e + 8);
    } else if (type == 4) {
      value = u32(e + 8);
    } else {
      return false;
    }
    if (tag == 256) {
      width = value;
      have_width = true;
    } else {
      height = value;
      have_height = true;
    }
  }
  if (!have_width || !have_height) return false;
  return SetSize(r, width, height);
}

// BMP: the file header, then an information header whose size tells its kind: 12 for
// the OS/2 1.x core header with 16-bit sizes, the others with signed 32-bit sizes where
// a negative height means rows stored top-down.
bool ProbeBmp(Window& w, ProbeResult& r) {
  const unsigned char* p = w.Get(0, 18);
  if (!p) return false;
  const std::uint32_t header_size = Le32(p + 14);
  if (header_size == 12) {
    const unsigned char* h = w.Get(14, 12);
    if (!h) return false;
    return SetSize(r, Le16(h + 4), Le16(h + 6));
  }
  switch (header_size) {
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124: break;
    default: return false;
  }
  const unsigned char* h = w.Get(14, header_size);
  if (!h) return false;
  const auto width = static_cast<std::int32_t>(Le32(h + 4));
  const auto height = static_cast<std::int32_t>(Le32(h + 8));
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  return SetSize(r, static_cast<std::uint32_t>(width),
                 static_cast<std::uint32_t>(height < 0 ? -height : height));
}

// WebP: "RIFF", its size, "WEBP", then the first chunk, whose kind tells where the size
// is: VP8X (extended: alpha, animation, metadata) carries the canvas size, VP8L
// (lossless) a 14-bit size after its signature byte, VP8 (lossy) the key frame's
// 14-bit size after its start code.
bool ProbeWebp(Window& w, ProbeResult& r) {
  const unsigned char* p = w.Get(0, 20);
  if (!p) return false;
  const std::uint32_t riff_size = Le32(p + 4);
  const std::uint32_t chunk_size = Le32(p + 16);
  if (riff_size < 4 + 8 || chunk_size > riff_size - 4 - 8) return false;
  char kind[4];
  std::memcpy(kind, p + 12, 4);
  if (std::memcmp(kind, "VP8X", 4) == 0) {
    const unsigned char* d = chunk_size >= 10 ? w.Get(20, 10) : nullptr;
    if (!d) return false;
    const std::uint32_t width = 1 + (d[4] | (d[5] << 8) | (static_cast<std::uint32_t>(d[6]) << 16));
    const std::uint32_t height =
        1 + (d[7] | (d[8] << 8) | (static_cast<std::uint32_t>(d[9]) << 16));
    return SetSize(r, width, height);
  }
  if (std::memcmp(kind, "VP8L", 4) == 0) {
    const unsigned char* d = chunk_size >= 5 ? w.Get(20, 5) : nullptr;
    if (!d || d[0] != 0x2F) return false;
    const std::uint32_t bits = Le32(d + 1);
    if (bits >> 29 != 0) return false;  // version must be 0
    return SetSize(r, 1 + (bits & 0x3FFF), 1 + ((bits >> 14) & 0x3FFF));
  }
  if (std::memcmp(kind, "VP8 ", 4) == 0) {
    const unsigned char* d = chunk_size >= 10 ? w.Get(20, 10) : nullptr;
    if (!d) return false;
    // Frame tag: bit 0 clear for a key frame; then the start code 9D 01 2A.
    if ((d[0] & 1) != 0 || d[3] != 0x9D || d[4] != 0x01 || d[5] != 0x2A) return false;
    return SetSize(r, Le16(d + 6) & 0x3FFF, Le16(d + 8) & 0x3FFF);
  }
  return false;
}

std::uint64_t Be64(const unsigned char* p) {
  return (static_cast<std::uint64_t>(Be32(p)) << 32) | Be32(p + 4);
}

// One box of an ISO base media file: where its content starts and where it ends.
struct Box {
  char type[4];
  std::uint64_t body = 0;
  std::uint64_t end = 0;
};

// Reads the box header at `pos` of a parent that ends at `limit`. A 64-bit size follows
// a size of 1; a size of 0 runs to the parent's end. False for a box that does not fit.
bool ReadBox(Window& w, std::uint64_t pos, std::uint64_t limit, Box& box) {
  if (pos >= limit || limit - pos < 8) return false;
  const unsigned char* p = w.Get(pos, 8);
  if (!p) return false;
  std::memcpy(box.type, p + 4, 4);
  std::uint64_t size = Be32(p);
  std::uint64_t header = 8;
  if (size == 1) {
    const unsigned char* q = w.Get(pos + 8, 8);
    if (!q) return false;
    size = Be64(q);
    header = 16;
  } else if (size == 0) {
    size = limit - pos;
  }
  if (size < header || size > limit - pos) return false;
  box.body = pos + header;
  box.end = pos + size;
  return true;
}

// Finds the first child of type `type` among the boxes from `pos` to `limit`.
bool FindBox(Window& w, std::uint64_t pos, std::uint64_t limit, const char* type, Box& found) {
  for (int i = 0; i < kMaxBoxesPerLevel && pos < limit; ++i) {
    Box box;
    if (!ReadBox(w, pos, limit, box)) return false;
    if (std::memcmp(box.type, type, 4) == 0) {
      found = box;
      return true;
    }
    pos = box.end;
  }
  return false;
}

// The brands of an ftyp box that mark an AVIF (or generic HEIF still image) file.
bool IsAvifBrand(const unsigned char* b) {
  return std::memcmp(b, "avif", 4) == 0 || std::memcmp(b, "avis", 4) == 0 ||
         std::memcmp(b, "mif1", 4) == 0;
}

// AVIF: the size is the ispe property of the primary item. meta holds pitm (the
// primary item's id) and iprp, whose ipco lists the properties (1-based) and whose
// ipma maps each item to its property indexes. A rotation by 90 or 270 degrees (irot)
// swaps the sides, as decoders show the image.
bool ProbeAvif(Window& w, ProbeResult& r) {
  constexpr std::uint64_t kEnd = ~std::uint64_t{0};
  Box ftyp;
  if (!ReadBox(w, 0, kEnd, ftyp) || std::memcmp(ftyp.type, "ftyp", 4) != 0) return false;
  if (ftyp.end - ftyp.body < 8) return false;
  // The major brand, a minor version, then the compatible brands.
  bool branded = false;
  std::uint64_t at = ftyp.body;
  for (int i = 0; i < kMaxBrands && at + 4 <= ftyp.end && !branded; ++i, at += (i == 1 ? 8 : 4)) {
    const unsigned char* b = w.Get(at, 4);
    if (!b) return false;
    branded = IsAvifBrand(b);
  }
  if (!branded) return false;

  Box meta, pitm, iprp, ipco, ipma;
  if (!FindBox(w, ftyp.end, kEnd, "meta", meta) || meta.end - meta.body < 4) return false;
  const std::uint64_t children = meta.body + 4;  // version and flags
  if (!FindBox(w, children, meta.end, "pitm", pitm) ||
      !FindBox(w, children, meta.end, "iprp", iprp)) {
    return false;
  }
  // pitm: version and flags, then the item id, 16 bits in version 0 and 32 after.
  const std::uint64_t pitm_size = pitm.end - pitm.body;
  const unsigned char* pv = pitm_size >= 6 ? w.Get(pitm.body, 6) : nullptr;
  if (!pv) return false;
  std::uint32_t primary = Be16(pv + 4);
  if (pv[0] >= 1) {
    const unsigned char* q = pitm_size >= 8 ? w.Get(pitm.body, 8) : nullptr;
    if (!q) return false;
    primary = Be32(q + 4);
  }
  if (!FindBox(w, iprp.body, iprp.end, "ipco", ipco) ||
      !FindBox(w, iprp.body, iprp.end, "ipma", ipma)) {
    return false;
  }

  // The primary item's property indexes, from ipma.
  const unsigned char* mh = w.Get(ipma.body, 8);
  if (!mh || ipma.end - ipma.body < 8) return false;
  const unsigned version = mh[0];
  const bool wide_index = (mh[3] & 1) != 0;
  const std::uint32_t entries = Be32(mh + 4);
  if (entries > kMaxItemEntries) return false;
  std::uint64_t pos = ipma.body + 8;
  std::uint32_t indexes[255];
  unsigned count = 0;
  bool found = false;
  for (std::uint32_t e = 0; e < entries && !found; ++e) {
    const std::size_t id_size = version < 1 ? 2 : 4;
    if (ipma.end - pos < id_size + 1) return false;
    const unsigned char* q = w.Get(pos, id_size + 1);
    if (!q) return false;
    const std::uint32_t id = id_size == 2 ? Be16(q) : Be32(q);
    const unsigned n = q[id_size];
    pos += id_size + 1;
    const std::size_t each = wide_index ? 2 : 1;
    if (ipma.end - pos < n * each) return false;
    if (id == primary) {
      found = true;
      for (unsigned k = 0; k < n; ++k) {
        const unsigned char* a = w.Get(pos + k * each, each);
        if (!a) return false;
        indexes[count++] = wide_index ? (Be16(a) & 0x7FFF) : (a[0] & 0x7Fu);
      }
    }
    pos += n * each;
  }
  if (!found) return false;

  // The properties, 1-based in ipco order; index 0 means none.
  std::uint32_t width = 0, height = 0;
  bool have_size = false, quarter_turn = false;
  pos = ipco.body;
  for (std::uint32_t index = 1; index <= kMaxItemEntries && pos < ipco.end; ++index) {
    Box prop;
    if (!ReadBox(w, pos, ipco.end, prop)) return false;
    pos = prop.end;
    bool used = false;
    for (unsigned k = 0; k < count; ++k) used = used || indexes[k] == index;
    if (!used) continue;
    if (std::memcmp(prop.type, "ispe", 4) == 0 && !have_size) {
      if (prop.end - prop.body < 12) return false;
      const unsigned char* q = w.Get(prop.body, 12);
      if (!q) return false;
      width = Be32(q + 4);
      height = Be32(q + 8);
      have_size = true;
    } else if (std::memcmp(prop.type, "irot", 4) == 0) {
      if (prop.end - prop.body < 1) return false;
      const unsigned char* q = w.Get(prop.body, 1);
      if (!q) return false;
      quarter_turn = (q[0] & 1) != 0;
    }
  }
  if (!have_size) return false;
  if (quarter_turn) std::swap(width, height);
  return SetSize(r, width, height);
}

ImageFormat Sniff(const unsigned char* p, std::size_t n) {
  if (n >= 6 && (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0)) {
    return ImageFormat::Gif;
  }
  static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (n >= 8 && std::memcmp(p, kPng, 8) == 0) return ImageFormat::Png;
  if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return ImageFormat::Jpeg;
  if (n >= 4 && (std::memcmp(p, "II*\0", 4) == 0 || std::memcmp(p, "MM\0*", 4) == 0)) {
    return ImageFormat::Tiff;
  }
  if (n >= 2 && p[0] == 'B' && p[1] == 'M') return ImageFormat::Bmp;
  if (n >= 12 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WEBP", 4) == 0) {
    return ImageFormat::Webp;
  }
  if (n >= 12 && std::memcmp(p + 4, "ftyp", 4) == 0) return ImageFormat::Avif;
  return ImageFormat::Unknown;
}

class MemorySource : public IProbeSource {
 public:
  MemorySource(const unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}
  std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) override {
    if (offset >= m_size) return 0;
    const std::size_t n = std::min<std::uint64_t>(size, m_size - offset);
    std::memcpy(buffer, m_data + offset, n);
    return n;
  }

 private:
  const unsigned char* m_data;
  std::size_t m_size;
};

// Reads an unbuffered file of known length, seeking only when a read does not continue
// the last one and never asking past the end (which would cost a read that returns 0).
class FileSource : public IProbeSource {
 public:
  FileSource(std::FILE* file, std::uint64_t length) : m_file(file), m_length(length) {}
  std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) override {
    if (offset >= m_length || offset > static_cast<std::uint64_t>(LONG_MAX)) return 0;
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_length - offset));
    if (!m_positionKnown || offset != m_position) {
      if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0) {
        m_positionKnown = false;
        return 0;
      }
    }
    const std::size_t got = std::fread(buffer, 1, size, m_file);
    m_position = offset + got;
    m_positionKnown = !std::ferror(m_file);
    return got;
  }

 private:
  std::FILE* m_file;
  std::uint64_t m_length;
  std::uint64_t m_position = 0;
  bool m_positionKnown = true;  // a file just opened stands at its start
};

}  // namespace

ProbeResult ProbeImage(IProbeSource& source) {
  ProbeResult r;
  Window w(source);
  std::size_t available = 0;
  const unsigned char* head = w.Head(available);
  if (!head) return r;
  r.format = Sniff(head, available);
  bool ok = false;
  switch (r.format) {
    case ImageFormat::Gif: ok = ProbeGif(w, r); break;
    case ImageFormat::Png: ok = ProbePng(w, r); break;
    case ImageFormat::Jpeg: ok = ProbeJpeg(w, r); break;
    case ImageFormat::Tiff: ok = ProbeTiff(w, r); break;
    case ImageFormat::Bmp: ok = ProbeBmp(w, r); break;
    case ImageFormat::Webp: ok = ProbeWebp(w, r); break;
    case ImageFormat::Avif: ok = ProbeAvif(w, r); break;
    case ImageFormat::Unknown: break;
  }
  r.ok = ok;
  if (!ok) r.width = r.height = 0;
  return r;
}

ProbeResult ProbeImageBytes(const unsigned char* data, std::size_t size) {
  MemorySource source(data, size);
  return ProbeImage(source);
}

ProbeResult ProbeOpenFile(std::FILE* file, std::int64_t length) {
  if (length <= 0) return {};
  // The window is the only buffer: stdio's own would read a second copy.
  std::setvbuf(file, nullptr, _IONBF, 0);
  FileSource source(file, static_cast<std::uint64_t>(length));
  return ProbeImage(source);
}

bool GetImageSize(const std::filesystem::path& path, std::int32_t& width, std::int32_t& height) {
  width = 0;
  height = 0;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::FILE* file = OpenFileForReading(path);
  if (!file) return false;
  const ProbeResult r = ProbeOpenFile(file, GetOpenFileLength(file));
  std::fclose(file);
  if (!r.ok) return false;
  width = r.width;
  height = r.height;
  return true;
}

const char* ImageFormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::Gif: return "GIF";
    case ImageFormat::Png: return "PNG";
    case ImageFormat::Jpeg: return "JPEG";
    case ImageFormat::Tiff: return "TIFF";
    case ImageFormat::Bmp: return "BMP";
    case ImageFormat::Webp: return "WebP";
    case ImageFormat::Avif: return "AVIF";
    case ImageFormat::Unknown: break;
  }
  return "unknown";
}

}  // namespace vg
