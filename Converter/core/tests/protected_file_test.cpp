#include "core/protected_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "core/tests/test_util.h"

namespace vg {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::string Header(unsigned char mode, const std::string& key_text = "") {
  std::string h = "QLM";
  h.push_back(static_cast<char>(mode));
  h += "b1Z`";
  if (mode == kModeKeyed) h += key_text + '\x01';
  return h;
}

// The format written out the slow, obvious way, to check the streaming writer against.
std::string Reference(const std::string& src, const std::string& key) {
  std::string body = src;
  std::string pattern;
  if (key.empty()) {
    auto t = MakeKeylessTable(static_cast<std::int32_t>(src.size()));
    for (auto v : t) pattern.push_back(static_cast<char>(v & 0xFF));
  } else {
    pattern = NormalizeKey(MakeHeaderKeyText(key));
  }
  for (std::size_t j = 0; j < body.size(); ++j) body[j] ^= pattern[j % pattern.size()];
  return (key.empty() ? Header(kModeKeyless) : Header(kModeKeyed, MakeHeaderKeyText(key))) + body;
}

// Runs `fn` in a child process and returns its exit status (or 128 + signal).
int RunInChild(const std::function<int()>& fn) {
  pid_t pid = fork();
  if (pid == 0) _exit(fn());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(protected_file_test, normalize_key) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"www.example-site.com", "WWWEXAMPLESITECOM"},
      {"WWW.EXAMPLE-SITE.COM", "WWWEXAMPLESITECOM"},
      {"a_b c:;<=>?@Z9", "ABC:;<=>?@Z9"},
      {"caf\xC3\xA9", "CAF"},
      {"", ""},
      {"...", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeKey(c.in), c.out) << c.in;
}

TEST(protected_file_test, header_key_text) {
  EXPECT_EQ(MakeHeaderKeyText("abc"), "UbK");  // worked example: ';' becomes 'b'
  EXPECT_EQ(MakeHeaderKeyText("ABC"), "UbK");
  EXPECT_EQ(MakeHeaderKeyText("a.b-c"), "UbK");
  EXPECT_EQ(MakeHeaderKeyText(""), "");
  EXPECT_EQ(MakeHeaderKeyText("-.-"), "");
  EXPECT_EQ(MakeHeaderKeyText("localhost").size(), 9u);
  // Every character stays in the key alphabet, even for keys long enough to wrap the sum.
  for (std::size_t len : {1u, 50u, 253u, 7000u, 20000u}) {
    std::string key;
    for (std::size_t i = 0; i < len; ++i) key.push_back("0Z9A@:"[i % 6]);
    for (char c : MakeHeaderKeyText(key)) {
      ASSERT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'g'))
          << "length " << len << " char " << int(c);
    }
  }
}

TEST(protected_file_test, keyless_table_check_values) {
  EXPECT_EQ(MakeKeylessTable(1)[0], 0xFFFFFFFCu);
  auto t4 = MakeKeylessTable(4);
  EXPECT_EQ(t4[0] & 0xFF, 0xFEu);
  EXPECT_EQ(t4[1] & 0xFF, 0xF9u);
  EXPECT_EQ(t4[2] & 0xFF, 0xEAu);
  EXPECT_EQ(t4[3] & 0xFF, 0x9Cu);
  auto t = MakeKeylessTable(1000);
  EXPECT_EQ(t[0], 0x0007909Cu);
  EXPECT_EQ(t[1], 0x3A927EBEu);
  EXPECT_EQ(t[2], 0xCD762D19u);  // a logical shift would give 0x4D762D19
  EXPECT_EQ(t[3], 0xE9AEEFA7u);
  EXPECT_EQ(t[255], 0x2CCE9D97u);
}

TEST(protected_file_test, small_files_byte_for_byte) {
  TempDir dir;
  struct Case {
    std::string src;
    std::string key;
    std::string expected;
  } cases[] = {
      {std::string(1, '\0'), "", Header(kModeKeyless) + "\xFC"},
      {"\x10", "", Header(kModeKeyless) + "\xEC"},
      {std::string(4, '\0'), "abc", Header(kModeKeyed, "UbK") + "\x55\x42\x4B\x55"},
      // A key longer than the source: the whole key text, only its first byte used.
      {std::string(1, '\0'), "localhost",
       Header(kModeKeyed, MakeHeaderKeyText("localhost")) +
           NormalizeKey(MakeHeaderKeyText("localhost")).substr(0, 1)},
  };
  for (const auto& c : cases) {
    WriteBytes(dir / "src", c.src);
    ASSERT_TRUE(WriteProtectedImageFile(dir / "src", dir / "out.class", c.key));
    EXPECT_EQ(ReadBytes(dir / "out.class"), c.expected) << "key " << c.key;
  }
  // The body of a localhost file starts at offset 18.
  WriteBytes(dir / "src", "xyz");
  ASSERT_TRUE(WriteProtectedImageFile(dir / "src", dir / "out.class", "localhost"));
  EXPECT_EQ(ReadBytes(dir / "out.class").size(), 18u + 3u);
}

