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
    m_win = new ui::CMainWin(nullptr, m_store, m_services, BinDir());
    m_win->Show();
    Settle();
    return *m_win;
  }
  // Destroys the window, which writes the settings into the store.
  void CloseWindow() {
    if (m_win == nullptr) return;
    delete m_win;
    m_win = nullptr;
    Settle(1);
  }
  ui::CMainWin& win() { return *m_win; }

  // Adds files to the list through "Add file(s)".
  void AddFiles(const std::vector<std::filesystem::path>& files) {
    std::vector<std::string> paths;
    for (const auto& f : files) paths.push_back(PathToUtf8(f));
    m_services.files_answer = paths;
    ASSERT_TRUE(Click(m_win->m_buttonAddFiles));
    m_services.files_answer.reset();
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
    auto* list = m_win->m_listImages;
    for (long r = 0; r < list->GetItemCount(); ++r) {
      std::string row;
      for (int c = 0; c < 5; ++c) row += (c ? "|" : "") + ui::FromWx(list->GetItemText(r, c));
      rows.push_back(row);
    }
    return rows;
  }
  std::vector<std::string> ModelRows() {
    std::vector<std::string> rows;
    for (std::size_t r = 0; r < m_win->Images().size(); ++r) {
      std::string row;
      const auto texts = m_win->Images().RowTexts(r);
      for (int c = 0; c < 5; ++c) row += (c ? "|" : "") + texts[c];
      rows.push_back(row);
    }
    return rows;
  }
  std::vector<std::string> FileNames() {
    std::vector<std::string> names;
    for (std::size_t r = 0; r < m_win->Images().size(); ++r)
      names.push_back(m_win->Images()[r].m_strFileName);
    return names;
  }
  void Select(std::initializer_list<int> rows) {
    auto* list = m_win->m_listImages;
    list->SetItemState(-1, 0, wxLIST_STATE_SELECTED);
    for (int r : rows) list->SetItemState(r, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
  }

  MemorySettingsStore m_store;
  FakeServices m_services;
  TempDir m_dir;
  ui::CMainWin* m_win = nullptr;
};

}  // namespace vg::test
