// A main window on a scripted desktop, for the window tests.
#pragma once

#include <memory>

#include <wx/choice.h>
#include <wx/gauge.h>

#include "settings/settings.h"
#include "ui/color_button.h"
#include "ui/dialog_units.h"
#include "ui/image_list_view.h"
#include "ui/main_win.h"
#include "ui/style_pages.h"
#include "ui/tests/ui_test_util.h"
#include "ui/ui_ids.h"
#include "ui/up_down.h"

namespace vg::test {

class main_win_test : public ::testing::Test {
 protected:
  void TearDown() override { CloseWindow(); }

  // Opens the window on the store as it stands (the program's start).
  ui::CMainWin& Open() {
    CloseWindow();
    win_ = new ui::CMainWin(nullptr, store_, services_, BinDir());
    win_->Show();
    Settle();
    return *win_;
  }
  // Destroys the window, which writes the settings into the store.
  void CloseWindow() {
    if (win_ == nullptr) return;
    delete win_;
    win_ = nullptr;
    Settle(1);
  }
  ui::CMainWin& win() { return *win_; }

  // Adds files to the list through "Add file(s)".
  void AddFiles(const std::vector<std::filesystem::path>& files) {
    std::vector<std::string> paths;
    for (const auto& f : files) paths.push_back(PathToUtf8(f));
    services_.files_answer = paths;
    ASSERT_TRUE(Click(win_->m_buttonAddFiles));
    services_.files_answer.reset();
  }
  // `count` PNG images img1.png ... in `folder`, sizes varying.
  std::vector<std::filesystem::path> MakeImages(const std::filesystem::path& folder, int count) {
    std::filesystem::create_directories(folder);
    std::vector<std::filesystem::path> files;
    for (int i = 1; i <= count; ++i) {
      files.push_back(folder / ("img" + std::to_string(i) + ".png"));
      WritePng(files.back(), 20 + i, 10 + i, i);
    }
    return files;
  }
  // The rows as the list view shows them, all five columns joined by '|'.
  std::vector<std::string> ShownRows() {
    std::vector<std::string> rows;
    auto* list = win_->m_listImages;
    for (long r = 0; r < list->GetItemCount(); ++r) {
      std::string row;
      for (int c = 0; c < 5; ++c) row += (c ? "|" : "") + ui::FromWx(list->GetItemText(r, c));
      rows.push_back(row);
    }
    return rows;
  }
  std::vector<std::string> ModelRows() {
    std::vector<std::string> rows;
    for (std::size_t r = 0; r < win_->Images().size(); ++r) {
      std::string row;
      const auto texts = win_->Images().RowTexts(r);
      for (int c = 0; c < 5; ++c) row += (c ? "|" : "") + texts[c];
      rows.push_back(row);
    }
    return rows;
  }
  std::vector<std::string> FileNames() {
    std::vector<std::string> names;
    for (std::size_t r = 0; r < win_->Images().size(); ++r)
      names.push_back(win_->Images()[r].m_strFileName);
    return names;
  }
  void Select(std::initializer_list<int> rows) {
    auto* list = win_->m_listImages;
    list->SetItemState(-1, 0, wxLIST_STATE_SELECTED);
    for (int r : rows) list->SetItemState(r, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
  }

  MemorySettingsStore store_;
  FakeServices services_;
  TempDir dir_;
  ui::CMainWin* win_ = nullptr;
};

}  // namespace vg::test
