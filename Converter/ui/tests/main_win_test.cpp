// The main window driven through its controls: layout, styles and pages, domain
// lock, list commands, colours, target folder, keys and the settings it keeps.
#include <atomic>
#include <cstdlib>
#include <thread>

#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/dnd.h>
#include <wx/frame.h>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>

#include "pages/style_checks.h"
#include "ui/config_store.h"
#include "ui/domains_dlg.h"
#include "ui/tests/main_win_fixture.h"

namespace vg::test {
namespace {

using ui::CMainWin;
using ui::DialogRect;
using ui::FindChildById;
using ui::FromWx;

// ---------------------------------------------------------------------------------
// Layout

struct Placed {
  int id;
  const char* text;  // nullptr: not checked
  int x, y, w, h;
};

const Placed kLayout[] = {
    {ui::IDC_IMAGE_LIST, nullptr, 8, 16, 356, 102},
    {ui::IDC_ADD_FILES, "Add file(s)", 372, 16, 66, 14},
    {ui::IDC_ADD_FOLDER, "Add folder", 372, 32, 66, 14},
    {ui::IDC_REMOVE_SELECTED, "Remove selected", 372, 52, 66, 14},
    {ui::IDC_CLEAR_LIST, "Clear list", 372, 68, 66, 14},
    {ui::IDC_MOVE_UP, "Move up", 372, 88, 66, 14},
    {ui::IDC_MOVE_DOWN, "Move down", 372, 104, 66, 14},
    {ui::IDC_STYLE_LINK, "Targeted link", 12, 137, 84, 10},
    {ui::IDC_STYLE_TEXT2IMAGE, "Text to image", 99, 137, 84, 10},
    {ui::IDC_STYLE_IMAGE2TEXT, "Image to text", 186, 137, 84, 10},
    {ui::IDC_STYLE_IMAGE2IMAGE, "Image to image", 273, 137, 84, 10},
    {ui::IDC_STYLE_SLIDESHOW, "Slideshow", 360, 137, 60, 10},
    {ui::IDC_STYLE_FRAME, nullptr, 14, 150, 414, 92},
    {ui::IDC_MESSAGE_LOADING, nullptr, 72, 248, 362, 14},
    {ui::IDC_MESSAGE_STATUS, nullptr, 72, 266, 362, 14},
    {ui::IDC_BACK_COLOR, nullptr, 72, 284, 36, 14},
    {ui::IDC_TEXT_COLOR, nullptr, 72, 301, 36, 14},
    {ui::IDC_PREVIEW, nullptr, 114, 285, 66, 30},
    {ui::IDC_BORDER_WIDTH, nullptr, 264, 284, 54, 14},
    {ui::IDC_BORDER_SPIN, nullptr, 318, 284, 11, 14},
    {ui::IDC_WATERMARK, nullptr, 264, 301, 170, 14},
    {ui::IDC_DOMAIN_LOCK, "Lock to domain:", 12, 325, 66, 12},
    {ui::IDC_TARGET_FOLDER, nullptr, 60, 345, 314, 14},
    {ui::IDC_BROWSE_TARGET, "Browse", 384, 345, 50, 14},
    {ui::IDC_OPEN_TARGET, "Open target folder on completion", 60, 364, 122, 10},
    {ui::IDC_PROGRESS, nullptr, 12, 380, 312, 14},
    {ui::IDC_START, "Start", 330, 380, 50, 14},
    {ui::IDC_STOP, "Stop", 386, 380, 50, 14},
    {ui::IDC_ABOUT, "About", 12, 404, 50, 14},
    {ui::IDC_CLOSE, "Close", 386, 404, 50, 14},
};

TEST_F(main_win_test, layout_in_dialog_units) {
  CMainWin& w = Open();
  EXPECT_EQ(FromWx(w.GetTitle()), "Vellagard Web Converter");
  EXPECT_EQ(w.GetClientSize(), ui::DialogSize(&w, 447, 423));
  EXPECT_FALSE(w.HasFlag(wxRESIZE_BORDER));
  EXPECT_FALSE(w.HasFlag(wxMAXIMIZE_BOX));
  EXPECT_TRUE(w.HasFlag(wxMINIMIZE_BOX));
  EXPECT_TRUE(w.GetIcon().IsOk());
  for (const Placed& p : kLayout) {
    SCOPED_TRACE(p.id);
    wxWindow* c = FindChildById(&w, p.id);
    ASSERT_NE(c, nullptr);
    const wxRect expected = DialogRect(&w, p.x, p.y, p.w, p.h);
    const wxRect actual = c->GetRect();
    if (dynamic_cast<wxRadioButton*>(c) || dynamic_cast<wxCheckBox*>(c)) {
      // May grow to the indicator's natural height, centred on its row.
      EXPECT_EQ(actual.x, expected.x);
      EXPECT_EQ(actual.width, expected.width);
      EXPECT_GE(actual.height, expected.height);
      EXPECT_NEAR(actual.y + actual.height / 2.0, expected.y + expected.height / 2.0, 1.0);
    } else {
      EXPECT_EQ(actual, expected);
    }
    if (p.text) {
      EXPECT_EQ(FromWx(c->GetLabel()), p.text);
    }
  }
  // Layouts scale with the font: a larger font gives a larger window.
  EXPECT_GT(ui::DialogSize(&w, 447, 423).x, 447);
}

TEST_F(main_win_test, tab_order_follows_the_layout_with_the_pages_after_the_frame) {
  CMainWin& w = Open();
  std::vector<int> ids;
  std::vector<std::string> labels;
  for (wxWindow* c : w.GetChildren()) {
    if (c->GetId() == wxID_STATIC) {
      labels.push_back(FromWx(c->GetLabel()));
    } else {
      ids.push_back(dynamic_cast<ui::CStylePage*>(c) ? 0 : c->GetId());
    }
  }
  const std::vector<int> expected = {1033, 1002, 1004, 1006, 1008, 1010, 1012, 1080, 1081, 1082,
                                     1083, 1084, 1070, 0,    0,    0,    0,    0,    1038, 1039,
                                     1040, 1041, 1042, 1043, 1044, 1047, 1055, 1045, 1046, 1003,
                                     1005, 1054, 1007, 1009, 1011, 1016, 1022};
  EXPECT_EQ(ids, expected);
  EXPECT_EQ(labels, (std::vector<std::string>{
                        "Image files to convert:", "Presentation style:", "Loading message:",
                        "Status message:", "Background color:", "Text color:",
                        "Border width (pixels):", "Watermark:", "Target folder:"}));
  // The pages, in style order, on the frame's rectangle.
  const wxRect frame = FindChildById(&w, ui::IDC_STYLE_FRAME)->GetRect();
  EXPECT_NE(dynamic_cast<ui::CDlgStyleLink*>(w.StylePage(0)), nullptr);
  EXPECT_NE(dynamic_cast<ui::CDlgStyleText2Image*>(w.StylePage(1)), nullptr);
  EXPECT_NE(dynamic_cast<ui::CDlgStyleImage2Text*>(w.StylePage(2)), nullptr);
  EXPECT_NE(dynamic_cast<ui::CDlgStyleImage2Image*>(w.StylePage(3)), nullptr);
  EXPECT_NE(dynamic_cast<ui::CDlgStyleSlideshow*>(w.StylePage(4)), nullptr);
  for (int s = 0; s < 5; ++s) {
    EXPECT_EQ(w.StylePage(s)->GetRect(), frame);
    EXPECT_FALSE(w.StylePage(s)->HasFlag(wxBORDER_SIMPLE));
  }
  EXPECT_TRUE(FromWx(FindChildById(w.StylePage(4), ui::IDC_PAGE_DESCRIPTION)->GetLabel())
                  .rfind("Use <Move up> and <Move down> buttons", 0) == 0);
}

// ---------------------------------------------------------------------------------
// First start, styles and pages

TEST_F(main_win_test, first_start_shows_the_defaults) {
  CMainWin& w = Open();
  EXPECT_TRUE(w.m_radioStyles[0]->GetValue());
  EXPECT_TRUE(w.StylePage(0)->IsShown());
  for (int s = 1; s < 5; ++s) EXPECT_FALSE(w.StylePage(s)->IsShown()) << s;
  auto* link = dynamic_cast<ui::CDlgStyleLink*>(w.StylePage(0));
  EXPECT_EQ(FromWx(link->m_editLink->GetValue()), kDefaultLink);
  EXPECT_TRUE(link->m_frameButtons[0]->GetValue());
  EXPECT_FALSE(link->m_editOtherFrame->IsEnabled());
  EXPECT_EQ(FromWx(dynamic_cast<ui::CDlgStyleTextPage*>(w.StylePage(1))->m_editText->GetValue()),
            "Press here");
  EXPECT_EQ(FromWx(dynamic_cast<ui::CDlgStyleTextPage*>(w.StylePage(2))->m_editText->GetValue()),
            "Press here");
  EXPECT_FALSE(
      dynamic_cast<ui::CDlgStyleImage2Image*>(w.StylePage(3))->m_editFile->IsThisEnabled());
  EXPECT_EQ(FromWx(dynamic_cast<ui::CDlgStyleSlideshow*>(w.StylePage(4))->m_editDelay->GetValue()),
            "1000");
  EXPECT_EQ(FromWx(w.m_editMessageLoading->GetValue()), "Please wait while the image downloads...");
  EXPECT_EQ(FromWx(w.m_editMessageStatus->GetValue()), "Quillmere - Protected image");
  EXPECT_EQ(w.m_buttonBackColor->GetColor(), 0x000000u);
  EXPECT_EQ(w.m_buttonTextColor->GetColor(), 0xFFFFFFu);
  EXPECT_EQ(FromWx(w.m_editBorderWidth->GetValue()), "0");
  EXPECT_FALSE(w.m_checkDomainLock->GetValue());
  EXPECT_FALSE(w.m_comboDomain->IsEnabled());
  // Only "localhost" is offered; it is entry 0 and selected.
  EXPECT_EQ(w.DomainList(), std::vector<std::string>{"localhost"});
  EXPECT_EQ(w.m_comboDomain->GetSelection(), 0);
  EXPECT_EQ(FromWx(w.m_comboDomain->GetStringSelection()), "localhost");
  EXPECT_TRUE(w.m_editTarget->GetValue().empty());
  EXPECT_FALSE(w.m_checkOpenTarget->GetValue());
  EXPECT_FALSE(w.m_buttonStop->IsEnabled());
  EXPECT_TRUE(w.m_buttonStart->IsEnabled());
  EXPECT_TRUE(m_services.messages.empty());
}

TEST_F(main_win_test, choosing_a_style_shows_its_page_and_the_same_style_twice_changes_nothing) {
  CMainWin& w = Open();
  ASSERT_TRUE(ClickRadio(w.m_radioStyles[4]));
  EXPECT_EQ(w.Settings().PresentationStyle, 4);
  for (int s = 0; s < 5; ++s) EXPECT_EQ(w.StylePage(s)->IsShown(), s == 4) << s;

  auto* slideshow = dynamic_cast<ui::CDlgStyleSlideshow*>(w.StylePage(4));
  Type(slideshow->m_editDelay, "250");
  ASSERT_TRUE(ClickRadio(w.m_radioStyles[4]));  // again: nothing happens
  EXPECT_EQ(w.Settings().PresentationStyle, 4);
  EXPECT_TRUE(w.StylePage(4)->IsShown());
  EXPECT_EQ(FromWx(slideshow->m_editDelay->GetValue()), "250");

  // Away and back: the page keeps what was typed, and nothing reached the settings.
  ASSERT_TRUE(ClickRadio(w.m_radioStyles[1]));
  auto* text2image = dynamic_cast<ui::CDlgStyleTextPage*>(w.StylePage(1));
  Type(text2image->m_editText, "hover me");
  ASSERT_TRUE(ClickRadio(w.m_radioStyles[4]));
  ASSERT_TRUE(ClickRadio(w.m_radioStyles[1]));
  EXPECT_EQ(FromWx(text2image->m_editText->GetValue()), "hover me");
  ASSERT_TRUE(ClickRadio(w.m_radioStyles[4]));
  EXPECT_EQ(FromWx(slideshow->m_editDelay->GetValue()), "250");
  EXPECT_EQ(w.Settings().SlideshowDelay, 1000);
  EXPECT_EQ(w.Settings().Text2ImageMessage, "Press here");
}

TEST_F(main_win_test, link_page_frame_buttons_and_frame_name_check) {
  CMainWin& w = Open();
  AddFiles(MakeImages(m_dir / "in", 1));
  auto* link = dynamic_cast<ui::CDlgStyleLink*>(w.StylePage(0));
  ASSERT_TRUE(ClickRadio(link->m_frameButtons[3]));
  EXPECT_EQ(w.Settings().Frame, 3);
  EXPECT_TRUE(link->m_editOtherFrame->IsEnabled());

  // A frame name of spaces only: refused, stored empty, focus in the name box.
  Type(link->m_editOtherFrame, "   ");
  Type(link->m_editLink, "  https://example.com/  ");
  ASSERT_TRUE(Click(w.m_buttonStart));
  ASSERT_EQ(m_services.MessageTexts(), std::vector<std::string>{"Please enter frame name!"});
  EXPECT_EQ(m_services.messages[0].icon, MessageIcon::Error);
  EXPECT_TRUE(m_services.questions.empty());
  EXPECT_EQ(w.Settings().OtherFrame, "");
  EXPECT_EQ(w.Settings().Link, "https://example.com/");
  Settle();
  EXPECT_EQ(wxWindow::FindFocus(), link->m_editOtherFrame);

  // A name, then the top frame: the box is disabled but keeps its text.
  Type(link->m_editOtherFrame, "main");
  ASSERT_TRUE(ClickRadio(link->m_frameButtons[1]));
  EXPECT_EQ(w.Settings().Frame, 1);
  EXPECT_FALSE(link->m_editOtherFrame->IsEnabled());
  EXPECT_EQ(FromWx(link->m_editOtherFrame->GetValue()), "main");
}

TEST_F(main_win_test, slideshow_delay_is_checked_at_start_and_kept_even_when_refused) {
  CMainWin& w = Open();
  AddFiles(MakeImages(m_dir / "in", 1));
  ASSERT_TRUE(ClickRadio(w.m_radioStyles[4]));
  auto* page = dynamic_cast<ui::CDlgStyleSlideshow*>(w.StylePage(4));
  Type(page->m_editDelay, "0");
  ASSERT_TRUE(Click(w.m_buttonStart));
  EXPECT_EQ(m_services.MessageTexts(),
            std::vector<std::string>{"Please enter positive integer value!"});
  EXPECT_EQ(w.Settings().SlideshowDelay, 0);
  Settle();
  EXPECT_EQ(wxWindow::FindFocus(), page->m_editDelay);

  // The arrows step within 1..60000 from what the box holds.
  page->m_spinDelay->Step(1);
  EXPECT_EQ(FromWx(page->m_editDelay->GetValue()),
            "2");  // 0 is below the range: taken as 1, then up
  Type(page->m_editDelay, "90000");
  page->m_spinDelay->Step(-1);
  EXPECT_EQ(FromWx(page->m_editDelay->GetValue()), "59999");
}

TEST_F(main_win_test, image_to_image_browse_preview_and_missing_file) {
  CMainWin& w = Open();
  AddFiles(MakeImages(m_dir / "in", 1));
  ASSERT_TRUE(ClickRadio(w.m_radioStyles[3]));
  auto* page = dynamic_cast<ui::CDlgStyleImage2Image*>(w.StylePage(3));

  ASSERT_TRUE(Click(w.m_buttonStart));
  EXPECT_EQ(m_services.MessageTexts(), std::vector<std::string>{"Please choose an image file!"});
  ASSERT_TRUE(Click(page->m_buttonPreview));  // nothing chosen: nothing opens
  EXPECT_TRUE(m_services.opened.empty());

  m_services.file_answer = "/pictures/hover.png";
  ASSERT_TRUE(Click(page->m_buttonBrowse));
  EXPECT_EQ(w.Settings().Image2ImageFile, "/pictures/hover.png");
  EXPECT_EQ(FromWx(page->m_editFile->GetValue()), "/pictures/hover.png");
  // The page's Browse and Preview carry the ids of the window's own Browse and
  // "Remove selected"; neither of those may react.
  EXPECT_TRUE(m_services.folders_offered.empty());
  EXPECT_EQ(w.Images().size(), 1u);

  m_services.file_answer.reset();  // cancelled: nothing changes, started from the current file
  ASSERT_TRUE(Click(page->m_buttonBrowse));
  EXPECT_EQ(m_services.files_offered.back(), "/pictures/hover.png");
  EXPECT_EQ(w.Settings().Image2ImageFile, "/pictures/hover.png");

  ASSERT_TRUE(Click(page->m_buttonPreview));
  EXPECT_EQ(m_services.opened, std::vector<std::string>{"/pictures/hover.png"});
}

// ---------------------------------------------------------------------------------
// Domain lock

TEST_F(main_win_test, domain_lock_enables_the_list_and_decides_the_key) {
  m_store.SetText(kSectionDomains, kEntryDomainNames, "example.org;Example.com;example.org");
  CMainWin& w = Open();
  EXPECT_EQ(w.DomainList(), (std::vector<std::string>{"Example.com", "example.org", "localhost"}));
  EXPECT_EQ(w.m_comboDomain->GetCount(), 3u);
  w.m_comboDomain->SetSelection(1);

  // Unchecked: the drop-down is disabled and the key is empty despite the selection.
  w.CollectOptions();
  EXPECT_EQ(w.GetDomainKey(), "");
  EXPECT_FALSE(w.m_comboDomain->IsEnabled());

  ASSERT_TRUE(ClickCheck(w.m_checkDomainLock));
  EXPECT_TRUE(w.Settings().DomainLock);
  EXPECT_TRUE(w.m_comboDomain->IsEnabled());
  w.CollectOptions();
  EXPECT_EQ(w.GetDomainKey(), "example.org");

  ASSERT_TRUE(ClickCheck(w.m_checkDomainLock));
  EXPECT_FALSE(w.Settings().DomainLock);
  EXPECT_FALSE(w.m_comboDomain->IsEnabled());
  EXPECT_EQ(w.GetDomainKey(), "");
}

// After "Edit..." the same name stays chosen, in the drop-down and in the record that
// is saved; a removed name gives way to "localhost".
TEST_F(main_win_test, edited_domain_names_keep_the_chosen_name) {
  m_store.SetText(kSectionDomains, kEntryDomainNames, "a.example;b.example;c.example");
  m_store.SetInt(kSectionGeneral, "Domain", 1);
  CMainWin& w = Open();
  ASSERT_EQ(FromWx(w.m_comboDomain->GetStringSelection()), "b.example");

  w.SetDomainNames({"0.example", "a.example", "b.example", "c.example"});
  EXPECT_EQ(FromWx(w.m_comboDomain->GetStringSelection()), "b.example");
  EXPECT_EQ(w.Settings().Domain, 2);
  ASSERT_TRUE(ClickCheck(w.m_checkDomainLock));
  EXPECT_EQ(w.GetDomainKey(), "b.example");

  w.SetDomainNames({"0.example", "a.example", "c.example"});
  EXPECT_EQ(FromWx(w.m_comboDomain->GetStringSelection()), "localhost");
  EXPECT_EQ(w.Settings().Domain, 3);
  w.SetDomainNames({"0.example", "b.example"});  // "localhost" was chosen and stays so
  EXPECT_EQ(w.Settings().Domain, 2);
  CloseWindow();
  std::int32_t saved = -5;
  ASSERT_TRUE(m_store.GetInt(kSectionGeneral, "Domain", saved));
  EXPECT_EQ(saved, 2);
  std::string names;
  ASSERT_TRUE(m_store.GetText(kSectionDomains, kEntryDomainNames, names));
  EXPECT_EQ(names, "0.example;b.example");
}

TEST_F(main_win_test, stored_domain_beyond_the_list_selects_the_first_entry) {
  m_store.SetText(kSectionDomains, kEntryDomainNames, "a.example;b.example");
  m_store.SetInt(kSectionGeneral, "Domain", 7);
  Open();
  EXPECT_EQ(win().m_comboDomain->GetSelection(), 0);
  EXPECT_EQ(win().Settings().Domain, 0);
  CloseWindow();
  std::int32_t saved = -5;
  ASSERT_TRUE(m_store.GetInt(kSectionGeneral, "Domain", saved));
  EXPECT_EQ(saved, 0);
}

TEST_F(main_win_test, edit_domains_adds_normalised_names_and_keeps_the_selection) {
  m_store.SetText(kSectionDomains, kEntryDomainNames, "zeta.example");
  CMainWin& w = Open();
  w.m_comboDomain->SetSelection(0);  // zeta.example
  m_services.on_modal = [](wxDialog& d) {
    auto& dialog = dynamic_cast<ui::CDlgDomains&>(d);
    dialog.m_editName->SetValue(wxString::FromUTF8("  Bücher.Example  "));
    EXPECT_TRUE(dialog.AddName());
    dialog.m_editName->SetValue("alpha.example");
    EXPECT_TRUE(dialog.AddName());
    return wxID_OK;
  };
  ASSERT_TRUE(Click(w.m_buttonEditDomains));
  EXPECT_EQ(w.DomainList(), (std::vector<std::string>{"alpha.example", "xn--bcher-kva.example",
                                                      "zeta.example", "localhost"}));
  EXPECT_EQ(FromWx(w.m_comboDomain->GetStringSelection()), "zeta.example");
  CloseWindow();
  std::string stored;
  ASSERT_TRUE(m_store.GetText(kSectionDomains, kEntryDomainNames, stored));
  EXPECT_EQ(stored, "alpha.example;xn--bcher-kva.example;zeta.example");

  // Cancel keeps the old names.
  CMainWin& again = Open();
  m_services.on_modal = [](wxDialog& d) {
    auto& dialog = dynamic_cast<ui::CDlgDomains&>(d);
    dialog.m_listNames->SetSelection(0);
    dialog.RemoveSelected();
    return wxID_CANCEL;
  };
  ASSERT_TRUE(Click(again.m_buttonEditDomains));
  EXPECT_EQ(again.DomainList().size(), 4u);
}

// ---------------------------------------------------------------------------------
// List commands

TEST_F(main_win_test, add_files_and_add_folder_fill_the_list_and_the_view_mirrors_it) {
  CMainWin& w = Open();
  const auto images = MakeImages(m_dir / "pics", 2);
  WriteBytes(m_dir / "notes.txt", "not an image");
  std::string upper = PathToUtf8(images[0]);
  upper.replace(upper.size() - 8, 8, "IMG1.PNG");  // same file name, other case: a duplicate
  m_services.files_answer = std::vector<std::string>{PathToUtf8(images[0]), PathToUtf8(images[1]),
                                                     PathToUtf8(m_dir / "notes.txt"), upper};
  ASSERT_TRUE(Click(w.m_buttonAddFiles));
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"img1.png", "img2.png", "notes.txt"}));
  EXPECT_EQ(ShownRows(), ModelRows());
  EXPECT_EQ(w.Images()[2].GetDimensionsText(), "ERROR!");
  EXPECT_EQ(ui::FromWx(w.m_listImages->GetItemText(0, 3)), "21 x 11");
  EXPECT_EQ(ui::FromWx(w.m_listImages->GetItemText(2, 0)), "3");
  EXPECT_EQ(w.m_listImages->SelectedRows(), std::vector<int>{2});

  // Add folder: starts with no folder; takes images of sub-folders too.
  MakeImages(m_dir / "more" / "sub", 2);
  WriteBytes(m_dir / "more" / "a.bmp", "BM");
  WritePng(m_dir / "more" / "PHOTO.JPG", 5, 5);  // accepted by its name; the probe decides the size
  m_services.folder_answer = PathToUtf8(m_dir / "more");
  ASSERT_TRUE(Click(w.m_buttonAddFolder));
  EXPECT_EQ(m_services.folders_offered, std::vector<std::string>{""});
  EXPECT_EQ(w.Images().size(), 6u);
  EXPECT_EQ(ShownRows(), ModelRows());
  EXPECT_EQ(w.m_listImages->SelectedRows(), std::vector<int>{5});

  m_services.folder_answer.reset();  // cancelled: nothing changes
  ASSERT_TRUE(Click(w.m_buttonAddFolder));
  EXPECT_EQ(w.Images().size(), 6u);

  // Double-click opens the first selected image.
  Select({1, 3});
  wxListEvent activated(wxEVT_LIST_ITEM_ACTIVATED, ui::IDC_IMAGE_LIST);
  activated.SetEventObject(w.m_listImages);
  w.m_listImages->ProcessWindowEvent(activated);
  EXPECT_EQ(m_services.opened, std::vector<std::string>{PathToUtf8(images[1])});
}

