// The settings file store: types, defaults, literal texts, atomic writing.
#include <gtest/gtest.h>

#include <wx/init.h>

#include "core/tests/test_util.h"
#include "settings/settings.h"
#include "ui/config_store.h"

namespace vg::ui {
namespace {

class config_store_test : public ::testing::Test {
 protected:
  wxInitializer m_wx;
  test::TempDir m_dir;
  std::filesystem::path m_file = m_dir / "Quillmere" / "Vellagard Web Converter.conf";
};

TEST_F(config_store_test, missing_file_reads_defaults_and_flush_creates_it) {
  auto store = CConfigSettingsStore::OpenFile(m_file);
  EXPECT_EQ(store->ReadInt("General", "Frame", 3), 3);
  EXPECT_EQ(store->ReadText("General", "Link", "default"), "default");
  EXPECT_TRUE(store->Flush());  // nothing written: no file needed
  EXPECT_FALSE(std::filesystem::exists(m_file));

  store->WriteInt("General", "Frame", 2);
  store->WriteText("General", "Target", "");
  ASSERT_TRUE(store->Flush());
  EXPECT_EQ(test::ListFolder(m_file.parent_path()),
            std::vector<std::string>{"Vellagard Web Converter.conf"});

  auto again = CConfigSettingsStore::OpenFile(m_file);
  EXPECT_EQ(again->ReadInt("General", "Frame", 0), 2);
  EXPECT_EQ(again->ReadText("General", "Target", "x"), "");  // stored empty, not deleted
}

TEST_F(config_store_test, values_round_trip_exactly) {
  const std::string texts[] = {
      "  leading and trailing spaces  ", "C:\\Users\\me\\Pictures",
      "$HOME and %TEMP% stay as typed",  "quotes \" and ; semicolons = equals # hash",
      "Grüße, 例え, \xF0\x9F\x98\x80",   "two\nlines",
  };
  const std::int32_t numbers[] = {0, -1, 2147483647, -2147483647 - 1, 0x00FFFFFF};
  {
    auto store = CConfigSettingsStore::OpenFile(m_file);
    for (std::size_t i = 0; i < std::size(texts); ++i)
      store->WriteText("General", "T" + std::to_string(i), texts[i]);
    for (std::size_t i = 0; i < std::size(numbers); ++i)
      store->WriteInt("Layout", "N" + std::to_string(i), numbers[i]);
    ASSERT_TRUE(store->Flush());
  }
  auto store = CConfigSettingsStore::OpenFile(m_file);
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    EXPECT_EQ(store->ReadText("General", "T" + std::to_string(i), "?"), texts[i]);
  }
  for (std::size_t i = 0; i < std::size(numbers); ++i) {
    EXPECT_EQ(store->ReadInt("Layout", "N" + std::to_string(i), 7), numbers[i]);
  }
}

TEST_F(config_store_test, the_whole_record_round_trips) {
  ConverterSettings s;
  s.PresentationStyle = 4;
  s.Link = "https://example.com/?a=1&b=2";
  s.Frame = 3;
  s.OtherFrame = "main";
  s.SlideshowDelay = 250;
  s.BackColor = 0x00102030;
  s.DomainLock = true;
  s.Domain = 2;
  s.Target = "/srv/www/photos";
  s.OpenTargetFolderOnCompletion = true;
  {
    auto store = CConfigSettingsStore::OpenFile(m_file);
    SaveSettings(*store, s, WindowPosition{120, 80});
    ASSERT_TRUE(store->Flush());
  }
  auto store = CConfigSettingsStore::OpenFile(m_file);
  ConverterSettings loaded;
  WindowPosition position;
  LoadSettings(*store, loaded, position);
  EXPECT_EQ(loaded.PresentationStyle, 4);
  EXPECT_EQ(loaded.Link, s.Link);
  EXPECT_EQ(loaded.Frame, 3);
  EXPECT_EQ(loaded.OtherFrame, "main");
  EXPECT_EQ(loaded.SlideshowDelay, 250);
  EXPECT_EQ(loaded.BackColor, 0x00102030u);
  EXPECT_EQ(loaded.TextColor, 0x00FFFFFFu);
  EXPECT_TRUE(loaded.DomainLock);
  EXPECT_EQ(loaded.Domain, 2);
  EXPECT_EQ(loaded.Target, "/srv/www/photos");
  EXPECT_TRUE(loaded.OpenTargetFolderOnCompletion);
  EXPECT_EQ(position.Left, 120);
  EXPECT_EQ(position.Top, 80);
  // Sections and entries as on Windows: [General] and [Layout].
  const std::string text = test::ReadBytes(m_file);
  EXPECT_NE(text.find("[General]"), std::string::npos);
  EXPECT_NE(text.find("[Layout]"), std::string::npos);
  EXPECT_NE(text.find("PresentationStyle=4"), std::string::npos);
}

TEST_F(config_store_test, damaged_or_out_of_range_entries_read_as_defaults) {
  std::filesystem::create_directories(m_file.parent_path());
  test::WriteBytes(
      m_file,
      "[General]\nFrame=abc\nBorderWidth=99999999999\nLink=kept\nthis line is garbage\n[Layout\n");
  auto store = CConfigSettingsStore::OpenFile(m_file);
  EXPECT_EQ(store->ReadInt("General", "Frame", 1), 1);
  EXPECT_EQ(store->ReadInt("General", "BorderWidth", 5), 5);
  EXPECT_EQ(store->ReadText("General", "Link", ""), "kept");
}

TEST_F(config_store_test, flush_reports_a_folder_that_cannot_be_made) {
  test::WriteBytes(m_dir / "blocker", "a file where the folder should be");
  auto store = CConfigSettingsStore::OpenFile(m_dir / "blocker" / "settings.conf");
  store->WriteInt("General", "Frame", 2);
  EXPECT_FALSE(store->Flush());
  EXPECT_EQ(test::ReadBytes(m_dir / "blocker"), "a file where the folder should be");
}

TEST_F(config_store_test, user_store_lives_in_the_xdg_config_folder) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", "/tmp/xdg-test-home", 1);
  EXPECT_EQ(CConfigSettingsStore::UserStoreFile(),
            std::filesystem::path("/tmp/xdg-test-home/Quillmere/Vellagard Web Converter.conf"));
  setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
  const char* home = std::getenv("HOME");
  if (home) {
    EXPECT_EQ(
        CConfigSettingsStore::UserStoreFile(),
        std::filesystem::path(home) / ".config" / "Quillmere" / "Vellagard Web Converter.conf");
  }
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace vg::ui
