// Locating the payload in the launcher's own file and reading its header.
#include <gtest/gtest.h>

#include "tests/launcher_test_util.h"

namespace vgsetup::test {
namespace {

using locate_test = FakeLauncherTest;

// A file of `size` filler bytes with the signature and a header at `at`.
std::string FileWithSignatureAt(std::uint64_t at, std::size_t size = 0) {
  SetupFile f;
  f.imageSize = static_cast<std::size_t>(at);
  std::string bytes = f.Build();
  if (bytes.size() < size) bytes.resize(size, 'M');
  return bytes;
}

TEST_F(locate_test, finds_the_signature_anywhere_a_block_starting_below_10_mib_reaches) {
  // Blocks of 128,000 bytes start at 32,000, 160,000, ... 10,400,000 (the last below 10 MiB).
  for (std::uint64_t at : {32000ull, 100000ull, 159984ull, 160000ull, 5000000ull, 10399990ull,
                           10485700ull, 10485759ull, 10527984ull}) {
    SCOPED_TRACE(at);
    CFakePlatform f;
    CSetupExtractor ex(f);
    f.archive = FileWithSignatureAt(at);
    ASSERT_EQ(ex.LocateDataSegment(), 0) << ex.m_szError.str();
    EXPECT_EQ(ex.m_nOffset, at + 34);
    EXPECT_EQ(ex.m_nSetupSize, 6u);
  }
}

TEST_F(locate_test, finds_a_signature_that_straddles_two_blocks) {
  // Every split of the sixteen bytes over the boundary at 160,000, and over a later one.
  for (std::uint64_t at = 159985; at < 160000; ++at) {
    SCOPED_TRACE(at);
    CFakePlatform f;
    CSetupExtractor ex(f);
    f.archive = FileWithSignatureAt(at);
    ASSERT_EQ(ex.LocateDataSegment(), 0) << ex.m_szError.str();
    EXPECT_EQ(ex.m_nOffset, at + 34);
  }
  CFakePlatform f;
  CSetupExtractor ex(f);
  f.archive = FileWithSignatureAt(160000 + 5 * 128000 - 8);
  ASSERT_EQ(ex.LocateDataSegment(), 0);
  EXPECT_EQ(ex.m_nOffset, 160000 + 5 * 128000 - 8 + 34);
}

TEST_F(locate_test, the_first_occurrence_wins) {
  SetupFile f;
  f.imageSize = 40000;
  std::string bytes = f.Build();
  // A second, later signature (say inside the engine or the data) changes nothing, and a
  // partial one just before the first is passed over.
  bytes += Signature() + std::string(40, '\0');
  bytes.replace(39990, 8, Signature().substr(0, 8));
  CSetupExtractor& ex = Extractor(bytes);
  ASSERT_EQ(ex.LocateDataSegment(), 0);
  EXPECT_EQ(ex.m_nOffset, 40000u + 34);
}

TEST_F(locate_test, what_lies_outside_the_searched_range_is_not_found) {
  // Wholly before 32,000; straddling 32,000; in a block that starts at 10,528,000.
  for (std::uint64_t at : {0ull, 31000ull, 31995ull, 10528000ull, 10600000ull}) {
    SCOPED_TRACE(at);
    CFakePlatform f;
    CSetupExtractor ex(f);
    std::string bytes(std::max<std::uint64_t>(at + 100, 40000), 'M');
    bytes.replace(at, 16, Signature());
    f.archive = bytes;
    EXPECT_EQ(ex.LocateDataSegment(), 52);
    EXPECT_EQ(ex.m_szError.str(), "Could not find data segment");
  }
}

TEST_F(locate_test, the_search_stops_at_the_end_of_the_file_or_a_failed_read) {
  // A file that ends: nothing is read past its end.
  CSetupExtractor& ex = Extractor(std::string(200000, 'M'));
  EXPECT_EQ(ex.LocateDataSegment(), 52);
  EXPECT_EQ(ex.m_szError.str(), "Could not find data segment");
  for (std::uint64_t at : fake.readOffsets) EXPECT_LE(at, 200000u);
  EXPECT_LE(fake.readOffsets.size(), 3u);

  // A read that fails: the search ends there, although the signature comes later.
  CFakePlatform f;
  CSetupExtractor ex2(f);
  f.archive = FileWithSignatureAt(500000);
  f.readFailsFrom = 200000;
  EXPECT_EQ(ex2.LocateDataSegment(), 52);
  EXPECT_EQ(ex2.m_szError.str(), "Could not find data segment");
  EXPECT_EQ(f.readOffsets.back(), 160000u);

  // A file shorter than 32,000 bytes.
  CFakePlatform f3;
  CSetupExtractor ex3(f3);
  f3.archive = std::string(1000, 'M');
  EXPECT_EQ(ex3.LocateDataSegment(), 52);
}

TEST_F(locate_test, a_header_cut_short_names_the_missing_field) {
  const std::string whole = SetupFile().Build();
  const struct {
    std::size_t keep;  // bytes kept after the signature
    int result;
    const char* text;
  } cases[] = {
      {0, 52, "Could not find multi-segment indicator"},
      {1, 52, "Could not find compression type indicator"},
      {2, 52, "Could not find total size indicator"},
      {9, 52, "Could not find total size indicator"},
      {10, 53, "Could not find setup size"},
      {17, 53, "Could not find setup size"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keep);
    CFakePlatform f;
    CSetupExtractor ex(f);
    f.archive = whole.substr(0, 32000 + 16 + c.keep);
    EXPECT_EQ(ex.LocateDataSegment(), c.result);
    EXPECT_EQ(ex.m_szError.str(), c.text);
  }
}

TEST_F(locate_test, reads_the_indicators_and_sizes) {
  const struct {
    unsigned char indicator;
    bool multi;
  } cases[] = {{0, false}, {1, true}, {2, true}, {255, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.indicator));
    CFakePlatform f;
    CSetupExtractor ex(f);
    SetupFile file;
    file.multiSegment = c.indicator;
    file.compression = 201;
    file.totalSize = 0x123456789Aull;  // beyond 32 bits, handed over in full
    f.archive = file.Build();
    ASSERT_EQ(ex.LocateDataSegment(), 0);
    EXPECT_EQ(ex.m_bMultiSegment, c.multi);
    EXPECT_EQ(ex.m_bWait, !c.multi);
    EXPECT_EQ(ex.m_nCompressionType, 201u);
    EXPECT_EQ(ex.m_nTotalSize, 0x123456789Aull);
    EXPECT_EQ(ex.m_szArchivePath.str(), "C:\\Downloads\\setup.exe");
  }
  // "/W" survives a multi-segment header.
  CSetupExtractor& ex = Extractor([] {
    SetupFile file;
    file.multiSegment = 1;
    return file;
  }());
  ex.m_bWait = true;
  ASSERT_EQ(ex.LocateDataSegment(), 0);
  EXPECT_TRUE(ex.m_bWait);
  EXPECT_TRUE(ex.m_bMultiSegment);
}

TEST_F(locate_test, failures_to_open_or_allocate) {
  fake.archive = SetupFile().Build();
  fake.ownPathFails = true;
  EXPECT_EQ(extractor.LocateDataSegment(), 50);
  EXPECT_EQ(extractor.m_szError.str(), "Unable to open archive file");

  fake.ownPathFails = false;
  fake.openFailures = 1;
  EXPECT_EQ(extractor.LocateDataSegment(), 50);
  EXPECT_EQ(extractor.m_szError.str(), "Unable to open archive file");

  fake.allocFailsFor = {128000 + 15};
  EXPECT_EQ(extractor.LocateDataSegment(), 51);
  EXPECT_EQ(extractor.m_szError.str(), "Unable to allocate memory buffer");

  fake.allocFailsFor.clear();
  EXPECT_EQ(extractor.LocateDataSegment(), 0);
}

TEST_F(locate_test, a_path_without_an_ansi_form_sets_the_unicode_condition) {
  CSetupExtractor& ex = Extractor(SetupFile());
  ASSERT_EQ(ex.LocateDataSegment(), 0);
  EXPECT_FALSE(g_bUnicodePath);
  fake.unicodePath = true;
  ASSERT_EQ(ex.LocateDataSegment(), 0);
  EXPECT_TRUE(g_bUnicodePath);
}

}  // namespace
}  // namespace vgsetup::test