// Files and folders dragged from the file manager, through the drop targets of the
// list and of the window.
TEST_F(main_win_test, dropped_files_and_folders_join_the_list) {
  CMainWin& w = Open();
  auto* on_list = dynamic_cast<wxFileDropTarget*>(w.m_listImages->GetDropTarget());
  auto* on_window = dynamic_cast<wxFileDropTarget*>(w.GetDropTarget());
  ASSERT_NE(on_list, nullptr);
  ASSERT_NE(on_window, nullptr);
  EXPECT_EQ(on_list->OnDragOver(5, 5, wxDragMove), wxDragCopy);  // never moved away

  const auto images = MakeImages(m_dir / "pics", 2);
  WriteBytes(m_dir / "pics" / "notes.txt", "not an image");
  std::string upper = PathToUtf8(images[0]);
  upper.replace(upper.size() - 8, 8, "IMG1.PNG");  // the same file in other case: a duplicate
  auto drop = [](wxFileDropTarget* target, const std::vector<std::string>& paths) {
    wxArrayString files;
    for (const std::string& p : paths) files.Add(ui::ToWx(p));
    return target->OnDropFiles(10, 10, files);
  };

  struct Case {
    const char* what;
    wxFileDropTarget* target;
    std::vector<std::string> paths;
    bool taken;
    std::vector<std::string> names;  // the list afterwards
  };
  MakeImages(m_dir / "more" / "sub", 1);
  WriteBytes(m_dir / "more" / "readme.txt", "skipped by the folder walk");
  WritePng(m_dir / "more" / "a.JPG", 4, 4);
  const Case cases[] = {
      {"files, one not an image",
       on_list,
       {PathToUtf8(images[1]), PathToUtf8(m_dir / "pics" / "notes.txt"), PathToUtf8(images[0])},
       true,
       {"img2.png", "img1.png"}},
      {"nothing new",
       on_window,
       {upper, PathToUtf8(images[1]), PathToUtf8(m_dir / "pics" / "notes.txt")},
       false,
       {"img2.png", "img1.png"}},
      {"a folder, walked",
       on_window,
       {PathToUtf8(m_dir / "more")},
       true,
       {"img2.png", "img1.png", "a.JPG", "img1.png"}},
      {"a name of nothing",
       on_list,
       {PathToUtf8(m_dir / "gone.png")},
       false,
       {"img2.png", "img1.png", "a.JPG", "img1.png"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(drop(c.target, c.paths), c.taken);
    EXPECT_EQ(FileNames(), c.names);
    EXPECT_EQ(ShownRows(), ModelRows());
  }
  EXPECT_EQ(w.m_listImages->SelectedRows(), std::vector<int>{3});
  EXPECT_EQ(w.Images()[3].m_strFolder, PathToUtf8(m_dir / "more" / "sub") + "/");

  // During a run nothing can be dropped; the run converts the list it started with.
  const auto target = m_dir / "out";
  std::filesystem::create_directories(target);
  Type(w.m_editTarget, PathToUtf8(target));
  const auto late = MakeImages(m_dir / "late", 1);
  bool seen = false;
  bool taken = true;
  wxDragResult over = wxDragCopy;
  w.CallAfter([&] {
    seen = true;
    over = on_list->OnDragOver(5, 5, wxDragCopy);
    taken = drop(on_list, {PathToUtf8(late[0]), PathToUtf8(m_dir / "more")}) ||
            drop(on_window, {PathToUtf8(late[0])});
  });
  ASSERT_TRUE(Click(w.m_buttonStart));
  ASSERT_TRUE(seen);
  EXPECT_EQ(over, wxDragNone);
  EXPECT_FALSE(taken);
  EXPECT_EQ(m_services.MessageTexts(), std::vector<std::string>{"Done."});
  EXPECT_EQ(w.Images().size(), 4u);
  // Idle again: drops are taken.
  EXPECT_TRUE(drop(on_list, {PathToUtf8(late[0])}));
  EXPECT_EQ(w.Images().size(), 5u);
}

// One real drag and drop on the display: an image dragged from another window of this
// program onto the list, the pointer driven by xdotool as a hand on the mouse would.
TEST_F(main_win_test, an_image_dragged_onto_the_list_joins_it) {
  ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0)
      << "xdotool is needed (scripts/install-deps.sh)";
  CMainWin& w = Open();
  w.Move(10, 10);
  const auto images = MakeImages(m_dir / "pics", 1);
  auto* source =
      new wxFrame(nullptr, wxID_ANY, "drag source", wxPoint(1110, 880), wxSize(150, 120));
  auto* panel = new wxPanel(source);
  bool started = false;
  bool ended = false;
  wxDragResult result = wxDragError;
  panel->Bind(wxEVT_MOTION, [&](wxMouseEvent& e) {
    if (!e.LeftIsDown() || started) return;
    started = true;
    wxFileDataObject data;
    data.AddFile(ui::ToWx(PathToUtf8(images[0])));
    wxDropSource drag(data, panel);
    result = drag.DoDragDrop(wxDrag_CopyOnly);
    ended = true;
  });
  source->Show();
  Settle(20);
  const wxPoint from = panel->GetScreenRect().GetPosition() + wxPoint(30, 30);
  const wxRect list = w.m_listImages->GetScreenRect();
  const wxPoint to = list.GetPosition() + wxPoint(list.width / 2, list.height / 2);
  const std::string hand =
      wxString::Format(
          "xdotool mousemove %d %d sleep 0.2 mousedown 1 sleep 0.2 mousemove %d %d sleep 0.3 "
          "mousemove %d %d "
          "sleep 0.3 mousemove %d %d sleep 0.3 mouseup 1",
          from.x, from.y, from.x + 20, from.y + 20, to.x, to.y, to.x + 5, to.y + 5)
          .ToStdString();
  std::atomic<bool> hand_done{false};
  std::thread mover([&] {
    std::system(hand.c_str());
    hand_done = true;
  });
  for (int i = 0; i < 2000 && !(hand_done && (!started || ended)); ++i) Settle(1);
  mover.join();
  Settle();
  source->Destroy();
  Settle();
  ASSERT_TRUE(started) << "the drag never started: the pointer did not reach the source window";
  ASSERT_TRUE(ended);
  EXPECT_EQ(result, wxDragCopy);
  EXPECT_EQ(FileNames(), std::vector<std::string>{"img1.png"});
  EXPECT_EQ(ShownRows(), ModelRows());
}

// Paths given to the program at start: files as "Add file(s)", folders as "Add folder",
// names of nothing skipped and reported.
TEST_F(main_win_test, paths_given_at_start_fill_the_list) {
  CMainWin& w = Open();
  const auto images = MakeImages(m_dir / "pics", 1);
  MakeImages(m_dir / "more" / "sub", 2);
  WriteBytes(m_dir / "more" / "notes.txt", "skipped by the folder walk");
  w.AddStartupPaths(
      {PathToUtf8(images[0]), PathToUtf8(m_dir / "missing.png"), PathToUtf8(m_dir / "more")});
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"img1.png", "img1.png", "img2.png"}));
  EXPECT_EQ(w.Images()[1].m_strFolder, PathToUtf8(m_dir / "more" / "sub") + "/");
  EXPECT_EQ(ShownRows(), ModelRows());
  EXPECT_EQ(w.m_listImages->SelectedRows(), std::vector<int>{2});
  // The name of nothing is reported, once, with the reason.
  ASSERT_EQ(m_services.messages.size(), 1u);
  EXPECT_EQ(m_services.messages[0].text, "These could not be added to the list:\n\n" +
                                             PathToUtf8(m_dir / "missing.png") +
                                             ": no such file or folder");
}

