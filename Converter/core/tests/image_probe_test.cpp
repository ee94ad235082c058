#include "core/image_probe.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

#include "core/tests/image_fixtures.h"
#include "core/tests/test_util.h"

namespace vg {
namespace {

using namespace vg::test;

ProbeResult Probe(const std::string& bytes) {
  return ProbeImageBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string Big(std::size_t n, char fill = 'x') { return std::string(n, fill); }

struct Valid {
  const char* name;
  std::string bytes;
  ImageFormat format;
  std::int32_t width;
  std::int32_t height;
};

std::vector<Valid> ValidHeaders() {
  // EXIF carries a thumbnail with its own frame header, which must be skipped with it.
  const std::string app1 =
      JpegSegment(0xE1, "Exif" + std::string(2, '\0') + Big(20) + JpegHeader(160, 120) + Big(200));
  // DHT, DAC and JPG sit among the frame markers; payloads that would read as another
  // size show when one is taken for a frame header.
  const std::string dht = JpegSegment(0xC4, SofPayload(1111, 2222));
  const std::string dac = JpegSegment(0xCC, SofPayload(3333, 4444));
  const std::string jpg = JpegSegment(0xC8, SofPayload(5555, 6666));
  return {
      {"gif87a", GifHeader(3, 5, "87a"), ImageFormat::Gif, 3, 5},
      {"gif89a max", GifHeader(65535, 1), ImageFormat::Gif, 65535, 1},
      {"png", PngHeader(640, 48), ImageFormat::Png, 640, 48},
      {"png largest", PngHeader(0x7FFFFFFF, 1), ImageFormat::Png, 0x7FFFFFFF, 1},
      {"jpeg baseline", JpegHeader(800, 600, 0xC0, JfifApp0()), ImageFormat::Jpeg, 800, 600},
      {"jpeg progressive", JpegHeader(17, 9, 0xC2, JfifApp0() + app1), ImageFormat::Jpeg, 17, 9},
      {"jpeg arithmetic", JpegHeader(65535, 2, 0xC9), ImageFormat::Jpeg, 65535, 2},
      {"jpeg lossless", JpegHeader(4, 4, 0xC3), ImageFormat::Jpeg, 4, 4},
      {"jpeg SOF15", JpegHeader(5, 6, 0xCF), ImageFormat::Jpeg, 5, 6},
      {"jpeg tables first", JpegHeader(10, 20, 0xC1, dht + dac + jpg), ImageFormat::Jpeg, 10, 20},
      {"jpeg fill and restart",
       JpegHeader(7, 8, 0xC0, JfifApp0() + std::string("\xFF\xFF\xFF\xD3\xFF\x01", 6)),
       ImageFormat::Jpeg, 7, 8},
      {"jpeg stray bytes", JpegHeader(7, 8, 0xC0, JfifApp0() + std::string("ab\xFF\x00q", 5)),
       ImageFormat::Jpeg, 7, 8},
      {"tiff LE short", TiffHeader(300, 200, true), ImageFormat::Tiff, 300, 200},
      {"tiff BE short", TiffHeader(300, 200, false), ImageFormat::Tiff, 300, 200},
      {"tiff LE long", TiffHeader(70000, 3, true, 4), ImageFormat::Tiff, 70000, 3},
      {"tiff BE long far", TiffHeader(1, 100000, false, 4, 50000), ImageFormat::Tiff, 1, 100000},
      {"bmp v3", BmpHeader(640, 480), ImageFormat::Bmp, 640, 480},
      {"bmp top-down", BmpHeader(12, -34), ImageFormat::Bmp, 12, 34},
      {"bmp v5", BmpHeader(5, 6, 124), ImageFormat::Bmp, 5, 6},
      {"bmp os2 core", BmpHeader(65535, 3, 12), ImageFormat::Bmp, 65535, 3},
      {"webp lossy", WebpHeader("VP8 ", 16383, 7), ImageFormat::Webp, 16383, 7},
      {"webp lossless", WebpHeader("VP8L", 3, 16384), ImageFormat::Webp, 3, 16384},
      {"webp extended", WebpHeader("VP8X", 16777216, 9), ImageFormat::Webp, 16777216, 9},
      {"avif", AvifHeader(4000, 3000), ImageFormat::Avif, 4000, 3000},
      {"avif sequence brand", AvifHeader(64, 48, "avismsf1"), ImageFormat::Avif, 64, 48},
      {"heif still image brand", AvifHeader(5, 6, "mif1"), ImageFormat::Avif, 5, 6},
      {"avif compatible brand only", AvifHeader(70000, 1, "heixmif1avif"), ImageFormat::Avif, 70000,
       1},
      {"avif rotated", AvifHeader(300, 100, "avif", true), ImageFormat::Avif, 100, 300},
  };
}

TEST(image_probe_test, reads_each_format) {
  for (const auto& v : ValidHeaders()) {
    const ProbeResult r = Probe(v.bytes);
    EXPECT_TRUE(r.ok) << v.name;
    EXPECT_EQ(r.format, v.format) << v.name;
    EXPECT_EQ(r.width, v.width) << v.name;
    EXPECT_EQ(r.height, v.height) << v.name;
  }
}

// Every header ends with the last byte the probe needs: any shorter prefix is cut off.
TEST(image_probe_test, every_truncation_fails_with_zero_size) {
  for (const auto& v : ValidHeaders()) {
    for (std::size_t n = 0; n < v.bytes.size(); ++n) {
      const ProbeResult r = Probe(v.bytes.substr(0, n));
      ASSERT_FALSE(r.ok) << v.name << " cut to " << n << " bytes";
      ASSERT_EQ(r.width, 0) << v.name;
      ASSERT_EQ(r.height, 0) << v.name;
    }
  }
}

TEST(image_probe_test, refuses_inconsistent_headers) {
  std::string bad_crc = PngHeader(10, 10);
  bad_crc[20] ^= 1;  // width changed after the CRC was taken
  std::string ihdr_12 = PngHeader(10, 10);
  ihdr_12[11] = 12;
  std::string tiff_bigtiff = TiffHeader(10, 10, true);
  tiff_bigtiff[2] = 43;
  std::string tiff_ifd_in_header = TiffHeader(10, 10, true);
  tiff_ifd_in_header[4] = 4;
  std::string tiff_count_2 = TiffHeader(10, 10, true);
  tiff_count_2[8 + 2 + 4] = 2;  // ImageWidth with two values
  std::string tiff_rational = TiffHeader(10, 10, false);
  tiff_rational[8 + 2 + 3] = 5;
  std::string tiff_no_length = TiffHeader(10, 10, true);
  tiff_no_length[8 + 2 + 12] = 2;  // tag 257 becomes 258
  std::string tiff_ifd_past_end = TiffHeader(10, 10, true);
  tiff_ifd_past_end[5] = 0x10;
  std::string webp_inter_frame = WebpHeader("VP8 ", 10, 10);
  webp_inter_frame[20] |= 1;
  std::string webp_no_start_code = WebpHeader("VP8 ", 10, 10);
  webp_no_start_code[23] = 0;
  std::string webp_lossless_signature = WebpHeader("VP8L", 10, 10);
  webp_lossless_signature[20] = 0x2E;
  std::string webp_chunk_past_riff = WebpHeader("VP8X", 10, 10);
  webp_chunk_past_riff[4] = 12;
  // The primary item becomes item 3, which ipma does not list.
  std::string avif_other_primary = AvifHeader(10, 10);
  avif_other_primary[avif_other_primary.find("pitm") + 9] = 3;
  // The ispe of the primary item renamed: the item has no size.
  std::string avif_no_size = AvifHeader(10, 10);
  avif_no_size[avif_no_size.rfind("ispe")] = 'x';
  std::string avif_box_past_meta = AvifHeader(10, 10);
  avif_box_past_meta[avif_box_past_meta.find("iprp") - 1] = 0x7F;
  std::string sof_bad_length = JpegHeader(10, 10);
  sof_bad_length[5] = 16;  // 17 is right for three components

  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "just some text, not an image\n"},
      {"webp cut after chunk name", "RIFF\x10\0\0\0WEBPVP8 "},
      {"gif width 0", GifHeader(0, 5)},
      {"gif height 0", GifHeader(5, 0)},
      {"gif version", "GIF90a" + GifHeader(1, 1).substr(6)},
      {"png bad crc", bad_crc},
      {"png IHDR length", ihdr_12},
      {"png other first chunk", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIDAT", 16) + Big(17)},
      {"png width 2^31", PngHeader(0x80000000u, 1)},
      {"png height 0", PngHeader(1, 0)},
      {"jpeg scan before frame", std::string("\xFF\xD8", 2) + JpegSegment(0xDA, Big(10)) +
                                     JpegSegment(0xC0, SofPayload(9, 9))},
      {"jpeg end before frame",
       std::string("\xFF\xD8\xFF\xD9", 4) + JpegSegment(0xC0, SofPayload(9, 9))},
      {"jpeg second SOI", std::string("\xFF\xD8\xFF\xD8", 4) + JpegSegment(0xC0, SofPayload(9, 9))},
      {"jpeg segment length 1",
       std::string("\xFF\xD8\xFF\xE0\x00\x01", 6) + JpegSegment(0xC0, SofPayload(9, 9))},
      {"jpeg height 0 (DNL)", JpegHeader(10, 0)},
      {"jpeg width 0", JpegHeader(0, 10)},
      {"jpeg frame length", sof_bad_length},
      {"jpeg segments run past end",
       std::string("\xFF\xD8", 2) + JpegSegment(0xE1, Big(100)).substr(0, 50)},
      {"tiff bigtiff", tiff_bigtiff},
      {"tiff ifd inside header", tiff_ifd_in_header},
      {"tiff count 2", tiff_count_2},
      {"tiff rational", tiff_rational},
      {"tiff without length", tiff_no_length},
      {"tiff ifd past end", tiff_ifd_past_end},
      {"tiff width 0", TiffHeader(0, 10, true)},
      {"bmp header size 20", BmpHeader(10, 10, 20)},
      {"bmp width negative", BmpHeader(-10, 10)},
      {"bmp height 0", BmpHeader(10, 0)},
      {"bmp height INT32_MIN", BmpHeader(10, INT32_MIN)},
      {"webp inter frame", webp_inter_frame},
      {"webp without start code", webp_no_start_code},
      {"webp lossless signature", webp_lossless_signature},
      {"webp chunk past riff", webp_chunk_past_riff},
      {"webp other first chunk", std::string("RIFF\x20\0\0\0WEBPALPH\x0a\0\0\0", 20) + Big(10)},
      {"riff of another kind", std::string("RIFF\x20\0\0\0WAVEfmt \x10\0\0\0", 20) + Big(16)},
      {"avif brand missing", AvifHeader(10, 10, "heicheix")},
      {"avif primary not in ipma", avif_other_primary},
      {"avif primary without ispe", avif_no_size},
      {"avif box runs past meta", avif_box_past_meta},
      {"avif width 0", AvifHeader(0, 10)},
      {"mp4 video",
       IsoBox("ftyp", "isom" + std::string(4, '\0') + "isomavc1") + IsoBox("moov", "")},
  };
  for (const auto& c : cases) {
    const ProbeResult r = Probe(c.bytes);
    EXPECT_FALSE(r.ok) << c.name;
    EXPECT_EQ(r.width, 0) << c.name;
    EXPECT_EQ(r.height, 0) << c.name;
  }
}

// A source that counts what the probe asks of it.
class CountingSource : public IProbeSource {
 public:
  explicit CountingSource(std::string data) : m_data(std::move(data)) {}
  std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) override {
    ++reads;
    if (offset >= m_data.size()) return 0;
    const std::size_t n = std::min<std::size_t>(size, m_data.size() - offset);
    std::memcpy(buffer, m_data.data() + offset, n);
    bytes += n;
    return n;
  }
  int reads = 0;
  std::size_t bytes = 0;

