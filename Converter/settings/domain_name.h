// Domain names as the user types them into the domain list: checked and brought to
// the one form that a browser reports for a page's host, so that a lock made for
// the name matches where the pages are served.
//
// The domain names dialog shows the message of a refused name.
#pragma once

#include <string>
#include <string_view>

namespace vg {

struct DomainNameResult {
  bool ok = false;
  std::string name;     // the ASCII form, when ok
  std::string message;  // why the name was refused, when not ok
};

// Trims the text, reduces a pasted address to its host ("https://www.example.com/a/"
// gives "www.example.com"; a user name and a port number are dropped too), lower-cases
// it and checks it as a host name: labels of letters,
// digits and hyphens, separated by dots, none empty, none starting or ending with a
// hyphen, at most 63 characters each and 253 in all; one trailing dot is dropped.
// A label with letters outside ASCII is stored in its ASCII form ("xn--..."), as
// browsers report it; letters whose lower-case form this converter does not know
// are refused with a message asking for the ASCII form. A name whose lock key would
// be empty is refused.
DomainNameResult NormalizeDomainName(std::string_view text);

// The ASCII form of one label of Unicode code points (RFC 3492 Punycode, without
// the "xn--" prefix). Empty when the label is too long to encode.
std::string PunycodeEncode(const std::u32string& label);

}  // namespace vg