TEST_F(main_win_test, remove_move_and_clear) {
  CMainWin& w = Open();
  AddFiles(MakeImages(m_dir / "in", 5));

  Select({1, 3});
  ASSERT_EQ(w.m_listImages->SelectedRows(), (std::vector<int>{1, 3}));
  ASSERT_EQ(FileNames(),
            (std::vector<std::string>{"img1.png", "img2.png", "img3.png", "img4.png", "img5.png"}));
  ASSERT_TRUE(Click(w.m_buttonRemoveSelected));
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"img1.png", "img3.png", "img5.png"}));
  EXPECT_TRUE(w.m_listImages->SelectedRows().empty());
  EXPECT_EQ(ShownRows(), ModelRows());
  EXPECT_EQ(ui::FromWx(w.m_listImages->GetItemText(2, 0)), "3");

  Select({2, 0});  // only the first selected row moves
  ASSERT_TRUE(Click(w.m_buttonMoveDown));
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"img3.png", "img1.png", "img5.png"}));
  EXPECT_EQ(w.m_listImages->SelectedRows(), std::vector<int>{1});
  ASSERT_TRUE(Click(w.m_buttonMoveUp));
  ASSERT_TRUE(Click(w.m_buttonMoveUp));  // already first: nothing changes
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"img1.png", "img3.png", "img5.png"}));
  EXPECT_EQ(w.m_listImages->SelectedRows(), std::vector<int>{0});
  EXPECT_EQ(ShownRows(), ModelRows());

  m_services.answers = {false, true};
  ASSERT_TRUE(Click(w.m_buttonClearList));  // No: kept
  EXPECT_EQ(w.Images().size(), 3u);
  ASSERT_TRUE(Click(w.m_buttonClearList));  // Yes: cleared
  EXPECT_TRUE(w.Images().empty());
  EXPECT_EQ(w.m_listImages->GetItemCount(), 0);
  EXPECT_EQ(m_services.questions, (std::vector<std::string>{"Remove all files from list?",
                                                            "Remove all files from list?"}));
  EXPECT_EQ(m_services.question_defaults, (std::vector<bool>{false, false}));  // No is the default

  ASSERT_TRUE(Click(w.m_buttonClearList));  // empty: asks nothing
  EXPECT_EQ(m_services.questions.size(), 2u);
}