 private:
  std::string m_data;
};

TEST(image_probe_test, jpeg_seeks_past_large_segments) {
  // Three full-size APP segments (about 196 KB) before the frame header.
  std::string before = JfifApp0();
  for (unsigned m : {0xE1u, 0xE2u, 0xEDu})
    before += JpegSegment(m, Big(65533, static_cast<char>(m)));
  CountingSource source(JpegHeader(1920, 1080, 0xC0, before) + Big(100000));
  const ProbeResult r = ProbeImage(source);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.width, 1920);
  EXPECT_EQ(r.height, 1080);
  EXPECT_LE(source.reads, 4);
  EXPECT_LE(source.bytes, 4u * 4096u);
}

TEST(image_probe_test, jpeg_with_many_small_segments) {
  std::string before;
  for (int i = 0; i < 3000; ++i) before += JpegSegment(0xFE, "comment " + std::to_string(i));
  const ProbeResult r = Probe(JpegHeader(33, 44, 0xC2, before));
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.width, 33);
  EXPECT_EQ(r.height, 44);
}

TEST(image_probe_test, file_type_comes_from_content_not_name) {
  TempDir dir;
  const struct {
    const char* name;
    std::string bytes;
    std::int32_t width, height;
  } cases[] = {
      {"png named.jpg", PngHeader(31, 17), 31, 17},
      {"gif named.tif", GifHeader(2, 3), 2, 3},
      {"jpeg named.png", JpegHeader(5, 4), 5, 4},
      {"tiff named.gif", TiffHeader(9, 8, false), 9, 8},
      {"bmp without extension", BmpHeader(6, 7), 6, 7},
      {"webp named.png", WebpHeader("VP8L", 12, 13), 12, 13},
      {"avif named.jpg", AvifHeader(14, 15), 14, 15},
      {"text named.jpg", "not a picture", 0, 0},
  };
  for (const auto& c : cases) {
    WriteBytes(dir / c.name, c.bytes + Big(5000, '\0'));
    std::int32_t w = -1, h = -1;
    EXPECT_EQ(GetImageSize(dir / c.name, w, h), c.width != 0) << c.name;
    EXPECT_EQ(w, c.width) << c.name;
    EXPECT_EQ(h, c.height) << c.name;
  }
}

