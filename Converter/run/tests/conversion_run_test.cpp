#include "run/conversion_run.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>

#include "core/atomic_file.h"
#include "core/protected_file.h"
#include "core/tests/test_util.h"
#include "core/utf8_path.h"
#include "pages/page_builder.h"

namespace vg {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const std::filesystem::path kSamples = std::filesystem::path(VG_SOURCE_DIR) / "samples";

// A host that answers as a test tells it and records what the run asked of it.
class ScriptedHost : public IConversionHost {
 public:
  explicit ScriptedHost(RunFlags& flags) : m_flags(flags) {}

  bool check_result = true;
  bool answer = true;
  std::string domain_key;
  int stop_after_image = -1;   // Stop is "clicked" while this image (1-based) is written
  int throw_after_image = -1;  // an unexpected error after this image (1-based)
  std::function<void()> collect;

  std::vector<std::string> log;
  std::vector<std::pair<std::string, MessageIcon>> messages;
  int progress_max = -1;
  int progress = -1;
  std::vector<bool> running_at_update;
  std::string opened;

  bool CheckCurrentStylePage() override {
    log.push_back("check");
    return check_result;
  }
  void CollectOptions() override {
    log.push_back("collect");
    if (collect) collect();
  }
  std::string GetDomainKey() override { return domain_key; }
  bool AskYesNo(const std::string& text) override {
    log.push_back("ask");
    question = text;
    return answer;
  }
  void UpdateControls() override { running_at_update.push_back(m_flags.running); }
  void SetProgressRange(int maximum) override { progress_max = maximum; }
  void SetProgressPosition(int position) override { progress = position; }
  void PumpMessages() override {
    if (progress == stop_after_image) m_flags.stop_requested = true;
    if (progress == throw_after_image) throw std::runtime_error("the window went away");
  }
  void ShowMessage(const std::string& text, MessageIcon icon) override {
    log.push_back("message");
    messages.emplace_back(text, icon);
  }
  void OpenFolder(const std::string& folder) override { opened = folder; }
  void OnImageFinished(std::size_t, const CImageItem&, bool was_written) override {
    written.push_back(was_written);
  }
  std::vector<bool> written;  // per image handled: were any of its files written

  std::string question;

 private:
  RunFlags& m_flags;
};

// A target folder, a program folder with vgi.js, images copied from the samples.
class RunFixture : public ::testing::Test {
 public:
  void SetUp() override {
    std::filesystem::create_directories(dir / "out");
    std::filesystem::create_directories(dir / "program");
    WriteBytes(dir / "program" / "vgi.js", "// viewer\n");
    std::filesystem::create_directories(dir / "in");
    settings.Target = PathToUtf8(dir / "out");
    page_template = "<p>%WIDTH%x%HEIGHT%</p>\r\n%PARAMS%";
  }