// ---------------------------------------------------------------------------------
// Colours

TEST_F(main_win_test, colour_choice_sets_button_setting_and_preview_and_cancel_keeps_them) {
  CMainWin& w = Open();
  m_services.colour_answer = 0x00336699;
  ASSERT_TRUE(Click(w.m_buttonBackColor));
  EXPECT_EQ(m_services.colours_offered, std::vector<std::uint32_t>{0x000000});
  EXPECT_EQ(w.m_buttonBackColor->GetColor(), 0x00336699u);
  EXPECT_EQ(w.Settings().BackColor, 0x00336699u);
  EXPECT_EQ(w.m_preview->GetBackColor(), 0x00336699u);

  m_services.colour_answer.reset();
  ASSERT_TRUE(Click(w.m_buttonTextColor));
  EXPECT_EQ(m_services.colours_offered.back(), 0xFFFFFFu);
  EXPECT_EQ(w.m_buttonTextColor->GetColor(), 0xFFFFFFu);
  EXPECT_EQ(w.Settings().TextColor, 0xFFFFFFu);
  EXPECT_EQ(w.m_preview->GetTextColor(), 0xFFFFFFu);

  // The preview paints the text colour on the background colour.
  const wxSize size = w.m_preview->GetClientSize();
  wxBitmap bitmap(size.x, size.y, 24);
  {
    wxMemoryDC dc(bitmap);
    ui::CColorPreview::Draw(dc, wxRect(size), w.m_preview->GetBackColor(),
                            w.m_preview->GetTextColor(), w.m_preview->GetFont());
  }
  const wxImage image = bitmap.ConvertToImage();
  EXPECT_EQ(wxColour(image.GetRed(1, 1), image.GetGreen(1, 1), image.GetBlue(1, 1)),
            wxColour(0x99, 0x66, 0x33));
  // White text pixels, centred: found in the middle band, none in the corners.
  int text_pixels = 0;
  for (int x = 0; x < image.GetWidth(); ++x) {
    for (int y = 0; y < image.GetHeight(); ++y) {
      if (image.GetRed(x, y) == 0xFF && image.GetGreen(x, y) == 0xFF &&
          image.GetBlue(x, y) == 0xFF) {
        ++text_pixels;
        EXPECT_TRUE(x > size.x / 8 && x < size.x * 7 / 8 && y > size.y / 8 && y < size.y * 7 / 8)
            << x << "," << y;
      }
    }
  }
  EXPECT_GT(text_pixels, 10);
}