TEST(image_probe_test, file_that_is_not_a_readable_image_gives_zero) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder.png");
  ASSERT_EQ(mkfifo((dir / "pipe.png").c_str(), 0600), 0);
  for (const char* name : {"missing.png", "folder.png", "pipe.png"}) {
    std::int32_t w = 7, h = 7;
    EXPECT_FALSE(GetImageSize(dir / name, w, h)) << name;
    EXPECT_EQ(w, 0) << name;
    EXPECT_EQ(h, 0) << name;
  }
}

// --- Agreement with ImageMagick ------------------------------------------------------

struct Shell {
  int status = -1;
  std::string out;
};

Shell RunShell(const std::string& command) {
  Shell r;
  std::FILE* p = popen(command.c_str(), "r");
  if (!p) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct Identified {
  std::string magick;
  std::int32_t width = 0, height = 0;
};

// What `identify -ping` says of the first image of each file, by file. For GIF the
// logical screen (the page size), which is what the probe reports.
std::map<std::string, Identified> Identify(const std::vector<std::string>& files) {
  std::map<std::string, Identified> result;
  std::string command = "identify -ping -format '%m %w %h %W %H %i\\n'";
  for (const auto& f : files) command += " " + Quote(f + "[0]");
  command += " 2>/dev/null";
  const Shell s = RunShell(command);
  std::istringstream lines(s.out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    Identified id;
    std::int32_t page_w = 0, page_h = 0;
    std::string name;
    fields >> id.magick >> id.width >> id.height >> page_w >> page_h;
    fields.get();
    std::getline(fields, name);
    if (id.magick.rfind("GIF", 0) == 0) {
      id.width = page_w;
      id.height = page_h;
    }
    result[name] = id;
  }
  return result;
}

bool HasImageMagick() { return RunShell("convert -version >/dev/null 2>&1").status == 0; }

void Convert(const std::string& args) {
  const Shell s = RunShell("convert " + args + " 2>&1");
  ASSERT_EQ(s.status, 0) << "convert " << args << "\n" << s.out;
}

// Puts segments right after SOI of a JPEG file.
void InsertJpegSegments(const std::filesystem::path& file, const std::string& segments) {
  std::string bytes = ReadBytes(file);
  ASSERT_GE(bytes.size(), 2u);
  WriteBytes(file, bytes.substr(0, 2) + segments + bytes.substr(2));
}

TEST(image_probe_test, agrees_with_imagemagick_on_generated_images) {
  ASSERT_TRUE(HasImageMagick())
      << "ImageMagick (convert, identify) is needed: run scripts/install-deps.sh";
  TempDir dir;
  const std::string d = dir.path().string() + "/";
  const std::string grad = "-size 317x211 gradient:red-blue ";
  const struct {
    const char* name;
    std::string args;
    const char* coder;  // output format when the extension does not say it all
  } made[] = {
      {"base.jpg", grad + "-quality 85", ""},
      {"prog.jpg", grad + "-interlace JPEG", ""},
      {"exif.jpg", grad, ""},
      {"cmyk.jpg", grad + "-colorspace CMYK", ""},
      {"gray.jpg", grad + "-colorspace Gray", ""},
      {"plain.png", grad, ""},
      {"adam7.png", grad + "-interlace PNG", ""},
      {"palette.png", grad + "-colors 16", "PNG8:"},
      {"g87.gif", grad, "GIF87:"},
      {"g89.gif", grad, ""},
      {"page.gif", "-size 50x40 xc:red -page 300x200+10+10", ""},
      {"le.tif", grad + "-endian LSB", ""},
      {"be.tif", grad + "-endian MSB", ""},
      {"lzw.tif", grad + "-compress LZW", ""},
      {"big.tif", "-size 600x400 gradient:green-white -compress None", ""},
      {"multi.tif", "-size 40x30 xc:red -size 90x70 xc:blue -size 5x5 xc:green", ""},
      {"one.png", "-size 1x1 xc:white", ""},
      {"one.gif", "-size 1x1 xc:white", ""},
      {"one.jpg", "-size 1x1 xc:white", ""},
      {"one.tif", "-size 1x1 xc:white", ""},
      {"wide.png", "-size 10001x3 xc:gray", ""},
      {"wide.jpg", "-size 10001x3 xc:gray", ""},
      {"wide.gif", "-size 10001x3 xc:gray", ""},
      {"wide.tif", "-size 10001x3 xc:gray", ""},
      {"v5.bmp", "-size 29x13 xc:orange", ""},
      {"v3.bmp", "-size 29x13 xc:orange", "BMP3:"},
      {"v2.bmp", "-size 29x13 xc:orange", "BMP2:"},
      {"lossy.webp", grad + "-quality 80", ""},
      {"lossless.webp", grad + "-define webp:lossless=true", ""},
      {"alpha.webp", grad + "-alpha set -channel A -evaluate set 50% +channel", ""},
      {"anim.webp", "-delay 10 -size 40x30 xc:red -size 40x30 xc:blue", ""},
      {"wide.webp", "-size 10001x3 xc:gray", ""},
      {"plain.avif", grad, ""},
      {"alpha.avif", grad + "-alpha set -channel A -evaluate set 50% +channel", ""},
      {"one.avif", "-size 1x1 xc:white", ""},
  };
  std::vector<std::string> files;
  for (const auto& m : made) {
    ASSERT_NO_FATAL_FAILURE(Convert(m.args + " " + Quote(m.coder + d + m.name)));
    files.push_back(d + m.name);
  }
  // Large EXIF, ICC-sized and comment blocks push the frame header far past the first
  // kilobytes.
  ASSERT_NO_FATAL_FAILURE(InsertJpegSegments(
      d + "exif.jpg",
      JpegSegment(0xE1, "Exif" + std::string(2, '\0') + "II*" + std::string(1, '\0') +
                            std::string("\x08\0\0\0\0\0", 6) + Big(60000, '\0')) +
          JpegSegment(0xE2, Big(65533, 'i')) + JpegSegment(0xFE, Big(30000, 'c'))));
  ASSERT_GT(std::filesystem::file_size(d + "exif.jpg"), 150000u);

  const auto identified = Identify(files);
  ASSERT_EQ(identified.size(), files.size());
  for (const auto& f : files) {
    const auto it = identified.find(f + "[0]") != identified.end() ? identified.find(f + "[0]")
                                                                   : identified.find(f);
    ASSERT_NE(it, identified.end()) << f;
    std::int32_t w = 0, h = 0;
    EXPECT_TRUE(GetImageSize(f, w, h)) << f;
    EXPECT_EQ(w, it->second.width) << f;
    EXPECT_EQ(h, it->second.height) << f;
  }
  // The probe reports the first page of a multi-page file and the logical screen of a GIF.
  std::int32_t w = 0, h = 0;
  ASSERT_TRUE(GetImageSize(d + "multi.tif", w, h));
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 30);
  ASSERT_TRUE(GetImageSize(d + "page.gif", w, h));
  EXPECT_EQ(w, 300);
  EXPECT_EQ(h, 200);
}

