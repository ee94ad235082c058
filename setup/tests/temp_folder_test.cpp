// Preparing the numbered temporary folder.
#include <gtest/gtest.h>

#include "tests/launcher_test_util.h"

namespace vgsetup::test {
namespace {

using temp_folder_test = FakeLauncherTest;

TEST_F(temp_folder_test, makes_a_private_numbered_folder_and_restores_the_current_directory) {
  ASSERT_EQ(extractor.PrepareTempFolder(), 0) << extractor.m_szError.str();
  EXPECT_EQ(extractor.m_szTempLaunchPath.str(), "C:\\Temp\\_qv_kb_temp_0\\");
  EXPECT_EQ(extractor.m_szEnginePath.str(), "C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe");
  EXPECT_EQ(extractor.m_szLuaPath.str(), "C:\\Temp\\_qv_kb_temp_0\\lua5.3.dll");
  EXPECT_TRUE(fake.privateDirs.count("C:\\Temp\\_qv_kb_temp_0"));
  EXPECT_EQ(fake.cwd, "C:\\Work");
  EXPECT_EQ(fake.freeSpaceQueries, std::vector<std::string>{"C:\\Temp\\_qv_kb_temp_0"});
}

TEST_F(temp_folder_test, stale_folders_are_reused_only_when_they_hold_just_an_engine) {
  const struct {
    const char* name;
    std::map<std::string, std::string> files;  // in C:\Temp
    const char* expected;
  } cases[] = {
      {"only an engine in _0, other file in _1",
       {{"_qv_kb_temp_0\\qvsetup.exe", "old"}, {"_qv_kb_temp_1\\notes.txt", "x"}},
       "C:\\Temp\\_qv_kb_temp_0\\"},
      {"leftover Lua library in _0",
       {{"_qv_kb_temp_0\\lua5.3.dll", "old"}},
       "C:\\Temp\\_qv_kb_temp_1\\"},
      {"leftovers in _0 and _1",
       {{"_qv_kb_temp_0\\lua5.3.dll", "old"},
        {"_qv_kb_temp_1\\qvsetup.exe", "old"},
        {"_qv_kb_temp_1\\x", "x"}},
       "C:\\Temp\\_qv_kb_temp_2\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CFakePlatform f;
    CSetupExtractor ex(f);
    for (const auto& [name, bytes] : c.files) {
      const std::string path = "C:\\Temp\\" + name;
      f.dirs.insert(CFakePlatform::Parent(path));
      f.files[path] = bytes;
    }
    ASSERT_EQ(ex.PrepareTempFolder(), 0);
    EXPECT_EQ(ex.m_szTempLaunchPath.str(), c.expected);
    EXPECT_FALSE(f.files.count(std::string(c.expected) + "qvsetup.exe"));
  }
}

TEST_F(temp_folder_test, links_files_and_folders_made_by_others_are_never_used_or_touched) {
  // _0 is a link to someone's folder, _1 a plain file, _2 appears just before we create it.
  fake.dirs.insert("D:\\Victim");
  fake.files["D:\\Victim\\qvsetup.exe"] = "theirs";
  fake.links["C:\\Temp\\_qv_kb_temp_0"] = "D:\\Victim";
  fake.files["C:\\Temp\\_qv_kb_temp_1"] = "a file";
  fake.createRaces.insert("C:\\Temp\\_qv_kb_temp_2");
  ASSERT_EQ(extractor.PrepareTempFolder(), 0);
  EXPECT_EQ(extractor.m_szTempLaunchPath.str(), "C:\\Temp\\_qv_kb_temp_3\\");
  EXPECT_EQ(fake.files["D:\\Victim\\qvsetup.exe"], "theirs");
  EXPECT_TRUE(fake.links.count("C:\\Temp\\_qv_kb_temp_0"));
  EXPECT_TRUE(fake.files.count("C:\\Temp\\_qv_kb_temp_2\\planted.dll"));
}

TEST_F(temp_folder_test, a_stale_folder_swapped_for_a_link_after_the_look_is_not_followed) {
  fake.dirs.insert("C:\\Temp\\_qv_kb_temp_0");
  fake.files["C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe"] = "old";
  fake.dirs.insert("D:\\Victim");
  fake.files["D:\\Victim\\qvsetup.exe"] = "theirs";
  fake.swapForLinkAfterLook["C:\\Temp\\_qv_kb_temp_0"] = "D:\\Victim";
  ASSERT_EQ(extractor.PrepareTempFolder(), 0);
  EXPECT_EQ(extractor.m_szTempLaunchPath.str(), "C:\\Temp\\_qv_kb_temp_1\\");
  EXPECT_EQ(fake.files["D:\\Victim\\qvsetup.exe"], "theirs");
  EXPECT_TRUE(fake.dirs.count("D:\\Victim"));
  EXPECT_EQ(fake.links["C:\\Temp\\_qv_kb_temp_0"], "D:\\Victim");
}

TEST_F(temp_folder_test, a_shared_base_is_used_only_when_nobody_else_controls_it) {
  // The all-users TEMP folder is the base under the Unicode condition; "C:\temp" is the
  // last fallback. Whoever controls such a base could swap the private folder inside it
  // between the extraction and the start of the elevated engine.
  const std::string common = "C:\\ProgramData\\TEMP";
  const std::string fallback = "C:\\temp";
  enum EState { kAbsent, kAdmins, kUser, kLink, kOpenAccessList, kFile };
  const struct {
    const char* name;
    bool commonBase;  // else the fallback is reached because the temporary path fails
    bool noTempPath;  // ... because there is none at all, else because its folder fails
    EState state;
    const char* expected;  // the temporary folder; nullptr: 56
  } cases[] = {
      {"all-users TEMP missing: made now", true, false, kAbsent,
       "C:\\ProgramData\\TEMP\\_qv_kb_temp_0\\"},
      {"all-users TEMP owned by Administrators", true, false, kAdmins,
       "C:\\ProgramData\\TEMP\\_qv_kb_temp_0\\"},
      {"all-users TEMP owned by a user", true, false, kUser, "C:\\temp\\_qv_kb_temp_0\\"},
      {"all-users TEMP a reparse point", true, false, kLink, "C:\\temp\\_qv_kb_temp_0\\"},
      {"all-users TEMP others may rename", true, false, kOpenAccessList,
       "C:\\temp\\_qv_kb_temp_0\\"},
      {"all-users TEMP a file", true, false, kFile, "C:\\temp\\_qv_kb_temp_0\\"},
      {"c:\\temp missing: made now", false, false, kAbsent, "C:\\temp\\_qv_kb_temp_0\\"},
      {"c:\\temp owned by Administrators", false, false, kAdmins, "C:\\temp\\_qv_kb_temp_0\\"},
      {"c:\\temp owned by a user", false, false, kUser, nullptr},
      {"c:\\temp a reparse point", false, false, kLink, nullptr},
      {"c:\\temp others may rename", false, false, kOpenAccessList, nullptr},
      {"no temporary path, c:\\temp owned by a user", false, true, kUser, nullptr},
      {"no temporary path, c:\\temp missing", false, true, kAbsent, "C:\\temp\\_qv_kb_temp_0\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CFakePlatform f;
    CSetupExtractor ex(f);
    g_bUnicodePath = c.commonBase;
    ex.m_bWait = true;
    if (c.noTempPath) {
      f.tempBaseFails = true;
    } else if (!c.commonBase) {
      f.mkdirFails.insert("C:\\Temp\\_qv_kb_temp_0");
    }
    const std::string base = c.commonBase ? common : fallback;
    f.dirs.insert("D:\\Elsewhere");
    switch (c.state) {
      case kAbsent: break;
      case kAdmins: f.dirs.insert(base); break;
      case kUser:
        f.dirs.insert(base);
        f.userOwned.insert(base);
        break;
      case kLink: f.links[base] = "D:\\Elsewhere"; break;
      case kOpenAccessList:
        f.dirs.insert(base);
        f.othersMayReplace.insert(base);
        break;
      case kFile: f.files[base] = "x"; break;
    }
    const int result = ex.PrepareTempFolder();
    if (c.expected) {
      ASSERT_EQ(result, 0) << ex.m_szError.str();
      EXPECT_EQ(ex.m_szTempLaunchPath.str(), c.expected);
    } else {
      EXPECT_EQ(result, 56);
      EXPECT_EQ(ex.m_szError.str(),
                "Could not determine a temp directory name. Try running setup.exe /T:<Path>");
    }
    // Made just now, with the protected access list, exactly when it was missing.
    EXPECT_EQ(f.sharedDirs.count(base) > 0, c.state == kAbsent);
    // Nothing is made in a base that was passed over, nor where its link points.
    const bool used = c.expected && std::string(c.expected).rfind(base + "\\", 0) == 0;
    if (!used) {
      EXPECT_FALSE(f.HasChildren(base));
      EXPECT_FALSE(f.HasChildren("D:\\Elsewhere"));
    }
    EXPECT_EQ(f.cwd, "C:\\Work");
    g_bUnicodePath = false;
  }
}

TEST_F(temp_folder_test, a_t_switch_base_is_created_folder_by_folder) {
  extractor.m_szTempOverride.Assign("D:\\A\\B");
  ASSERT_EQ(extractor.PrepareTempFolder(), 0);
  EXPECT_TRUE(fake.dirs.count("D:\\A"));
  EXPECT_TRUE(fake.dirs.count("D:\\A\\B"));
  EXPECT_EQ(extractor.m_szTempLaunchPath.str(), "D:\\A\\B\\_qv_kb_temp_0\\");
  EXPECT_EQ(fake.cwd, "C:\\Work");
}

TEST_F(temp_folder_test, an_unusable_t_switch_base_falls_back_to_the_temporary_path_silently) {
  const struct {
    const char* override;
    const char* mkdirFails;
  } cases[] = {
      {"\\\\server\\share\\setup", ""},      // no drive letter
      {"E:\\Locked\\Work", "E:\\Locked\\"},  // a folder that cannot be made
      {"ab", ""},                            // fewer than three characters: no effect
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.override);
    CFakePlatform f;
    CSetupExtractor ex(f);
    ex.m_szTempOverride.Assign(c.override);
    if (*c.mkdirFails) f.mkdirFails.insert(CFakePlatform::Norm(c.mkdirFails));
    ASSERT_EQ(ex.PrepareTempFolder(), 0);
    EXPECT_EQ(ex.m_szTempLaunchPath.str(), "C:\\Temp\\_qv_kb_temp_0\\");
    EXPECT_TRUE(ex.m_szError.empty());
  }
}

TEST_F(temp_folder_test, the_unicode_condition) {
  // Single segment: a folder under the all-users application data folder, TEMP made first.
  g_bUnicodePath = true;
  extractor.m_bWait = true;
  ASSERT_EQ(extractor.PrepareTempFolder(), 0);
  EXPECT_EQ(extractor.m_szTempLaunchPath.str(), "C:\\ProgramData\\TEMP\\_qv_kb_temp_0\\");

  // Multi segment: refused, and nothing is created.
  CFakePlatform f;
  CSetupExtractor multi(f);
  multi.m_bMultiSegment = true;
  const auto before = f.dirs;
  EXPECT_EQ(multi.PrepareTempFolder(), 56);
  EXPECT_EQ(multi.m_szError.str(),
            "Cannot start a multi-segment setup from a path containing Unicode characters.");
  EXPECT_EQ(f.dirs, before);
  EXPECT_TRUE(multi.m_szTempLaunchPath.empty());

  // A "/T:" base overrides both rules.
  CFakePlatform g;
  CSetupExtractor given(g);
  given.m_bMultiSegment = true;
  given.m_szTempOverride.Assign("E:\\Work");
  ASSERT_EQ(given.PrepareTempFolder(), 0);
  EXPECT_EQ(given.m_szTempLaunchPath.str(), "E:\\Work\\_qv_kb_temp_0\\");
}

TEST_F(temp_folder_test, falls_back_to_a_private_folder_in_c_temp) {
  const struct {
    const char* name;
    void (*arrange)(CFakePlatform&);
  } cases[] = {
      {"folder cannot be created",
       [](CFakePlatform& f) { f.mkdirFails.insert("C:\\Temp\\_qv_kb_temp_0"); }},
      {"folder cannot be made current",
       [](CFakePlatform& f) { f.chdirFails.insert("C:\\Temp\\_qv_kb_temp_0"); }},
      {"no temporary path", [](CFakePlatform& f) { f.tempBaseFails = true; }},
      {"temporary path too long for the engine's path",
       [](CFakePlatform& f) {
         f.tempBase = "C:\\Temp\\" + std::string(235, 'x') + "\\";
         f.dirs.insert(CFakePlatform::Norm(f.tempBase));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CFakePlatform f;
    CSetupExtractor ex(f);
    c.arrange(f);
    ASSERT_EQ(ex.PrepareTempFolder(), 0) << ex.m_szError.str();
    EXPECT_EQ(ex.m_szTempLaunchPath.str(), "C:\\temp\\_qv_kb_temp_0\\");
    EXPECT_TRUE(f.privateDirs.count("C:\\temp\\_qv_kb_temp_0"));
    EXPECT_FALSE(f.dirs.count("C:\\Temp\\_qv_kb_temp_0")) << "the failed folder is removed";
    EXPECT_EQ(f.cwd, "C:\\Work");
  }
}

TEST_F(temp_folder_test, no_usable_folder_at_all) {
  fake.mkdirFails = {"C:\\Temp\\_qv_kb_temp_0", "C:\\temp"};
  EXPECT_EQ(extractor.PrepareTempFolder(), 56);
  EXPECT_EQ(extractor.m_szError.str(),
            "Could not determine a temp directory name. Try running setup.exe /T:<Path>");
  EXPECT_TRUE(extractor.m_szEnginePath.empty()) << "nothing for the clean-up to act on";
  EXPECT_EQ(fake.cwd, "C:\\Work");

  // A failing free-space query replaces the 56.
  fake.freeSpaceFails = true;
  EXPECT_EQ(extractor.PrepareTempFolder(), 57);
}

TEST_F(temp_folder_test, needs_two_million_bytes_free) {
  const struct {
    std::uint64_t free;
    bool fails;
    int result;
  } cases[] = {{2000000, false, 0},
               {1999999, false, 57},
               {0, false, 57},
               {5000000000ull, false, 0},
               {5000000000ull, true, 57}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.free);
    CFakePlatform f;
    CSetupExtractor ex(f);
    f.freeSpace = c.free;
    f.freeSpaceFails = c.fails;
    EXPECT_EQ(ex.PrepareTempFolder(), c.result);
    if (c.result) {
      EXPECT_EQ(ex.m_szError.str(), "You must have at least 2MB of free space on your TEMP drive!");
      // The folder was made; the paths are set so that the clean-up removes it.
      EXPECT_EQ(ex.m_szTempLaunchPath.str(), "C:\\Temp\\_qv_kb_temp_0\\");
    }
    EXPECT_EQ(f.cwd, "C:\\Work");
  }
}

TEST_F(temp_folder_test, create_folder_path_needs_a_drive_and_appends_a_separator) {
  const struct {
    const char* path;
    bool ok;
    const char* after;
  } cases[] = {
      {"D:\\A\\B", true, "D:\\A\\B\\"},
      {"D:\\A\\B\\", true, "D:\\A\\B\\"},
      {"D:\\", true, "D:\\"},
      {"D:", true, "D:\\"},
      {"\\\\server\\share", false, "\\\\server\\share\\"},
      {"relative\\path", false, "relative\\path\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    CFakePlatform f;
    CSetupExtractor ex(f);
    CPathText p;
    p.Assign(c.path);
    EXPECT_EQ(ex.CreateFolderPath(p), c.ok);
    EXPECT_EQ(p.str(), c.after);
  }
  // A path that fills the field leaves no room for the separator: refused, not cut.
  CPathText full;
  ASSERT_TRUE(full.Assign("D:\\" + std::string(256, 'a')));
  EXPECT_FALSE(extractor.CreateFolderPath(full));
  EXPECT_EQ(full.Units(), 259u);
}

}  // namespace
}  // namespace vgsetup::test