TEST(protected_file_test, keys_that_normalise_alike_give_identical_files) {
  TempDir dir;
  WriteBytes(dir / "src", test::RandomBytes(5000));
  const char* keys[] = {"www.quillmere-demo.example", "WWW.QUILLMERE-DEMO.EXAMPLE",
                        "wwwquillmeredemoexample"};
  std::string first;
  for (const char* key : keys) {
    ASSERT_TRUE(WriteProtectedImageFile(dir / "src", dir / "out", key));
    if (first.empty()) first = ReadBytes(dir / "out");
    EXPECT_EQ(ReadBytes(dir / "out"), first) << key;
  }
}

TEST(protected_file_test, keyless_pattern_depends_on_length_only) {
  TempDir dir;
  std::string a(600, '\0'), b(600, '\0');
  WriteBytes(dir / "a", a);
  WriteBytes(dir / "b", b);
  ASSERT_TRUE(WriteProtectedImageFile(dir / "a", dir / "a.class", ""));
  ASSERT_TRUE(WriteProtectedImageFile(dir / "b", dir / "b.class", ""));
  const std::string pa = ReadBytes(dir / "a.class");
  EXPECT_EQ(pa, ReadBytes(dir / "b.class"));
  EXPECT_EQ(pa[8 + 256], pa[8]);  // the pattern repeats every 256 bytes
  EXPECT_EQ(pa[8 + 511], pa[8 + 255]);
}

// Streaming in blocks must give exactly the bytes of scrambling the whole file at once,
// for sizes around the block size and keys whose length does not divide it.
TEST(protected_file_test, round_trip_around_block_size) {
  TempDir dir;
  const std::size_t mib = std::size_t{1} << 20;
  const std::size_t sizes[] = {1,           255,     256, 257,     mib / 4 - 1,
                               mib / 4 + 1, mib - 1, mib, mib + 1, 3 * mib + 7};
  const std::string keys[] = {"", "abc", "www.example.com", "localhost"};
  unsigned seed = 7;
  for (std::size_t size : sizes) {
    const std::string src = test::RandomBytes(size, seed++);
    WriteBytes(dir / "src.bin", src);
    for (const auto& key : keys) {
      SCOPED_TRACE("size " + std::to_string(size) + " key '" + key + "'");
      ASSERT_TRUE(WriteProtectedImageFile(dir / "src.bin", dir / "p.class", key));
      const std::string written = ReadBytes(dir / "p.class");
      ASSERT_EQ(written.size(), src.size() + (key.empty() ? 8 : 9 + MakeHeaderKeyText(key).size()));
      ASSERT_TRUE(written == Reference(src, key));
      auto back = ReadProtectedImageFile(dir / "p.class", dir / "back.bin", key);
      ASSERT_EQ(back.error, UnprotectError::None);
      EXPECT_EQ(back.keyed, !key.empty());
      ASSERT_TRUE(ReadBytes(dir / "back.bin") == src);
    }
  }
}