// ---------------------------------------------------------------------------------
// Target folder

TEST_F(main_win_test, browse_takes_the_trimmed_field_even_when_cancelled) {
  CMainWin& w = Open();
  Type(w.m_editTarget, "  /srv/www/gallery  ");
  ASSERT_TRUE(Click(w.m_buttonBrowse));  // cancelled
  EXPECT_EQ(m_services.folders_offered, std::vector<std::string>{"/srv/www/gallery"});
  EXPECT_EQ(w.Settings().Target, "/srv/www/gallery");

  m_services.folder_answer = "/srv/www/other";
  ASSERT_TRUE(Click(w.m_buttonBrowse));
  EXPECT_EQ(w.Settings().Target, "/srv/www/other");
  EXPECT_EQ(FromWx(w.m_editTarget->GetValue()), "/srv/www/other");
}

TEST_F(main_win_test, start_collects_trimmed_options_before_asking) {
  CMainWin& w = Open();
  AddFiles(MakeImages(m_dir / "in", 2));
  Type(w.m_editMessageLoading, "  Loading, please wait  ");
  Type(w.m_editMessageStatus, "\tMy gallery ");
  Type(w.m_editBorderWidth, "12px");
  Type(w.m_editTarget, "  " + PathToUtf8(m_dir / "out") + " ");
  Type(w.m_editWatermark, " \xC2\xA9 Jane Doe  ");
  w.m_checkOpenTarget->SetValue(true);
  m_services.answers = {false};  // decline: nothing is written
  ASSERT_TRUE(Click(w.m_buttonStart));
  ASSERT_EQ(m_services.questions.size(), 1u);
  EXPECT_EQ(
      m_services.questions[0],
      "You are about to convert 2 image file(s).\nNote that files in the target folder will be "
      "overwritten!\n\nAre you sure you want to continue?");
  EXPECT_TRUE(m_services.question_defaults[0]);
  EXPECT_EQ(w.Settings().MessageLoading, "Loading, please wait");
  EXPECT_EQ(w.Settings().MessageStatus, "My gallery");
  EXPECT_EQ(w.Settings().BorderWidth, 12);
  EXPECT_EQ(w.Settings().Target, PathToUtf8(m_dir / "out"));
  EXPECT_EQ(w.Settings().Watermark, "\xC2\xA9 Jane Doe");
  EXPECT_TRUE(w.Settings().OpenTargetFolderOnCompletion);
  EXPECT_EQ(w.Settings().Domain, 0);
  EXPECT_FALSE(std::filesystem::exists(m_dir / "out" / "img1.html"));
  EXPECT_TRUE(m_services.messages.empty());
}

