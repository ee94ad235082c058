// Helpers of the window tests: scripted desktop services, clicks, and image files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "core/tests/test_util.h"
#include "core/utf8_path.h"
#include "ui/ui_services.h"

namespace vg::test {

// Desktop services that answer from a script and record what was asked.
class FakeServices : public ui::IUiServices {
 public:
  struct Message {
    std::string text;
    MessageIcon icon;
  };

  std::vector<Message> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;  // Yes/No answers in order; Yes when the queue is empty
  std::vector<bool> question_defaults;

  std::optional<std::uint32_t> colour_answer;  // nullopt: the chooser is cancelled
  std::vector<std::uint32_t> colours_offered;  // the starting colour of each chooser

  std::optional<std::string> folder_answer;  // nullopt: the picker is cancelled
  std::vector<std::string> folders_offered;  // the starting folder of each picker

  std::optional<std::vector<std::string>> files_answer;
  std::optional<std::string> file_answer;
  std::vector<std::string> files_offered;

  std::function<int(wxDialog&)> on_modal = [](wxDialog&) { return wxID_CANCEL; };
  std::vector<std::string> opened;
  std::vector<std::string> opened_folders;

  void ShowMessage(wxWindow*, const std::string& text, MessageIcon icon) override {
    messages.push_back({text, icon});
  }
  bool AskYesNo(wxWindow*, const std::string& text, bool yes_is_default) override {
    questions.push_back(text);
    question_defaults.push_back(yes_is_default);
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  bool ChooseColour(wxWindow*, std::uint32_t& colour) override {
    colours_offered.push_back(colour);
    if (!colour_answer) return false;
    colour = *colour_answer;
    return true;
  }
  bool BrowseForFolder(wxWindow*, std::string& path) override {
    folders_offered.push_back(path);
    if (!folder_answer) return false;
    path = *folder_answer;
    return true;
  }
  bool ChooseImageFiles(wxWindow*, std::vector<std::string>& paths) override {
    if (!files_answer) return false;
    paths = *files_answer;
    return true;
  }
  bool ChooseImageFile(wxWindow*, std::string& path) override {
    files_offered.push_back(path);
    if (!file_answer) return false;
    path = *file_answer;
    return true;
  }
  int ShowModal(wxDialog& dialog) override { return on_modal(dialog); }
  void OpenWithDefaultProgram(const std::string& path) override { opened.push_back(path); }
  void OpenFolder(const std::string& folder) override { opened_folders.push_back(folder); }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages) texts.push_back(m.text);
    return texts;
  }
};

// Lets the display and the event loop catch up (mapping, painting, queued events).
inline void Settle(int rounds = 5) {
  for (int i = 0; i < rounds; ++i) {
    wxTheApp->Yield(true);
    wxMilliSleep(2);
  }
  wxTheApp->ProcessIdle();
}

// A click as the user makes it: only on an enabled, shown control.
inline ::testing::AssertionResult Click(wxWindow* button) {
  if (button == nullptr) return ::testing::AssertionFailure() << "no such button";
  if (!button->IsEnabled())
    return ::testing::AssertionFailure() << "button " << button->GetId() << " is disabled";
  if (!button->IsShownOnScreen()) {
    return ::testing::AssertionFailure() << "button " << button->GetId() << " is not shown";
  }
  wxCommandEvent click(wxEVT_BUTTON, button->GetId());
  click.SetEventObject(button);
  button->ProcessWindowEvent(click);
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult ClickRadio(wxRadioButton* radio) {
  if (!radio->IsEnabled())
    return ::testing::AssertionFailure() << "radio " << radio->GetId() << " is disabled";
  radio->SetValue(true);
  wxCommandEvent click(wxEVT_RADIOBUTTON, radio->GetId());
  click.SetEventObject(radio);
  click.SetInt(1);
  radio->ProcessWindowEvent(click);
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult ClickCheck(wxCheckBox* check) {
  if (!check->IsEnabled())
    return ::testing::AssertionFailure() << "check box " << check->GetId() << " is disabled";
  check->SetValue(!check->GetValue());
  wxCommandEvent click(wxEVT_CHECKBOX, check->GetId());
  click.SetEventObject(check);
  click.SetInt(check->GetValue() ? 1 : 0);
  check->ProcessWindowEvent(click);
  return ::testing::AssertionSuccess();
}

// Replaces a box's text as typing would.
inline void Type(wxTextCtrl* box, const std::string& text) { box->SetValue(ui::ToWx(text)); }

// A PNG of the given size, its pixels varied by `seed` so files differ.
inline void WritePng(const std::filesystem::path& path, int width, int height, int seed = 0) {
  wxImage image(width, height);
  unsigned char* p = image.GetData();
  for (int i = 0; i < width * height * 3; ++i)
    p[i] = static_cast<unsigned char>((i * 7 + seed * 31) & 0xFF);
  ASSERT_TRUE(image.SaveFile(ui::ToWx(PathToUtf8(path)), wxBITMAP_TYPE_PNG)) << path;
}

inline std::filesystem::path BinDir() { return std::filesystem::path(VG_BIN_DIR); }

}  // namespace vg::test