TEST(protected_file_test, unprotect_refuses_wrong_domain_and_damaged_files) {
  TempDir dir;
  WriteBytes(dir / "src", "hello image");
  ASSERT_TRUE(WriteProtectedImageFile(dir / "src", dir / "p.class", "localhost"));
  auto r = ReadProtectedImageFile(dir / "p.class", dir / "out", "example.com");
  EXPECT_EQ(r.error, UnprotectError::DomainMismatch);
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
  // Without a domain a keyed file is opened with its own key.
  EXPECT_EQ(ReadProtectedImageFile(dir / "p.class", dir / "out", "").error, UnprotectError::None);
  EXPECT_EQ(ReadBytes(dir / "out"), "hello image");

  const std::string good = ReadBytes(dir / "p.class");
  struct Case {
    std::string bytes;
    UnprotectError error;
  } cases[] = {
      {"", UnprotectError::NotProtected},
      {"QLM", UnprotectError::NotProtected},
      {"QLM\x03"
       "b1Z`",
       UnprotectError::NotProtected},  // no body
      {"QLM\x02"
       "b1Z`xx",
       UnprotectError::NotProtected},  // unknown mode
      {"QLX\x03"
       "b1Z`xx",
       UnprotectError::NotProtected},
      {"QLM\x03"
       "b1Z_xx",
       UnprotectError::NotProtected},
      {"QLM\x01"
       "b1Z`ABC",
       UnprotectError::BadHeader},  // no terminator
      {std::string("QLM\x01"
                   "b1Z`\x01xx"),
       UnprotectError::BadHeader},  // empty key text
      {"QLM\x01"
       "b1Z`A:C\x01xx",
       UnprotectError::BadHeader},
      {good.substr(0, 19), UnprotectError::None},
  };
  for (const auto& c : cases) {
    WriteBytes(dir / "bad.class", c.bytes);
    EXPECT_EQ(ReadProtectedImageFile(dir / "bad.class", dir / "bad.out", "").error, c.error)
        << testing::PrintToString(c.bytes);
  }
}

TEST(protected_file_test, refused_inputs_write_nothing) {
  TempDir dir;
  WriteBytes(dir / "empty", "");
  WriteBytes(dir / "src", "data");
  std::filesystem::create_directory(dir / "folder");
  WriteBytes(dir / "not-a-folder", "x");
  struct Case {
    std::filesystem::path src;
    std::filesystem::path target;
    std::string key;
  } cases[] = {
      {dir / "missing", dir / "t1", ""},
      {dir / "empty", dir / "t2", ""},
      {dir / "folder", dir / "t3", ""},     // a folder cannot be read as an image
      {dir / "src", dir / "t4", "..--.."},  // key with nothing left after normalising
      {dir / "src", dir / "no-such-dir" / "t5", ""},
      {dir / "src", dir / "not-a-folder" / "t6", ""},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(WriteProtectedImageFile(c.src, c.target, c.key)) << c.target;
    EXPECT_FALSE(std::filesystem::exists(c.target)) << c.target;
  }
  EXPECT_EQ(test::ListFolder(dir.path()),
            (std::vector<std::string>{"empty", "folder", "not-a-folder", "src"}));
}

TEST(protected_file_test, source_of_two_gib_is_refused) {
  TempDir dir;
  { std::ofstream f(dir / "huge", std::ios::binary); }
  std::filesystem::resize_file(dir / "huge", std::uintmax_t{1} << 31);  // sparse
  WriteBytes(dir / "t.class", "old");
  EXPECT_FALSE(WriteProtectedImageFile(dir / "huge", dir / "t.class", ""));
  EXPECT_EQ(ReadBytes(dir / "t.class"), "old");
  EXPECT_EQ(test::ListFolder(dir.path()), (std::vector<std::string>{"huge", "t.class"}));
}

TEST(protected_file_test, existing_target_is_replaced_or_kept) {
  TempDir dir;
  WriteBytes(dir / "t.class", std::string(10000, 'o'));
  WriteBytes(dir / "src", "ab");
  ASSERT_TRUE(WriteProtectedImageFile(dir / "src", dir / "t.class", ""));
  EXPECT_EQ(ReadBytes(dir / "t.class").size(), 10u);  // replaced, not appended to
  const std::string before = ReadBytes(dir / "t.class");
  EXPECT_FALSE(WriteProtectedImageFile(dir / "missing", dir / "t.class", ""));
  EXPECT_EQ(ReadBytes(dir / "t.class"), before);
}

