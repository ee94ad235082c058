// The About box and the domain names dialog.
#include <wx/hyperlink.h>
#include <wx/listbox.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "ui/about_dlg.h"
#include "ui/domains_dlg.h"
#include "ui/tests/main_win_fixture.h"

namespace vg::test {
namespace {

using ui::FromWx;

TEST_F(main_win_test, about_button_shows_version_copyright_and_update_link) {
  ui::CMainWin& w = Open();
  bool shown = false;
  m_services.on_modal = [&](wxDialog& d) {
    auto* about = dynamic_cast<ui::CAboutDlg*>(&d);
    EXPECT_NE(about, nullptr);
    if (!about) return wxID_CANCEL;
    shown = true;
    EXPECT_EQ(FromWx(about->GetTitle()), "About Vellagard Web Converter");
    EXPECT_EQ(about->GetClientSize(), ui::DialogSize(about, 337, 89));
    EXPECT_EQ(FromWx(about->m_textVersion->GetLabel()), "Version: 5.0.0.0");
    EXPECT_EQ(FromWx(about->m_textCopyright->GetLabel()), "Copyright (C) 2026 Quillmere");
    EXPECT_EQ(FromWx(about->m_link->GetLabel()), "Check for updates");
    EXPECT_EQ(FromWx(about->m_link->GetURL()),
              "https://www.quillmere.example/vellagard_web_changes.asp?ver=5.0.0.0");
    EXPECT_EQ(about->m_textVersion->GetRect(), ui::DialogRect(about, 8, 36, 323, 14));
    EXPECT_EQ(about->m_link->GetRect(), ui::DialogRect(about, 8, 68, 70, 14));
    auto* ok = dynamic_cast<wxButton*>(about->FindWindow(wxID_OK));
    EXPECT_TRUE(ok != nullptr && about->GetDefaultItem() == ok);
    bool has_icon = false;
    for (wxWindow* c : about->GetChildren()) {
      if (auto* bmp = dynamic_cast<wxStaticBitmap*>(c)) has_icon = bmp->GetBitmap().IsOk();
    }
    EXPECT_TRUE(has_icon);
    return wxID_OK;
  };
  ASSERT_TRUE(Click(w.m_buttonAbout));
  EXPECT_TRUE(shown);
}

class domains_dialog_test : public ::testing::Test {
 protected:
  FakeServices m_services;
};

TEST_F(domains_dialog_test, adds_checked_names_and_refuses_bad_ones_with_a_message) {
  ui::CDlgDomains dialog(nullptr, m_services, {"b.example", "localhost", "a.example", "b.example"});
  EXPECT_EQ(dialog.GetNames(), (std::vector<std::string>{"a.example", "b.example"}));
  EXPECT_EQ(dialog.m_listNames->GetCount(), 2u);

  struct Case {
    const char* typed;
    bool ok;
    const char* message_part;
  };
  const Case cases[] = {
      {"  WWW.Example.ORG ", true, nullptr},
      {"müller.de", true, nullptr},
      {"a.example", true, nullptr},  // already listed: selected, not doubled
      {"localhost", true, nullptr},  // always offered
      {"bad name.example", false, "contains a space"},
      {"--.example", false, "starts or ends with a hyphen"},
      {"", false, "Please enter a domain name."},
      {"\xE2\x82\xAC.example", false, "ASCII form"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    m_services.messages.clear();
    dialog.m_editName->SetValue(wxString::FromUTF8(c.typed));
    EXPECT_EQ(dialog.AddName(), c.ok);
    if (c.ok) {
      EXPECT_TRUE(m_services.messages.empty());
      EXPECT_TRUE(dialog.m_editName->IsEmpty());
    } else {
      ASSERT_EQ(m_services.messages.size(), 1u);
      EXPECT_EQ(m_services.messages[0].icon, MessageIcon::Error);
      EXPECT_NE(m_services.messages[0].text.find(c.message_part), std::string::npos)
          << m_services.messages[0].text;
    }
  }
  EXPECT_EQ(dialog.GetNames(), (std::vector<std::string>{"a.example", "b.example",
                                                         "www.example.org", "xn--mller-kva.de"}));

  dialog.m_listNames->SetSelection(0);
  dialog.m_listNames->SetSelection(3);
  dialog.RemoveSelected();
  EXPECT_EQ(dialog.GetNames(), (std::vector<std::string>{"b.example", "www.example.org"}));
  EXPECT_EQ(dialog.m_listNames->GetCount(), 2u);
}

}  // namespace
}  // namespace vg::test
