#include "settings/settings.h"

#include <gtest/gtest.h>

namespace vg {
namespace {

using Op = MemorySettingsStore::Op;

const std::vector<std::string> kReadOrder = {
    "General/Link",
    "General/Frame",
    "General/OtherFrame",
    "General/Text2ImageMessage",
    "General/Image2TextMessage",
    "General/Image2ImageFile",
    "General/SlideshowDelay",
    "General/MessageLoading",
    "General/MessageStatus",
    "General/BackColor",
    "General/TextColor",
    "General/BorderWidth",
    "General/DomainLock",
    "General/Domain",
    "General/Target",
    "General/OpenTargetFolderOnCompletion",
    "Layout/Left",
    "Layout/Top",
    "General/PresentationStyle",
    "General/Watermark",  // added later: after every older entry
};

const std::vector<std::string> kWriteOrder = {
    "Layout/Left",
    "Layout/Top",
    "General/PresentationStyle",
    "General/Link",
    "General/Frame",
    "General/OtherFrame",
    "General/Text2ImageMessage",
    "General/Image2TextMessage",
    "General/Image2ImageFile",
    "General/SlideshowDelay",
    "General/MessageLoading",
    "General/MessageStatus",
    "General/BackColor",
    "General/TextColor",
    "General/BorderWidth",
    "General/Target",
    "General/OpenTargetFolderOnCompletion",
    "General/DomainLock",
    "General/Domain",
    "General/Watermark",
};

// Every field of the record, for whole-record comparisons with a readable failure.
std::string Describe(const ConverterSettings& s) {
  return std::to_string(s.PresentationStyle) + "|" + s.Link + "|" + std::to_string(s.Frame) + "|" +
         s.OtherFrame + "|" + s.Text2ImageMessage + "|" + s.Image2TextMessage + "|" +
         s.Image2ImageFile + "|" + std::to_string(s.SlideshowDelay) + "|" + s.MessageLoading + "|" +
         s.MessageStatus + "|" + std::to_string(s.BackColor) + "|" + std::to_string(s.TextColor) +
         "|" + std::to_string(s.BorderWidth) + "|" + std::to_string(s.DomainLock) + "|" +
         std::to_string(s.Domain) + "|" + s.Target + "|" +
         std::to_string(s.OpenTargetFolderOnCompletion) + "|" + s.Watermark;
}

TEST(settings_test, first_start_gives_the_defaults_and_reads_in_order) {
  MemorySettingsStore store;
  ConverterSettings s;
  s.PresentationStyle = 3;  // whatever the record held before is replaced
  s.Link = "old";
  s.DomainLock = true;
  WindowPosition pos{5, 6};
  LoadSettings(store, s, pos);

  EXPECT_EQ(s.PresentationStyle, 0);
  EXPECT_EQ(s.Link, "https://www.quillmere.example/vellagard/");
  EXPECT_EQ(s.Frame, 0);
  EXPECT_EQ(s.OtherFrame, "");
  EXPECT_EQ(s.Text2ImageMessage, "Press here");
  EXPECT_EQ(s.Image2TextMessage, "Press here");
  EXPECT_EQ(s.Image2ImageFile, "");
  EXPECT_EQ(s.SlideshowDelay, 1000);
  EXPECT_EQ(s.MessageLoading, "Please wait while the image downloads...");
  EXPECT_EQ(s.MessageStatus, "Quillmere - Protected image");
  EXPECT_EQ(s.BackColor, 0x000000u);
  EXPECT_EQ(s.TextColor, 0xFFFFFFu);
  EXPECT_EQ(s.BorderWidth, 0);
  EXPECT_FALSE(s.DomainLock);
  EXPECT_EQ(s.Domain, 0);
  EXPECT_EQ(s.Target, "");
  EXPECT_FALSE(s.OpenTargetFolderOnCompletion);
  EXPECT_EQ(s.Watermark, "");
  EXPECT_EQ(pos.Left, -1);
  EXPECT_EQ(pos.Top, -1);
  EXPECT_FALSE(HasStoredPosition(pos));

  EXPECT_EQ(store.ReadNames(), kReadOrder);
  EXPECT_TRUE(store.WrittenNames().empty());
  EXPECT_TRUE(store.empty()) << "loading must not create entries";
}

TEST(settings_test, save_writes_every_entry_in_order_with_booleans_as_0_or_1) {
  MemorySettingsStore store;
  store.SetInt("General", "DomainLock", 5);
  store.SetInt("General", "OpenTargetFolderOnCompletion", -3);
  ConverterSettings s;
  WindowPosition pos;
  LoadSettings(store, s, pos);
  EXPECT_TRUE(s.DomainLock);
  EXPECT_TRUE(s.OpenTargetFolderOnCompletion);

  store.ClearLog();
  SaveSettings(store, s, pos);
  EXPECT_EQ(store.WrittenNames(), kWriteOrder);
  EXPECT_TRUE(store.ReadNames().empty());

  std::int32_t v = 0;
  ASSERT_TRUE(store.GetInt("General", "DomainLock", v));
  EXPECT_EQ(v, 1);
  ASSERT_TRUE(store.GetInt("General", "OpenTargetFolderOnCompletion", v));
  EXPECT_EQ(v, 1);
  // Texts are written as texts, numbers as numbers.
  for (const auto& a : store.log()) {
    const bool text_entry = a.entry == "Link" || a.entry == "OtherFrame" ||
                            a.entry.find("Message") != std::string::npos ||
                            a.entry == "Image2ImageFile" || a.entry == "Target" ||
                            a.entry == "Watermark";
    EXPECT_EQ(a.op, text_entry ? Op::WriteText : Op::WriteInt) << a.entry;
  }
}

TEST(settings_test, a_saved_record_loads_back_unchanged) {
  ConverterSettings s;
  s.PresentationStyle = 4;
  s.Link = "";  // an empty text is stored as empty, not as missing
  s.Frame = 3;
  s.OtherFrame = "main";
  s.Text2ImageMessage = "Caf\xC3\xA9 \"quoted\" & <b>";
  s.Image2TextMessage = "\xE2\x82\xAC 5";
  s.Image2ImageFile = "/pictures/swap.png";
  s.SlideshowDelay = 0;  // refused by the slideshow check, saved all the same
  s.MessageLoading = "";
  s.MessageStatus = "status";
  s.BackColor = 0xFF123456;  // the top byte survives the 32-bit integer store
  s.TextColor = 0x00ABCDEF;
  s.BorderWidth = -7;
  s.DomainLock = true;
  s.Domain = -1;
  s.Target = "/out put";
  s.OpenTargetFolderOnCompletion = true;
  s.Watermark = "\xC2\xA9 Jane \"J\" Doe \xE2\x80\x94 2026 ";  // kept as typed, spaces too
  const WindowPosition pos{100, -20};

  MemorySettingsStore store;
  SaveSettings(store, s, pos);
  ConverterSettings loaded;
  WindowPosition loaded_pos;
  LoadSettings(store, loaded, loaded_pos);
  EXPECT_EQ(Describe(loaded), Describe(s));
  EXPECT_EQ(loaded_pos.Left, 100);
  EXPECT_EQ(loaded_pos.Top, -20);
  EXPECT_TRUE(HasStoredPosition(loaded_pos));
}

TEST(settings_test, out_of_range_style_and_frame_fall_back_to_defaults) {
  struct Case {
    std::int32_t stored;
    std::int32_t style;  // PresentationStyle after loading
    std::int32_t frame;  // Frame after loading
  };
  const Case cases[] = {
      {0, 0, 0}, {3, 3, 3},  {4, 4, 0},         {-1, 0, 0},
      {5, 0, 0}, {99, 0, 0}, {INT32_MIN, 0, 0}, {INT32_MAX, 0, 0},
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    store.SetInt("General", "PresentationStyle", c.stored);
    store.SetInt("General", "Frame", c.stored);
    ConverterSettings s;
    WindowPosition pos;
    LoadSettings(store, s, pos);
    EXPECT_EQ(s.PresentationStyle, c.style) << c.stored;
    EXPECT_EQ(s.Frame, c.frame) << c.stored;
  }
}

TEST(settings_test, other_values_are_taken_as_stored) {
  MemorySettingsStore store;
  store.SetInt("General", "SlideshowDelay", -5);
  store.SetInt("General", "BorderWidth", 5000);
  store.SetInt("General", "Domain", 7);
  store.SetText("General", "OtherFrame", "  padded  ");
  // A value of the wrong type counts as missing, as a registry value of another type does.
  store.SetText("General", "TextColor", "red");
  ConverterSettings s;
  WindowPosition pos;
  LoadSettings(store, s, pos);
  EXPECT_EQ(s.SlideshowDelay, -5);
  EXPECT_EQ(s.BorderWidth, 5000);
  EXPECT_EQ(s.Domain, 7);
  EXPECT_EQ(s.OtherFrame, "  padded  ");
  EXPECT_EQ(s.TextColor, 0xFFFFFFu);
}

TEST(settings_test, window_is_moved_only_when_both_corners_are_stored) {
  struct Case {
    bool has_left;
    bool has_top;
    bool moved;
  };
  for (const Case& c : {Case{true, false, false}, Case{false, true, false}, Case{true, true, true},
                        Case{false, false, false}}) {
    MemorySettingsStore store;
    if (c.has_left) store.SetInt("Layout", "Left", 100);
    if (c.has_top) store.SetInt("Layout", "Top", 0);
    ConverterSettings s;
    WindowPosition pos;
    LoadSettings(store, s, pos);
    EXPECT_EQ(pos.Left, c.has_left ? 100 : -1);
    EXPECT_EQ(HasStoredPosition(pos), c.moved) << c.has_left << c.has_top;
  }
}

TEST(settings_test, stored_domain_beyond_the_list_becomes_the_first_entry_and_is_saved) {
  MemorySettingsStore store;
  store.SetInt("General", "Domain", 7);
  store.SetText("Domains", "Names", "b.example;a.example");
  ConverterSettings s;
  WindowPosition pos;
  LoadSettings(store, s, pos);
  const auto list = BuildDomainList(LoadDomainNames(store));
  ASSERT_EQ(list.size(), 3u);
  CorrectDomainIndex(s, list.size());
  EXPECT_EQ(s.Domain, 0);
  SaveSettings(store, s, pos);
  std::int32_t v = -99;
  ASSERT_TRUE(store.GetInt("General", "Domain", v));
  EXPECT_EQ(v, 0);
}

TEST(settings_test, domain_index_correction) {
  struct Case {
    std::int32_t domain;
    std::size_t size;
    std::int32_t corrected;
  };
  for (const Case& c : {Case{0, 1, 0}, Case{1, 1, 0}, Case{2, 3, 2}, Case{3, 3, 0}, Case{-1, 3, -1},
                        Case{-5, 3, -5}, Case{INT32_MAX, 3, 0}, Case{0, 0, 0}}) {
    ConverterSettings s;
    s.Domain = c.domain;
    CorrectDomainIndex(s, c.size);
    EXPECT_EQ(s.Domain, c.corrected) << c.domain << " of " << c.size;
  }
}

TEST(settings_test, domain_list_is_sorted_without_duplicates_and_ends_with_localhost) {
  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> list;
  };
  const Case cases[] = {
      {{}, {"localhost"}},
      {{"b.example", "a.example", "b.example"}, {"a.example", "b.example", "localhost"}},
      // Byte order: upper case before lower case, and "zz" before a name beyond ASCII.
      {{"\xC3\xA9t\xC3\xA9.example", "zz.example", "Zeta.example", "alpha.example"},
       {"Zeta.example", "alpha.example", "zz.example", "\xC3\xA9t\xC3\xA9.example", "localhost"}},
      // "localhost" is offered once, last; "a" sorts before "localhost" would otherwise.
      {{"zeta.example", "localhost", "a"}, {"a", "zeta.example", "localhost"}},
      {{"", "x.example"}, {"x.example", "localhost"}},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildDomainList(c.names), c.list);
}

TEST(settings_test, domain_names_are_stored_as_one_semicolon_separated_text) {
  MemorySettingsStore store;
  EXPECT_TRUE(LoadDomainNames(store).empty());

  store.SetText("Domains", "Names", " a.example ;;b.example;  ; c.example;");
  EXPECT_EQ(LoadDomainNames(store),
            (std::vector<std::string>{"a.example", "b.example", "c.example"}));

  SaveDomainNames(store, {"x.example", "  ", " y.example "});
  std::string text;
  ASSERT_TRUE(store.GetText("Domains", "Names", text));
  EXPECT_EQ(text, "x.example;y.example");
  EXPECT_EQ(LoadDomainNames(store), (std::vector<std::string>{"x.example", "y.example"}));

  SaveDomainNames(store, {});
  ASSERT_TRUE(store.GetText("Domains", "Names", text));
  EXPECT_EQ(text, "");
  EXPECT_TRUE(LoadDomainNames(store).empty());
}

TEST(settings_test, domain_key_is_the_chosen_entry_only_while_locked) {
  const std::vector<std::string> list = {"a.example", "b.example", "localhost"};
  struct Case {
    bool lock;
    std::int32_t domain;
    const char* key;
  };
  const Case cases[] = {
      {true, 0, "a.example"}, {true, 2, "localhost"}, {false, 1, ""},
      {true, -1, ""},         {true, 3, ""},          {true, INT32_MIN, ""},
  };
  for (const Case& c : cases) {
    ConverterSettings s;
    s.DomainLock = c.lock;
    s.Domain = c.domain;
    EXPECT_EQ(GetDomainKey(s, list), c.key) << c.lock << " " << c.domain;
  }
  // A list holding only "localhost": entry 0 is chosen on first start.
  ConverterSettings first;
  first.DomainLock = true;
  EXPECT_EQ(GetDomainKey(first, BuildDomainList({})), "localhost");
}

}  // namespace
}  // namespace vg
