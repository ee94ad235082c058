// Domain names typed into the domain list: checks, lower case and the ASCII form.
#include <gtest/gtest.h>

#include "settings/domain_name.h"

namespace vg {
namespace {

TEST(domain_name_test, punycode_matches_the_published_examples) {
  // RFC 3492 section 7.1 samples and well-known labels.
  EXPECT_EQ(PunycodeEncode(U"bücher"), "bcher-kva");
  EXPECT_EQ(PunycodeEncode(U"münchen"), "mnchen-3ya");
  EXPECT_EQ(PunycodeEncode(U"пример"), "e1afmkfd");
  EXPECT_EQ(PunycodeEncode(U"рф"), "p1ai");
  EXPECT_EQ(PunycodeEncode(U"例え"), "r8jz45g");
  EXPECT_EQ(PunycodeEncode(U"テスト"), "zckzah");
  EXPECT_EQ(PunycodeEncode(U"他们为什么不说中文"), "ihqwcrb4cv8a8dqg056pqjye");
  EXPECT_EQ(PunycodeEncode(U"3年B組金八先生"), "3B-ww4c5e180e575a65lsy2b");
}

TEST(domain_name_test, accepted_names_take_their_ascii_form) {
  const std::pair<const char*, const char*> cases[] = {
      {"example.com", "example.com"},
      {"  WWW.Example.COM  ", "www.example.com"},
      {"example.com.", "example.com"},  // the root dot
      {"Bücher.Example", "xn--bcher-kva.example"},
      {"BÜCHER.de", "xn--bcher-kva.de"},
      {"ПРИМЕР.РФ", "xn--e1afmkfd.xn--p1ai"},
      {"例え。テスト", "xn--r8jz45g.xn--zckzah"},  // ideographic full stop
      {"xn--bcher-kva.example", "xn--bcher-kva.example"},
      {"192.168.1.20", "192.168.1.20"},
      {"my-site.example", "my-site.example"},
      // Typed or pasted as a person would; one rule for the window and the command line.
      {"bücher.de", "xn--bcher-kva.de"},
      {"例え.jp", "xn--r8jz45g.jp"},
      {"https://WWW.Example.com/gallery/", "www.example.com"},
      {"  Example.ORG  ", "example.org"},
      {"http://user@example.net:8080/a?b#c", "example.net"},
      {"www.example.com/gallery/index.html", "www.example.com"},
      {"example.com:443", "example.com"},
  };
  for (const auto& [typed, expected] : cases) {
    const DomainNameResult r = NormalizeDomainName(typed);
    EXPECT_TRUE(r.ok) << typed << ": " << r.message;
    EXPECT_EQ(r.name, expected) << typed;
  }
}

TEST(domain_name_test, refused_names_say_why) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "Please enter a domain name."},
      {"   ", "Please enter a domain name."},
      {"exa mple.com", "contains a space"},
      {"example..com", "empty part"},
      {".example.com", "empty part"},
      {"https://", "has no host name"},
      {"https:///gallery/", "has no host name"},
      {"ex:ample.com", "contains \":\""},
      {"-example.com", "starts or ends with a hyphen"},
      {"example-.com", "starts or ends with a hyphen"},
      {"-", "starts or ends with a hyphen"},
      {std::string(64, 'a') + ".com", "longer than 63"},
      {std::string(4 * 63 + 8, 'a'), "longer than 63"},
      {"\xC4\xB0stanbul.example", "ASCII form"},     // capital I with dot: folds by language
      {"\xE2\x98\x83.example", "ASCII form"},        // a snowman
      {"e\xCC\x81t\xC3\xA9.example", "ASCII form"},  // a combining accent
      {"bad\xFF.example", "not valid text"},
  };
  for (const auto& [typed, part] : cases) {
    const DomainNameResult r = NormalizeDomainName(typed);
    EXPECT_FALSE(r.ok) << typed;
    EXPECT_NE(r.message.find(part), std::string::npos) << typed << ": " << r.message;
  }
  std::string long_name;
  for (int i = 0; i < 5; ++i) long_name += std::string(60, 'a') + ".";
  long_name += "com";
  const DomainNameResult r = NormalizeDomainName(long_name);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("longer than 253"), std::string::npos) << r.message;
}

}  // namespace
}  // namespace vg