TEST_F(main_win_test, start_with_an_empty_list_refuses) {
  CMainWin& w = Open();
  ASSERT_TRUE(Click(w.m_buttonStart));
  EXPECT_EQ(m_services.MessageTexts(),
            std::vector<std::string>{"Please add at least one image file!"});
  EXPECT_TRUE(m_services.questions.empty());
}

// ---------------------------------------------------------------------------------
// Keys and closing

// Presses a key on the real display, aimed at `focus`.
void PressKey(wxWindow* focus, int key) {
  wxUIActionSimulator sim;
  focus->SetFocus();
  Settle();
  sim.MouseMove(focus->GetScreenRect().GetPosition() + wxPoint(3, 3));
  Settle();
  sim.Char(key);
  for (int i = 0; i < 10; ++i) Settle();
}

TEST_F(main_win_test, enter_and_escape_do_nothing) {
  CMainWin& w = Open();
  w.Raise();
  // Enter on Start would refuse the empty list with a message; Escape would close.
  PressKey(w.m_buttonStart, WXK_RETURN);
  PressKey(w.m_buttonStart, WXK_ESCAPE);
  PressKey(w.m_editMessageLoading, WXK_RETURN);
  PressKey(w.m_editMessageLoading, WXK_ESCAPE);
  PressKey(dynamic_cast<ui::CDlgStyleLink*>(w.StylePage(0))->m_editLink, WXK_RETURN);
  EXPECT_TRUE(w.IsShown());
  EXPECT_TRUE(m_services.messages.empty());

  // The keys do reach the window: a typed letter lands in the box.
  PressKey(w.m_editMessageStatus, 'x');
  EXPECT_TRUE(FromWx(w.m_editMessageStatus->GetValue()).find('x') != std::string::npos)
      << "the key simulation does not reach the window; the test above proves nothing";
}

