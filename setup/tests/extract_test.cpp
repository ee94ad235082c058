// Writing the engine and the Lua library from the payload.
#include <gtest/gtest.h>

#include "tests/launcher_test_util.h"

namespace vgsetup::test {
namespace {

using extract_test = FakeLauncherTest;

const char* const kEngine = "C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe";
const char* const kLua = "C:\\Temp\\_qv_kb_temp_0\\lua5.3.dll";

// Runs the steps before the engine step; returns the extractor ready for ExtractEngine.
void Prepared(CFakePlatform& f, CSetupExtractor& ex, const std::string& bytes) {
  f.archive = bytes;
  EXPECT_EQ(ex.LocateDataSegment(), 0);
  EXPECT_EQ(ex.PrepareTempFolder(), 0);
}

TEST_F(extract_test, writes_both_files_and_leaves_the_offset_at_the_setup_data) {
  for (std::size_t engineSize : {0u, 1u, 1500u, 1999u, 2000u, 2001u, 70000u}) {
    SCOPED_TRACE(engineSize);
    CFakePlatform f;
    CSetupExtractor ex(f);
    SetupFile file;
    file.engine = PatternBytes(engineSize, 7);
    file.lua = PatternBytes(3000, 8);
    Prepared(f, ex, file.Build());
    ASSERT_EQ(ex.ExtractEngine(), 0) << ex.m_szError.str();
    // Only the first 2,000 bytes are stored scrambled; the engine comes out as it went in.
    EXPECT_EQ(f.files[kEngine], file.engine);
    EXPECT_EQ(ex.m_nOffset, 32000 + 34 + engineSize);
    ASSERT_EQ(ex.ExtractLuaLibrary(), 0) << ex.m_szError.str();
    EXPECT_EQ(f.files[kLua], file.lua);
    EXPECT_EQ(ex.m_nOffset, file.DataOffset());
  }
}

TEST_F(extract_test, engine_failures) {
  const struct {
    const char* name;
    void (*arrange)(CFakePlatform&, SetupFile&);
    int result;
    const char* text;
  } cases[] = {
      {"no memory", [](CFakePlatform& f, SetupFile&) { f.allocFailsFor = {6}; }, 54,
       "Failed to alloc memory."},
      {"read fails", [](CFakePlatform& f, SetupFile&) { f.readFailsFrom = 32036; }, 54,
       "Failed to read setup engine"},
      {"size of the file unknown", [](CFakePlatform& f, SetupFile&) { f.sizeQueryFails = true; },
       54, "Failed to read setup engine"},
      {"cannot create", [](CFakePlatform& f, SetupFile&) { f.openFailsFor = {"qvsetup.exe"}; }, 55,
       "Unable to open setup file"},
      {"short write", [](CFakePlatform& f, SetupFile&) { f.writeFailsFor = {"qvsetup.exe"}; }, 55,
       "Unable to write to setup file."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CFakePlatform f;
    CSetupExtractor ex(f);
    SetupFile file;
    Prepared(f, ex, file.Build());
    c.arrange(f, file);
    EXPECT_EQ(ex.ExtractEngine(), c.result);
    EXPECT_EQ(ex.m_szError.str(), c.text);
  }
}

TEST_F(extract_test, sizes_beyond_the_end_of_the_file_are_refused_without_allocating_them) {
  for (std::uint64_t size : {7ull, 1000000ull, 0xFFFFFFFFull, 0x100000000ull, ~0ull}) {
    SCOPED_TRACE(size);
    CFakePlatform f;
    CSetupExtractor ex(f);
    std::string bytes = SetupFile().Build();
    unsigned char n[8];
    WriteLe64(n, size);
    bytes.replace(32000 + 26, 8, reinterpret_cast<char*>(n), 8);
    f.archive = bytes.substr(0, 32000 + 34 + 6);  // the engine's six bytes, then the end
    ASSERT_EQ(ex.LocateDataSegment(), 0);
    ASSERT_EQ(ex.PrepareTempFolder(), 0);
    EXPECT_EQ(ex.ExtractEngine(), 54);
    EXPECT_EQ(ex.m_szError.str(), "Failed to read setup engine");
    EXPECT_LT(f.largestAllocation, 200000u);
    EXPECT_FALSE(f.files.count(kEngine));
  }
}

TEST(buffer_room, the_byte_after_the_file_never_wraps) {
  constexpr std::uint64_t k32 = 0xFFFFFFFFull;  // SIZE_MAX of a 32-bit process
  const struct {
    std::uint64_t head, size, limit;
    bool fits;
  } cases[] = {
      {0, 0, k32, true},
      {0, k32 - 1, k32, true},  // the buffer is 0xFFFFFFFF bytes
      {0, k32, k32, false},     // size + 1 would be 0
      {2000, k32 - 2001, k32, true},
      {2000, k32 - 2000, k32, false},  // head + size + 1 would be 0
      {2000, k32 - 1999, k32, false},  // head + size would be 0
      {2000, 0x100000000ull, k32, false},
      {k32, 0, k32, false},
      {2000, ~0ull - 1999, ~0ull, false},  // the same on 64 bits
      {2000, ~0ull - 2001, ~0ull, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.head << " + " << c.size << " within " << c.limit);
    EXPECT_EQ(FitsInAddressSpace(c.head, c.size, c.limit), c.fits);
  }
}

TEST_F(extract_test, a_size_a_32_bit_process_cannot_hold_gives_54) {
  // The file claims to be large enough, so only the address space is left to refuse it.
  for (std::uint64_t size : {0xFFFFFFFFull, 0x100000000ull + 1999}) {
    SCOPED_TRACE(size);
    CFakePlatform f;
    CSetupExtractor ex(f);
    f.addressLimit = 0xFFFFFFFFull;
    SetupFile file;
    file.engine = PatternBytes(3000, 9);  // the scrambled head can be read
    std::string bytes = file.Build();
    unsigned char n[8];
    WriteLe64(n, size);
    bytes.replace(32000 + 26, 8, reinterpret_cast<char*>(n), 8);
    f.archive = bytes;
    f.claimedSize = 0x200000000ull;
    ASSERT_EQ(ex.LocateDataSegment(), 0);
    ASSERT_EQ(ex.PrepareTempFolder(), 0);
    EXPECT_EQ(ex.ExtractEngine(), 54);
    EXPECT_EQ(ex.m_szError.str(), "Failed to alloc memory.");
    EXPECT_FALSE(f.files.count(kEngine));
  }
  // The default allocation refuses what cannot be addressed, and allocates an empty buffer.
  CFakePlatform f;
  EXPECT_EQ(f.CLauncherPlatform::Allocate(SIZE_MAX), nullptr);
  EXPECT_NE(f.CLauncherPlatform::Allocate(0), nullptr);
}

TEST_F(extract_test, lua_library_failures) {
  const std::string whole = SetupFile().Build();  // engine "ENGINE", Lua "LUA", data "DATA"
  const std::size_t luaField = 32000 + 34 + 6;
  const struct {
    const char* name;
    std::string bytes;
    void (*arrange)(CFakePlatform&);
    int result;
    const char* text;
  } cases[] = {
      {"size field missing", whole.substr(0, luaField), [](CFakePlatform&) {}, 58,
       "Could not find Lua DLL file size"},
      {"size field cut", whole.substr(0, luaField + 5), [](CFakePlatform&) {}, 58,
       "Could not find Lua DLL file size"},
      {"library cut", whole.substr(0, luaField + 8 + 2), [](CFakePlatform&) {}, 54,
       "Failed to read Lua DLL"},
      {"no memory", whole, [](CFakePlatform& f) { f.allocFailsFor = {3}; }, 54,
       "Failed to alloc memory."},
      {"read fails", whole, [](CFakePlatform& f) { f.readFailsFrom = 32000 + 34 + 6 + 8 + 1; }, 54,
       "Failed to read Lua DLL"},
      {"cannot create", whole, [](CFakePlatform& f) { f.openFailsFor = {"lua5.3.dll"}; }, 55,
       "Unable to open Lua DLL file"},
      {"short write", whole, [](CFakePlatform& f) { f.writeFailsFor = {"lua5.3.dll"}; }, 55,
       "Unable to write to Lua file."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CFakePlatform f;
    CSetupExtractor ex(f);
    f.archive = c.bytes;
    ASSERT_EQ(ex.LocateDataSegment(), 0);
    ASSERT_EQ(ex.PrepareTempFolder(), 0);
    ASSERT_EQ(ex.ExtractEngine(), 0);
    c.arrange(f);
    EXPECT_EQ(ex.ExtractLuaLibrary(), c.result);
    EXPECT_EQ(ex.m_szError.str(), c.text);
    if (c.result == 58) {
      EXPECT_FALSE(f.files.count(kLua));
    }
  }
}

TEST_F(extract_test, a_folder_without_an_ansi_form_cannot_take_the_engine) {
  fake.archive = SetupFile().Build();
  fake.tempBase = "C:\\Users\\J\xC3\xBCrgen\\Temp\\";
  fake.dirs.insert("C:\\Users");
  fake.dirs.insert("C:\\Users\\J\xC3\xBCrgen");
  fake.dirs.insert("C:\\Users\\J\xC3\xBCrgen\\Temp");
  ASSERT_EQ(extractor.LocateDataSegment(), 0);
  ASSERT_EQ(extractor.PrepareTempFolder(), 0);
  EXPECT_EQ(extractor.ExtractEngine(), 55);
  EXPECT_EQ(extractor.m_szError.str(), "Unable to open setup file");
}

}  // namespace
}  // namespace vgsetup::test
