// Runs started from the window: the files match `vellagard convert`, Stop, the
// enabling while running, the ignored close command and the closing messages.
#include <wx/gauge.h>

#include "cli/tests/run_cli.h"
#include "ui/tests/main_win_fixture.h"

namespace vg::test {
namespace {

using ui::CMainWin;
using ui::FromWx;

struct RunCase {
  const char* name;
  int style;
  std::vector<std::string> cli_options;
  std::function<void(CMainWin&, FakeServices&)> set_up_window;
};

TEST_F(main_win_test, a_run_writes_the_same_files_as_vellagard_convert) {
  const RunCase cases[] = {
      {"text to image, domain-locked, colours and border",
       1,
       {"--style", "text-to-image", "--message", "Hover to see", "--loading", "Loading now",
        "--status", "My gallery", "--background", "336699", "--text-color", "FFEECC", "--border",
        "3", "--domain", "example.com", "--watermark", "\xC2\xA9 Jane & Co"},
       [](CMainWin& w, FakeServices& s) {
         Type(dynamic_cast<ui::CDlgStyleTextPage*>(w.StylePage(1))->m_editText, "Hover to see");
         Type(w.m_editMessageLoading, "Loading now");
         Type(w.m_editMessageStatus, "My gallery");
         Type(w.m_editWatermark, "  \xC2\xA9 Jane & Co ");
         s.colour_answer = 0x00996633;
         ASSERT_TRUE(Click(w.m_buttonBackColor));
         s.colour_answer = 0x00CCEEFF;
         ASSERT_TRUE(Click(w.m_buttonTextColor));
         Type(w.m_editBorderWidth, "3");
         ASSERT_TRUE(ClickCheck(w.m_checkDomainLock));
         w.m_comboDomain->SetStringSelection("example.com");
       }},
      {"slideshow, keyless",
       4,
       {"--style", "slideshow", "--delay", "750"},
       [](CMainWin& w, FakeServices&) {
         Type(dynamic_cast<ui::CDlgStyleSlideshow*>(w.StylePage(4))->m_editDelay, "750");
       }},
      {"targeted link to a named frame",
       0,
       {"--style", "link", "--link", "https://example.com/shop", "--frame", "main"},
       [](CMainWin& w, FakeServices&) {
         auto* link = dynamic_cast<ui::CDlgStyleLink*>(w.StylePage(0));
         Type(link->m_editLink, "https://example.com/shop");
         ASSERT_TRUE(ClickRadio(link->m_frameButtons[3]));
         Type(link->m_editOtherFrame, "main");
       }},
  };
  const auto images = MakeImages(m_dir / "in", 3);
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    m_store = MemorySettingsStore();  // each case starts from the defaults
    m_store.SetText(kSectionDomains, kEntryDomainNames, "example.com");
    const auto from_window = m_dir / (std::string("window-") + std::to_string(c.style));
    const auto from_cli = m_dir / (std::string("cli-") + std::to_string(c.style));
    std::filesystem::create_directories(from_window);

    CMainWin& w = Open();
    AddFiles(images);
    if (c.style != 0) {
      ASSERT_TRUE(ClickRadio(w.m_radioStyles[c.style]));
    }
    c.set_up_window(w, m_services);
    Type(w.m_editTarget, PathToUtf8(from_window));
    m_services.messages.clear();
    ASSERT_TRUE(Click(w.m_buttonStart));
    ASSERT_EQ(m_services.MessageTexts(), std::vector<std::string>{"Done."});

    std::vector<std::string> args = {"convert"};
    for (const auto& f : images) args.push_back(PathToUtf8(f));
    args.insert(args.end(), {"-o", PathToUtf8(from_cli), "-y"});
    args.insert(args.end(), c.cli_options.begin(), c.cli_options.end());
    const CliResult cli = RunCli(args);
    ASSERT_EQ(cli.exit_code, 0) << cli.err;

    const auto names = ListFolder(from_window);
    ASSERT_EQ(names, ListFolder(from_cli));
    EXPECT_GE(names.size(), 4u);  // at least the protected files and vgi.js
    for (const auto& name : names) {
      EXPECT_EQ(ReadBytes(from_window / name), ReadBytes(from_cli / name)) << name;
    }
    CloseWindow();
  }
}

TEST_F(main_win_test, a_done_run_reports_and_opens_the_typed_target_folder) {
  CMainWin& w = Open();
  AddFiles(MakeImages(m_dir / "in", 3));
  const auto target = m_dir / "typed";
  std::filesystem::create_directories(target);
  Type(w.m_editTarget, PathToUtf8(target));
  w.m_checkOpenTarget->SetValue(true);
  ASSERT_TRUE(Click(w.m_buttonStart));
  ASSERT_EQ(m_services.MessageTexts(), std::vector<std::string>{"Done."});
  EXPECT_EQ(m_services.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(m_services.opened_folders, std::vector<std::string>{PathToUtf8(target)});
  EXPECT_TRUE(std::filesystem::exists(target / "img3.html"));
  EXPECT_TRUE(std::filesystem::exists(target / "vgi.js"));
  EXPECT_EQ(w.m_progress->GetRange(), 3);
  EXPECT_EQ(w.m_progress->GetValue(), 3);
  EXPECT_FALSE(w.Flags().running);
  EXPECT_TRUE(w.m_buttonStart->IsEnabled());
  EXPECT_FALSE(w.m_buttonStop->IsEnabled());
}

// What the window looked like while the run was going on, seen from a Stop click.
struct RunningState {
  bool seen = false;
  bool stop_enabled = false;
  std::vector<int> enabled_inputs;  // ids of inputs that were enabled (should be none)
  bool domain_enabled = true;
  bool pages_enabled = true;
};

TEST_F(main_win_test, stop_during_a_run_aborts_after_the_current_image) {
  CMainWin& w = Open();
  AddFiles(MakeImages(m_dir / "in", 5));
  ASSERT_TRUE(ClickCheck(w.m_checkDomainLock));  // the drop-down enabled before the run
  const auto target = m_dir / "out";
  std::filesystem::create_directories(target);
  Type(w.m_editTarget, PathToUtf8(target));
  w.m_checkOpenTarget->SetValue(true);

  RunningState state;
  w.m_buttonStop->Bind(wxEVT_BUTTON, [&](wxCommandEvent& e) {
    state.seen = true;
    state.stop_enabled = w.m_buttonStop->IsEnabled();
    for (wxWindow* c : w.GetChildren()) {
      const int id = c->GetId();
      const bool left_alone = id == wxID_STATIC || id == ui::IDC_STOP || id == ui::IDC_PROGRESS ||
                              id == ui::IDC_PREVIEW || id == ui::IDC_STYLE_FRAME ||
                              id == ui::IDC_BORDER_SPIN ||
                              dynamic_cast<ui::CStylePage*>(c) != nullptr;
      if (!left_alone && c->IsEnabled()) state.enabled_inputs.push_back(id);
    }
    state.domain_enabled = w.m_comboDomain->IsEnabled();
    state.pages_enabled = false;
    for (int s = 0; s < 5; ++s)
      state.pages_enabled = state.pages_enabled || w.StylePage(s)->IsEnabled();
    e.Skip();  // on to the window's own Stop handler
  });
  // The click waits in the queue and is handled at the first pause of the run.
  wxCommandEvent stop(wxEVT_BUTTON, ui::IDC_STOP);
  stop.SetEventObject(w.m_buttonStop);
  w.m_buttonStop->GetEventHandler()->AddPendingEvent(stop);

  ASSERT_TRUE(Click(w.m_buttonStart));
  ASSERT_TRUE(state.seen);
  EXPECT_TRUE(state.stop_enabled);
  EXPECT_TRUE(state.enabled_inputs.empty()) << "first enabled input: " << state.enabled_inputs[0];
  EXPECT_FALSE(state.domain_enabled);
  EXPECT_FALSE(state.pages_enabled);

  ASSERT_EQ(m_services.MessageTexts(), std::vector<std::string>{"Aborted!"});
  EXPECT_EQ(m_services.messages[0].icon, MessageIcon::Warning);
  // The first image finished with both its files; nothing after it.
  EXPECT_TRUE(std::filesystem::exists(target / "img1.html"));
  EXPECT_FALSE(std::filesystem::exists(target / "img2.html"));
  EXPECT_FALSE(std::filesystem::exists(target / "vgi.js"));
  EXPECT_TRUE(m_services.opened_folders.empty());
  EXPECT_EQ(w.m_progress->GetValue(), 1);
  // Idle again: inputs enabled, Stop disabled, the drop-down as the lock says.
  EXPECT_TRUE(w.m_buttonStart->IsEnabled());
  EXPECT_TRUE(w.m_listImages->IsEnabled());
  EXPECT_TRUE(w.StylePage(0)->IsEnabled());
  EXPECT_FALSE(w.m_buttonStop->IsEnabled());
  EXPECT_TRUE(w.m_comboDomain->IsEnabled());
}

TEST_F(main_win_test, the_close_command_is_ignored_during_a_run) {
  CMainWin& w = Open();
  AddFiles(MakeImages(m_dir / "in", 3));
  const auto target = m_dir / "out";
  std::filesystem::create_directories(target);
  Type(w.m_editTarget, PathToUtf8(target));

  int close_results = 0;
  bool closed_during_run = true;
  w.CallAfter([&] {
    closed_during_run = w.Close();  // as Alt+F4 or the title bar's close button
    ++close_results;
  });
  ASSERT_TRUE(Click(w.m_buttonStart));
  ASSERT_EQ(close_results, 1);
  EXPECT_FALSE(closed_during_run);
  EXPECT_TRUE(w.IsShown());
  EXPECT_EQ(m_services.MessageTexts(), std::vector<std::string>{"Done."});
  EXPECT_TRUE(std::filesystem::exists(target / "vgi.js"));

  EXPECT_TRUE(w.Close());
  EXPECT_FALSE(w.IsShown());
}

TEST_F(main_win_test, a_failing_image_names_its_source) {
  CMainWin& w = Open();
  const auto images = MakeImages(m_dir / "in", 3);
  AddFiles(images);
  std::filesystem::remove(images[1]);
  const auto target = m_dir / "out";
  std::filesystem::create_directories(target);
  Type(w.m_editTarget, PathToUtf8(target));
  ASSERT_TRUE(Click(w.m_buttonStart));
  ASSERT_EQ(m_services.messages.size(), 1u);
  EXPECT_EQ(m_services.messages[0].text,
            "Error converting input file!\n\n" + PathToUtf8(images[1]));
  EXPECT_EQ(m_services.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(w.m_progress->GetValue(), 2);
  EXPECT_TRUE(w.m_buttonStart->IsEnabled());
}

}  // namespace
}  // namespace vg::test

namespace vg::test {
namespace {

// The window takes template.html and vgi.js from its program folder, else from
// ../share/vellagard as installed; with neither it refuses Start instead of writing
// empty pages, naming both places.
TEST_F(main_win_test, finds_its_files_in_share_vellagard_and_refuses_start_without_them) {
  const auto images = MakeImages(m_dir / "in", 1);
  for (const bool installed : {true, false}) {
    SCOPED_TRACE(installed ? "installed tree" : "no template anywhere");
    const auto prefix = m_dir / (installed ? "installed" : "broken");
    const auto program = prefix / "bin";
    const auto share = prefix / "share" / "vellagard";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(share);
    std::filesystem::copy_file(BinDir() / "vgi.js", program / "vgi.js");
    if (installed) {
      std::filesystem::copy_file(BinDir() / "template.html", share / "template.html");
      WriteBytes(share / "vgi.js", "the installed viewer");
    }
    m_services.messages.clear();
    m_services.questions.clear();
    auto* w = new ui::CMainWin(nullptr, m_store, m_services, program);
    w->Show();
    Settle();
    m_services.files_answer = std::vector<std::string>{PathToUtf8(images[0])};
    ASSERT_TRUE(Click(w->m_buttonAddFiles));
    const auto target = prefix / "out";
    std::filesystem::create_directories(target);
    Type(w->m_editTarget, PathToUtf8(target));
    ASSERT_TRUE(Click(w->m_buttonStart));
    ASSERT_EQ(m_services.messages.size(), 1u);
    if (installed) {
      EXPECT_EQ(m_services.messages[0].text, "Done.");
      EXPECT_EQ(ReadBytes(target / "vgi.js"), "the installed viewer");
    } else {
      EXPECT_EQ(m_services.messages[0].icon, MessageIcon::Error);
      const std::string& text = m_services.messages[0].text;
      EXPECT_NE(text.find("template.html"), std::string::npos) << text;
      EXPECT_NE(text.find(PathToUtf8(program)), std::string::npos) << text;
      EXPECT_NE(text.find(PathToUtf8(share)), std::string::npos) << text;
      EXPECT_TRUE(m_services.questions.empty());
      EXPECT_TRUE(ListFolder(target).empty());
    }
    delete w;
  }
}

}  // namespace
}  // namespace vg::test