TEST_F(main_win_test, close_button_and_close_command_close_the_window) {
  CMainWin& w = Open();
  ASSERT_TRUE(Click(w.m_buttonClose));
  EXPECT_FALSE(w.IsShown());
  w.Show();
  Settle();
  EXPECT_TRUE(w.Close());
  EXPECT_FALSE(w.IsShown());
}

// ---------------------------------------------------------------------------------
// Settings across starts

TEST_F(main_win_test, settings_are_saved_at_close_and_restored_at_the_next_start) {
  const auto file = m_dir / "config" / "Vellagard Web Converter.conf";
  {
    auto store = ui::CConfigSettingsStore::OpenFile(file);
    store->WriteInt(kSectionGeneral, "DomainLock", 5);
    store->WriteInt(kSectionLayout, "Left", 100);  // Top missing: the window is not moved there
    store->WriteText(kSectionGeneral, "Watermark", "\xC2\xA9 Quillmere");
    ASSERT_TRUE(store->Flush());
  }
  {
    auto store = ui::CConfigSettingsStore::OpenFile(file);
    auto* w = new CMainWin(nullptr, *store, m_services, BinDir());
    w->Show();
    Settle();
    EXPECT_TRUE(w->m_checkDomainLock->GetValue());
    EXPECT_TRUE(w->m_comboDomain->IsEnabled());
    EXPECT_NE(w->GetPosition().x, 100);
    EXPECT_EQ(FromWx(w->m_editWatermark->GetValue()), "\xC2\xA9 Quillmere");
    Type(w->m_editWatermark, "typed but never started");  // not taken: no run
    ASSERT_TRUE(ClickRadio(w->m_radioStyles[2]));
    m_services.colour_answer = 0x00102030;
    ASSERT_TRUE(Click(w->m_buttonBackColor));
    m_services.colour_answer = 0x00405060;
    ASSERT_TRUE(Click(w->m_buttonTextColor));
    Type(w->m_editMessageLoading, "typed but never started");  // not taken: no run
    w->Move(140, 90);
    Settle();
    delete w;
    ASSERT_TRUE(store->Flush());
  }
  {
    auto store = ui::CConfigSettingsStore::OpenFile(file);
    EXPECT_EQ(store->ReadInt(kSectionGeneral, "DomainLock", -1), 1);
    EXPECT_EQ(store->ReadInt(kSectionGeneral, "PresentationStyle", -1), 2);
    EXPECT_EQ(store->ReadInt(kSectionLayout, "Left", -1), 140);
    EXPECT_EQ(store->ReadInt(kSectionLayout, "Top", -1), 90);
    EXPECT_EQ(store->ReadText(kSectionGeneral, "Watermark", ""), "\xC2\xA9 Quillmere");
    auto* w = new CMainWin(nullptr, *store, m_services, BinDir());
    w->Show();
    Settle();
    EXPECT_EQ(w->GetPosition(), wxPoint(140, 90));
    EXPECT_TRUE(w->m_radioStyles[2]->GetValue());
    EXPECT_TRUE(w->StylePage(2)->IsShown());
    EXPECT_FALSE(w->StylePage(0)->IsShown());
    EXPECT_EQ(w->m_buttonBackColor->GetColor(), 0x00102030u);
    EXPECT_EQ(w->m_buttonTextColor->GetColor(), 0x00405060u);
    EXPECT_EQ(w->m_preview->GetBackColor(), 0x00102030u);
    EXPECT_EQ(FromWx(w->m_editMessageLoading->GetValue()),
              "Please wait while the image downloads...");
    EXPECT_TRUE(w->m_checkDomainLock->GetValue());
    delete w;
  }
}

TEST_F(main_win_test, a_stored_position_off_every_screen_is_not_used) {
  m_store.SetInt(kSectionLayout, "Left", 50000);
  m_store.SetInt(kSectionLayout, "Top", 50000);
  EXPECT_TRUE(wxDisplay::GetFromPoint(Open().GetPosition()) != wxNOT_FOUND);
}

}  // namespace
}  // namespace vg::test