// Images that happen to be installed on the machine (icons, documentation pictures):
// wherever ImageMagick reads one of the probe's types, the sizes must agree. Finds
// nothing to compare on a bare machine, which is not a failure.
TEST(image_probe_test, agrees_with_imagemagick_on_installed_images) {
  ASSERT_TRUE(HasImageMagick())
      << "ImageMagick (convert, identify) is needed: run scripts/install-deps.sh";
  const Shell found = RunShell(
      "find /usr/share -type f \\( -iname '*.png' -o -iname '*.jpg' -o -iname '*.jpeg' -o "
      "-iname '*.gif' -o -iname '*.tif' -o -iname '*.tiff' -o -iname '*.bmp' -o -iname '*.webp' -o "
      "-iname '*.avif' \\) "
      "-size -20M 2>/dev/null | LC_ALL=C sort");
  std::vector<std::string> all;
  std::istringstream lines(found.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.find('\t') == std::string::npos && line.find('\'') == std::string::npos) {
      all.push_back(line);
    }
  }
  // An even sample keeps the run short on machines with thousands of icons.
  constexpr std::size_t kSample = 400;
  std::vector<std::string> files;
  const std::size_t step = std::max<std::size_t>(1, all.size() / kSample);
  for (std::size_t i = 0; i < all.size(); i += step) files.push_back(all[i]);

  int compared = 0;
  for (std::size_t start = 0; start < files.size(); start += 100) {
    const std::vector<std::string> batch(files.begin() + start,
                                         files.begin() + std::min(files.size(), start + 100));
    const auto identified = Identify(batch);
    for (const auto& f : batch) {
      auto it = identified.find(f + "[0]");
      if (it == identified.end()) it = identified.find(f);
      if (it == identified.end()) continue;  // ImageMagick could not read it either
      const std::string& m = it->second.magick;
      const bool ours = m == "PNG" || m == "JPEG" || m == "TIFF" || m.rfind("GIF", 0) == 0 ||
                        m.rfind("BMP", 0) == 0 || m == "WEBP" || m == "AVIF";
      if (!ours) continue;
      std::int32_t w = 0, h = 0;
      EXPECT_TRUE(GetImageSize(f, w, h)) << f << " (" << m << ")";
      EXPECT_EQ(w, it->second.width) << f;
      EXPECT_EQ(h, it->second.height) << f;
      ++compared;
    }
  }
  std::printf("compared %d installed images with ImageMagick\n", compared);
}

}  // namespace
}  // namespace vg