  // Copies a sample under a new name and adds it to the list.
  std::filesystem::path AddImage(const std::string& sample, const std::string& name) {
    auto p = dir / "in" / name;
    std::filesystem::copy_file(kSamples / sample, p,
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_TRUE(images.AddImageFile(PathToUtf8(p)));
    return p;
  }

  void AddFive() {
    AddImage("lantern.gif", "a.gif");
    AddImage("harbour-dusk.jpg", "b.jpg");
    AddImage("meadow.png", "c.png");
    AddImage("lantern.gif", "d.gif");
    AddImage("quarry.tif", "e.tif");
  }

  RunOutcome Run(ExistingFile existing = ExistingFile::KeepIfSame) {
    ConversionInput input{settings, images, page_template, program, flags};
    input.existing = existing;
    host.written.clear();
    return StartConversion(input, host);
  }

  std::vector<std::string> Written() { return test::ListFolder(dir / "out"); }

  TempDir dir;
  std::filesystem::path program = dir / "program";
  ConverterSettings settings;
  CImageList images;
  std::string page_template;
  RunFlags flags;
  ScriptedHost host{flags};
};

TEST_F(RunFixture, converts_every_image_then_copies_the_viewer) {
  AddImage("lantern.gif", "My photo.gif");
  AddImage("harbour-dusk.jpg", "harbour.jpg");
  settings.OpenTargetFolderOnCompletion = true;
  EXPECT_EQ(Run(), RunOutcome::Done);
  EXPECT_EQ(Written(),
            (std::vector<std::string>{"My photo.html", "My_photo_0320_0240_C.class", "harbour.html",
                                      "harbour_0800_0600_C.class", "vgi.js"}));
  EXPECT_EQ(
      host.question,
      "You are about to convert 2 image file(s).\nNote that files in the target folder will be "
      "overwritten!\n\nAre you sure you want to continue?");
  EXPECT_EQ(host.log, (std::vector<std::string>{"check", "collect", "ask", "message"}));
  EXPECT_EQ(host.messages.back(), std::make_pair(std::string("Done."), MessageIcon::Information));
  EXPECT_EQ(host.running_at_update, (std::vector<bool>{true, false}));
  EXPECT_EQ(host.progress_max, 2);
  EXPECT_EQ(host.progress, 2);
  EXPECT_EQ(host.opened, settings.Target);
  EXPECT_FALSE(flags.running);
  // The files are the writer's and the page builder's output.
  WriteProtectedImageFile(dir / "in" / "harbour.jpg", dir / "expected.class", "");
  EXPECT_EQ(ReadBytes(dir / "out" / "harbour_0800_0600_C.class"),
            ReadBytes(dir / "expected.class"));
  const CImageItem* frames[] = {&images[1]};
  EXPECT_EQ(ReadBytes(dir / "out" / "harbour.html"),
            BuildPage(page_template, settings, {frames[0]}));
}

TEST_F(RunFixture, refusals_write_nothing) {
  struct Case {
    std::string name;
    std::function<void(RunFixture&)> arrange;
    std::string message;
    RunOutcome outcome;
  } cases[] = {
      {"empty list", [](RunFixture&) {}, "Please add at least one image file!",
       RunOutcome::Refused},
      {"page check",
       [](RunFixture& f) {
         f.AddImage("lantern.gif", "a.gif");
         f.host.check_result = false;
       },
       "", RunOutcome::Refused},
      {"image to image without file",
       [](RunFixture& f) {
         f.AddImage("lantern.gif", "a.gif");
         f.settings.PresentationStyle = 3;
       },
       "Please choose an image file!", RunOutcome::Refused},
      {"declined",
       [](RunFixture& f) {
         f.AddImage("lantern.gif", "a.gif");
         f.host.answer = false;
       },
       "", RunOutcome::Declined},
      {"no target folder",
       [](RunFixture& f) {
         f.AddImage("lantern.gif", "a.gif");
         f.host.collect = [&f] { f.settings.Target.clear(); };
       },
       "Please choose a target folder!", RunOutcome::Refused},
      {"domain without letters",
       [](RunFixture& f) {
         f.AddImage("lantern.gif", "a.gif");
         f.host.domain_key = "--";
       },
       "The domain \"--\" has no letters or digits", RunOutcome::Refused},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    struct Scratch : RunFixture {
      void TestBody() override {}
    } f;
    f.SetUp();
    c.arrange(f);
    EXPECT_EQ(f.Run(), c.outcome);
    EXPECT_TRUE(f.Written().empty());
    EXPECT_EQ(f.host.progress_max, -1);  // the progress bar is left alone
    EXPECT_TRUE(f.host.running_at_update.empty());
    if (c.message.empty()) {
      EXPECT_TRUE(f.host.messages.empty());
    } else {
      ASSERT_EQ(f.host.messages.size(), 1u);
      EXPECT_EQ(f.host.messages[0].first.rfind(c.message, 0), 0u) << f.host.messages[0].first;
      EXPECT_EQ(f.host.messages[0].second, MessageIcon::Error);
    }
  }
}

TEST_F(RunFixture, unreadable_third_image_stops_after_it) {
  AddFive();
  std::filesystem::remove(dir / "in" / "c.png");
  settings.OpenTargetFolderOnCompletion = true;
  EXPECT_EQ(Run(), RunOutcome::Failed);
  EXPECT_EQ(Written(), (std::vector<std::string>{"a.html", "a_0320_0240_C.class", "b.html",
                                                 "b_0800_0600_C.class"}));
  EXPECT_EQ(host.progress, 3);
  EXPECT_EQ(host.messages.back().first,
            "Error converting input file!\n\n" + images[2].GetFullPath());
  EXPECT_EQ(host.messages.back().second, MessageIcon::Error);
  EXPECT_TRUE(host.opened.empty());
  EXPECT_EQ(host.running_at_update, (std::vector<bool>{true, false}));
}

TEST_F(RunFixture, page_that_cannot_be_written_keeps_its_protected_file) {
  AddImage("lantern.gif", "a.gif");
  AddImage("lantern.gif", "b.gif");
  std::filesystem::create_directory(dir / "out" / "a.html");  // a folder where the page goes
  EXPECT_EQ(Run(), RunOutcome::Failed);
  EXPECT_TRUE(std::filesystem::exists(dir / "out" / "a_0320_0240_C.class"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out" / "b_0320_0240_C.class"));
  EXPECT_EQ(host.messages.back().first,
            "Error converting input file!\n\n" + images[0].GetFullPath());
}

TEST_F(RunFixture, stop_during_last_image_keeps_files_but_aborts) {
  AddFive();
  settings.PresentationStyle = 4;
  settings.OpenTargetFolderOnCompletion = true;
  host.stop_after_image = 5;
  EXPECT_EQ(Run(), RunOutcome::Aborted);
  EXPECT_EQ(Written().size(), 5u);  // every protected file, no page in this style
  EXPECT_FALSE(std::filesystem::exists(dir / "out" / "slideshow.html"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out" / "vgi.js"));
  EXPECT_EQ(host.messages.back(), std::make_pair(std::string("Aborted!"), MessageIcon::Warning));
  EXPECT_TRUE(host.opened.empty());
}

TEST_F(RunFixture, stop_between_images_leaves_the_rest_untouched) {
  AddFive();
  host.stop_after_image = 2;
  EXPECT_EQ(Run(), RunOutcome::Aborted);
  EXPECT_EQ(Written(), (std::vector<std::string>{"a.html", "a_0320_0240_C.class", "b.html",
                                                 "b_0800_0600_C.class"}));
  EXPECT_EQ(host.progress, 2);
}

// An unexpected error still ends the run in order and keeps what was written.
TEST_F(RunFixture, unexpected_error_ends_the_run_in_order) {
  AddFive();
  host.throw_after_image = 2;
  EXPECT_EQ(Run(), RunOutcome::Failed);
  EXPECT_EQ(Written(), (std::vector<std::string>{"a.html", "a_0320_0240_C.class", "b.html",
                                                 "b_0800_0600_C.class"}));
  EXPECT_FALSE(flags.running);
  EXPECT_EQ(host.running_at_update, (std::vector<bool>{true, false}));
  EXPECT_EQ(host.messages.back().first, "Error converting input file!\n\n" +
                                            images[1].GetFullPath() + "\n\nthe window went away");
  EXPECT_EQ(host.messages.back().second, MessageIcon::Error);
}

TEST_F(RunFixture, slideshow_with_one_image) {
  AddImage("meadow.png", "m.png");
  settings.PresentationStyle = 4;
  EXPECT_EQ(Run(), RunOutcome::Done);
  EXPECT_EQ(Written(),
            (std::vector<std::string>{"m_0480_0360_C.class", "slideshow.html", "vgi.js"}));
  EXPECT_NE(ReadBytes(dir / "out" / "slideshow.html").find("m_0480_0360_C.class"),
            std::string::npos);
}

TEST_F(RunFixture, image_to_image_writes_second_file_before_the_question) {
  AddImage("lantern.gif", "a.gif");
  AddImage("harbour-dusk.jpg", "b.jpg");
  std::filesystem::copy_file(kSamples / "meadow.png", dir / "in" / "over.png");
  settings.PresentationStyle = 3;
  settings.Image2ImageFile = PathToUtf8(dir / "in" / "over.png");
  host.answer = false;
  EXPECT_EQ(Run(), RunOutcome::Declined);
  EXPECT_EQ(Written(), std::vector<std::string>{"over_0480_0360_C.class"});
  EXPECT_NE(host.question.find("convert 2 image file(s)"), std::string::npos);

  host.answer = true;
  EXPECT_EQ(Run(), RunOutcome::Done);
  const std::string page = ReadBytes(dir / "out" / "a.html");
  EXPECT_NE(page.find("\"FrameCount\" value=\"2\""), std::string::npos) << page;
  EXPECT_NE(page.find("\"Frame001\" value=\"over_0480_0360_C.class\""), std::string::npos) << page;
  EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "check"), 0);
}

TEST_F(RunFixture, image_to_image_with_unreadable_second_image) {
  AddImage("lantern.gif", "a.gif");
  WriteBytes(dir / "in" / "text.png", "not an image");
  settings.PresentationStyle = 3;
  settings.Image2ImageFile = PathToUtf8(dir / "in" / "text.png");
  EXPECT_EQ(Run(), RunOutcome::Failed);
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(host.messages.back().first,
            "Error converting image file!\n\n" + settings.Image2ImageFile);
  EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "ask"), 0);
}

TEST_F(RunFixture, domain_key_locks_every_file) {
  AddImage("lantern.gif", "a.gif");
  AddImage("meadow.png", "b.png");
  host.domain_key = "localhost";
  EXPECT_EQ(Run(), RunOutcome::Done);
  for (const char* name : {"a_0320_0240_C.class", "b_0480_0360_C.class"}) {
    const std::string bytes = ReadBytes(dir / "out" / name);
    EXPECT_EQ(bytes[3], '\x01') << name;
    EXPECT_EQ(bytes.substr(8, 9), MakeHeaderKeyText("localhost")) << name;
  }
}

TEST_F(RunFixture, same_protected_name_later_image_wins) {
  AddImage("lantern.gif", "a b.gif");
  std::filesystem::create_directory(dir / "in" / "other");
  std::filesystem::copy_file(kSamples / "lantern.gif", dir / "in" / "other" / "a-b.gif");
  // Same pixels, different bytes: the later file's bytes must be the ones that stay.
  WriteBytes(dir / "in" / "other" / "a-b.gif",
             ReadBytes(dir / "in" / "other" / "a-b.gif") + "trailer");
  ASSERT_TRUE(images.AddImageFile(PathToUtf8(dir / "in" / "other" / "a-b.gif")));
  EXPECT_EQ(Run(), RunOutcome::Done);
  WriteProtectedImageFile(dir / "in" / "other" / "a-b.gif", dir / "expected", "");
  EXPECT_EQ(ReadBytes(dir / "out" / "a_b_0320_0240_C.class"), ReadBytes(dir / "expected"));
}

// The message names the file to repair: the installed viewer script when it is missing,
// the copy in the target folder when that cannot be written.
TEST_F(RunFixture, missing_viewer_script_is_reported) {
  AddImage("lantern.gif", "a.gif");
  std::filesystem::remove(program / "vgi.js");
  settings.OpenTargetFolderOnCompletion = true;
  EXPECT_EQ(Run(), RunOutcome::Failed);
  EXPECT_EQ(host.messages.back().first,
            "Error converting input file!\n\n" + PathToUtf8(program / "vgi.js"));
  EXPECT_TRUE(host.opened.empty());

  WriteBytes(program / "vgi.js", "// viewer\n");
  std::filesystem::create_directory(dir / "out" / "vgi.js");  // in the way of the copy
  EXPECT_EQ(Run(), RunOutcome::Failed);
  EXPECT_EQ(host.messages.back().first,
            "Error converting input file!\n\n" + PathToUtf8(dir / "out" / "vgi.js"));
}

TEST_F(RunFixture, missing_target_folder_fails_on_first_file) {
  AddImage("lantern.gif", "a.gif");
  settings.Target = PathToUtf8(dir / "nowhere");
  EXPECT_EQ(Run(), RunOutcome::Failed);
  EXPECT_EQ(host.messages.back().first,
            "Error converting input file!\n\n" + images[0].GetFullPath());
  EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
}

// Inode and modification time of every file of the target folder.
std::map<std::string, std::pair<ino_t, std::int64_t>> Stamps(const std::filesystem::path& folder) {
  std::map<std::string, std::pair<ino_t, std::int64_t>> stamps;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    struct stat st;
    EXPECT_EQ(::stat(e.path().c_str(), &st), 0);
    stamps[e.path().filename().string()] = {st.st_ino,
                                            st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
  }
  return stamps;
}

// Sets every file of the folder to a modification time long past, so that any rewrite
// shows, however coarse the file system's clock.
void AgeFiles(const std::filesystem::path& folder) {
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    std::filesystem::last_write_time(
        e.path(), std::filesystem::file_time_type() + std::chrono::hours(24 * 365 * 40));
  }
}

TEST_F(RunFixture, rerun_leaves_files_that_hold_the_same_bytes_alone) {
  AddFive();
  settings.PresentationStyle = 1;  // text to image: every page names its image
  settings.Text2ImageMessage = "hover";
  ASSERT_EQ(Run(), RunOutcome::Done);
  EXPECT_EQ(host.written, std::vector<bool>(5, true));
  AgeFiles(dir / "out");
  const auto before = Stamps(dir / "out");
  ASSERT_EQ(before.size(), 11u);

  ASSERT_EQ(Run(), RunOutcome::Done);
  EXPECT_EQ(host.written, std::vector<bool>(5, false));
  EXPECT_EQ(Stamps(dir / "out"), before);

  // A changed image: only its protected file is written (its page says the same).
  WriteBytes(dir / "in" / "c.png", ReadBytes(dir / "in" / "c.png") + "trailer");
  ASSERT_EQ(Run(), RunOutcome::Done);
  EXPECT_EQ(host.written, (std::vector<bool>{false, false, true, false, false}));
  auto after = Stamps(dir / "out");
  for (const auto& [name, stamp] : before) {
    EXPECT_EQ(after[name] == stamp, name != "c_0480_0360_C.class") << name;
  }
  WriteProtectedImageFile(dir / "in" / "c.png", dir / "expected", "");
  EXPECT_EQ(ReadBytes(dir / "out" / "c_0480_0360_C.class"), ReadBytes(dir / "expected"));

  // Another option changes every page but no protected file; the viewer stays.
  settings.Text2ImageMessage = "hover me";
  AgeFiles(dir / "out");
  const auto aged = Stamps(dir / "out");
  ASSERT_EQ(Run(), RunOutcome::Done);
  EXPECT_EQ(host.written, std::vector<bool>(5, true));
  after = Stamps(dir / "out");
  for (const auto& [name, stamp] : aged) {
    EXPECT_EQ(after[name] == stamp, name.size() > 5 && name.substr(name.size() - 5) != ".html")
        << name;
  }

  // Replace rewrites every file.
  ASSERT_EQ(Run(ExistingFile::Replace), RunOutcome::Done);
  EXPECT_EQ(host.written, std::vector<bool>(5, true));
  after = Stamps(dir / "out");
  for (const auto& [name, stamp] : aged) EXPECT_NE(after[name].first, stamp.first) << name;
}

// The temporary file beside a target must not make a long name too long: 225 letters
// give a protected file name of 243 bytes and a page name of 230, both under the 255
// that Linux file systems take.
TEST_F(RunFixture, image_with_a_long_name_converts) {
  const std::string base(225, 'a');
  AddImage("lantern.gif", base + ".gif");
  for (bool named : {false, true}) {
    UseNamedTemporaryFilesOnly(named);
    EXPECT_EQ(Run(ExistingFile::Replace), RunOutcome::Done) << named;
    UseNamedTemporaryFilesOnly(false);
    EXPECT_EQ(Written(),
              (std::vector<std::string>{base + ".html", base + "_0320_0240_C.class", "vgi.js"}))
        << named;
  }
}

// A run killed while writing a large image, with named temporary files (as on Windows
// or a file system without unnamed files), leaves one behind; the next run over the
// folder removes it and nothing else.
TEST_F(RunFixture, next_run_removes_what_a_killed_run_left) {
  const auto big = dir / "in" / "big.gif";
  WriteBytes(big, ReadBytes(kSamples / "lantern.gif"));
  std::filesystem::resize_file(big, std::uintmax_t{1} << 30);  // sparse: quick to read
  const auto out = dir / "out";
  pid_t pid = fork();
  if (pid == 0) {
    UseNamedTemporaryFilesOnly(true);
    _exit(WriteProtectedImageFile(big, out / "big_0320_0240_C.class", "") ? 0 : 1);
  }
  std::string left;
  for (int i = 0; i < 4000 && left.empty(); ++i) {
    for (const auto& name : test::ListFolder(out)) {
      if (IsTemporaryFileName(name) && std::filesystem::file_size(out / name) > 0) left = name;
    }
    if (left.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer finished before it was killed";
  ASSERT_FALSE(left.empty());
  EXPECT_EQ(Written(), std::vector<std::string>{left});
  EXPECT_LE(left.size(), 23u);

  // Files that only look alike, and one that a live writer holds, stay.
  WriteBytes(out / ".vgtmp-notours", "x");
  WriteBytes(out / ".vgtmp-0123456789ABCDEF", "x");
  WriteBytes(out / "vgtmp-0123456789abcdef", "x");
  WriteBytes(dir / "outside", "keep");
  std::filesystem::create_symlink(dir / "outside", out / ".vgtmp-fedcba9876543210");
  std::filesystem::create_directory(out / ".vgtmp-0000000000000000");
  WriteBytes(out / ".old.gif.vgtmp-12-3-0", "from an earlier version");
  UseNamedTemporaryFilesOnly(true);
  AtomicFile live(out / "live.html");
  ASSERT_TRUE(live.Open());
  ASSERT_TRUE(live.Write("being written"));
  UseNamedTemporaryFilesOnly(false);
  const auto during = Written();

  AddImage("lantern.gif", "a.gif");
  ASSERT_EQ(Run(), RunOutcome::Done);
  std::vector<std::string> expected;
  for (const auto& name : during) {
    if (name != left && name != ".old.gif.vgtmp-12-3-0") expected.push_back(name);
  }
  for (const char* name : {"a.html", "a_0320_0240_C.class", "vgi.js"}) expected.push_back(name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Written(), expected);
  EXPECT_EQ(ReadBytes(dir / "outside"), "keep");
  ASSERT_TRUE(live.Commit());
  EXPECT_EQ(ReadBytes(out / "live.html"), "being written");
}

}  // namespace
}  // namespace vg