TEST(protected_file_test, read_only_target_folder) {
  TempDir dir;
  WriteBytes(dir / "src", "data");
  std::filesystem::create_directory(dir / "ro");
  std::filesystem::permissions(
      dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                      std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
  // Root writes anywhere, so the write is tried as an unprivileged user.
  const int status = RunInChild([&] {
    if (geteuid() == 0 && setuid(65534) != 0) return 3;
    return WriteProtectedImageFile(dir / "src", dir / "ro" / "t.class", "") ? 1 : 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "ro"));
}

// A write that fails after the first megabytes (file size limit reached) must leave
// the old target as it was and no temporary file behind.
TEST(protected_file_test, failing_write_leaves_old_target) {
  TempDir dir;
  WriteBytes(dir / "src", test::RandomBytes(3 << 20));
  WriteBytes(dir / "t.class", "old target");
  for (const char* key : {"", "example.com"}) {
    const int status = RunInChild([&] {
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit lim = {rlim_t{1} << 20, rlim_t{1} << 20};
      if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return 3;
      return WriteProtectedImageFile(dir / "src", dir / "t.class", key) ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << key;
    EXPECT_EQ(ReadBytes(dir / "t.class"), "old target");
    EXPECT_EQ(test::ListFolder(dir.path()), (std::vector<std::string>{"src", "t.class"}));
  }
}

TEST(protected_file_test, scramble_block_matches_at_any_offset) {
  const std::string pattern = "UBK";
  std::string whole(100, '\0');
  ScrambleBlock(reinterpret_cast<unsigned char*>(whole.data()), whole.size(), 0, pattern);
  std::string parts(100, '\0');
  ScrambleBlock(reinterpret_cast<unsigned char*>(parts.data()), 37, 0, pattern);
  ScrambleBlock(reinterpret_cast<unsigned char*>(parts.data()) + 37, 63, 37, pattern);
  EXPECT_EQ(parts, whole);
  EXPECT_EQ(whole.substr(0, 4), "UBKU");
}

std::pair<ino_t, std::int64_t> Stamp(const std::filesystem::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

void Age(const std::filesystem::path& p) {
  std::filesystem::last_write_time(
      p, std::filesystem::file_time_type() + std::chrono::hours(24 * 365 * 40));
}

// The writer compares its scrambled blocks with the existing target and writes only when
// something differs, wherever that is, and then the whole file is right.
TEST(protected_file_test, existing_target_with_the_same_bytes_is_left_untouched) {
  TempDir dir;
  const std::string src = test::RandomBytes(3 * (std::size_t{1} << 18) + 1000, 7);
  WriteBytes(dir / "src", src);
  const auto target = dir / "t.class";
  for (const std::string key : {"", "www.example.com"}) {
    std::filesystem::remove(target);
    ASSERT_EQ(UpdateProtectedImageFile(dir / "src", target, key, ExistingFile::KeepIfSame),
              FileUpdate::Written);
    const std::string expected = Reference(src, key);
    ASSERT_TRUE(ReadBytes(target) == expected);
    Age(target);
    const auto stamp = Stamp(target);
    EXPECT_EQ(UpdateProtectedImageFile(dir / "src", target, key, ExistingFile::KeepIfSame),
              FileUpdate::Unchanged);
    EXPECT_EQ(Stamp(target), stamp) << key;
    EXPECT_TRUE(WriteProtectedImageFile(dir / "src", target, key));
    EXPECT_EQ(Stamp(target), stamp) << key;

    const std::string pattern =
        key.empty() ? std::string(256, 'x') : NormalizeKey(MakeHeaderKeyText(key));
    const std::size_t block = BlockScrambler(pattern).block_size();
    const std::size_t header = expected.size() - src.size();
    const struct {
      const char* name;
      std::function<void(std::string&)> change;
    } cases[] = {
        {"first byte", [](std::string& b) { b[0] ^= 1; }},
        {"last byte of the first block", [&](std::string& b) { b[header + block - 1] ^= 1; }},
        {"first byte of the second block", [&](std::string& b) { b[header + block] ^= 1; }},
        {"middle of the third block", [&](std::string& b) { b[header + 2 * block + 100] ^= 0x80; }},
        {"last byte", [](std::string& b) { b.back() ^= 1; }},
        {"one byte short", [](std::string& b) { b.pop_back(); }},
        {"one byte more", [](std::string& b) { b.push_back('\0'); }},
        {"empty", [](std::string& b) { b.clear(); }},
    };
    for (const auto& c : cases) {
      std::string damaged = expected;
      c.change(damaged);
      WriteBytes(target, damaged);
      Age(target);
      const auto old = Stamp(target);
      EXPECT_EQ(UpdateProtectedImageFile(dir / "src", target, key, ExistingFile::KeepIfSame),
                FileUpdate::Written)
          << c.name;
      EXPECT_TRUE(ReadBytes(target) == expected) << c.name;
      EXPECT_NE(Stamp(target), old) << c.name;
      EXPECT_EQ(test::ListFolder(dir.path()), (std::vector<std::string>{"src", "t.class"}))
          << c.name;
    }
    // Replace writes even the same bytes anew.
    const auto same = Stamp(target);
    EXPECT_EQ(UpdateProtectedImageFile(dir / "src", target, key, ExistingFile::Replace),
              FileUpdate::Written);
    EXPECT_NE(Stamp(target).first, same.first);
    EXPECT_TRUE(ReadBytes(target) == expected);
  }
}

}  // namespace
}  // namespace vg
