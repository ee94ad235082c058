#include "archive_rules.h"

#include <gtest/gtest.h>

namespace vgengine {
namespace {

TEST(ArchiveNames, SafeRelativeNamesPass) {
  for (const char* name : {"install.lua", "Converter/", "Converter/vgi.js", "a/b c/d-e_f.txt",
                           "Ordner \xC3\xBC/Datei.txt", ".hidden"}) {
    EXPECT_EQ(CheckEntryName(name), "") << name;
  }
}

TEST(ArchiveNames, NamesThatLeaveTheFolderAreRefused) {
  const char* refused[] = {"",
                           "/etc/passwd",
                           "../x",
                           "a/../../x",
                           "a/..",
                           "./a",
                           "C:/Windows/x",
                           "C:x",
                           "a\\..\\x",
                           "\\\\srv\\s",
                           "a//b",
                           "/",
                           "a/b.",
                           "a/b ",
                           "a\x01"
                           "b",
                           "file.txt:stream",
                           "a/<b>",
                           "con|x"};
  for (const char* name : refused) EXPECT_NE(CheckEntryName(name), "") << name;
  EXPECT_NE(CheckEntryName(std::string(201, 'a')), "");
  EXPECT_EQ(CheckEntryName(std::string(200, 'a')), "");
}

TEST(ArchiveNames, CompressionTypesAndMethods) {
  EXPECT_TRUE(IsKnownCompressionType(0));
  EXPECT_TRUE(IsKnownCompressionType(8));
  EXPECT_FALSE(IsKnownCompressionType(1));
  EXPECT_FALSE(IsKnownCompressionType(255));
  EXPECT_TRUE(IsAllowedMethod(8, 8));
  EXPECT_TRUE(IsAllowedMethod(8, 0));  // a deflated archive may store what does not shrink
  EXPECT_FALSE(IsAllowedMethod(0, 8));
  EXPECT_FALSE(IsAllowedMethod(8, 12));
}

}  // namespace
}  // namespace vgengine
