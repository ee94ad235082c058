// `vellagard list`: the image list that files and folders make, as the window shows it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/inputs.h"
#include "core/image_list.h"
#include "core/text.h"

namespace vg::cli {
namespace {

// One field of a tab-separated line. File names may hold tabs, line breaks and other
// control characters, which would break the one-line-per-item layout: they are written
// as C escapes (\t, \n, \r, \xHH).
void AppendField(std::string& line, const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) {
      line.push_back(c);
    } else if (c == '\t') {
      line += "\\t";
    } else if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else {
      line += "\\x";
      line.push_back(kHex[u >> 4]);
      line.push_back(kHex[u & 0xF]);
    }
  }
}

// A JSON string. Quotes, backslashes and control characters are escaped; a byte that
// does not start valid UTF-8 (names on Linux are any bytes) becomes U+FFFD, so the
// output is always valid JSON in UTF-8.
std::string TableList(const CImageList& list);

void AppendJsonString(std::string& out, const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    std::size_t length = 1;
    if (!DecodeUtf8Char(text, i, code, length)) {
      out += "\xEF\xBF\xBD";
      i += 1;
      continue;
    }
    const char c = text[i];
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (code < 0x20 || code == 0x7F) {
      out += "\\u00";
      out.push_back(kHex[code >> 4]);
      out.push_back(kHex[code & 0xF]);
    } else {
      out.append(text, i, length);
    }
    i += length;
  }
  out.push_back('"');
}

std::string JsonList(const CImageList& list) {
  std::string out = "[";
  for (std::size_t i = 0; i < list.size(); ++i) {
    const CImageItem& item = list[i];
    out += i == 0 ? "\n  {\"file\": " : ",\n  {\"file\": ";
    AppendJsonString(out, item.m_strFileName);
    out += ", \"folder\": ";
    AppendJsonString(out, item.m_strFolder);
    out += ", \"width\": " + std::to_string(item.m_nWidth) +
           ", \"height\": " + std::to_string(item.m_nHeight) +
           ", \"bytes\": " + std::to_string(item.m_nFileSize64) + ", \"protected\": ";
    AppendJsonString(out, item.m_strProtectedName);
    out += "}";
  }
  out += list.empty() ? "]\n" : "\n]\n";
  return out;
}

int RunList(const std::vector<std::string>& inputs, bool json) {
  CImageList list;
  if (!AddInputs(list, inputs)) return kExitFailed;
  const std::string out = json ? JsonList(list) : TableList(list);
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "vellagard: cannot write the list to standard output\n");
    return kExitFailed;
  }
  return kExitOk;
}

std::string TableList(const CImageList& list) {
  std::string out = "#\tFile Name\tFolder\tWidth x Height\tFile Size\tProtected Name\n";
  for (std::size_t i = 0; i < list.size(); ++i) {
    const auto row = list.RowTexts(i);
    for (const std::string& field : row) {
      AppendField(out, field);
      out.push_back('\t');
    }
    AppendField(out, list[i].m_strProtectedName);
    out.push_back('\n');
  }
  return out;
}

}  // namespace

void AddListCommand(CLI::App& app, int& exit_code) {
  auto inputs = std::make_shared<std::vector<std::string>>();
  auto json = std::make_shared<bool>(false);
  CLI::App* list = app.add_subcommand(
      "list", "Show the image list that files and folders make, as the converter queues them.");
  list->add_option("INPUT", *inputs,
                   "An image file (added whatever its extension) or a folder (its .gif, .jpg, "
                   ".jpeg, .png, .tif, .webp and .avif files, sub-folders included)")
      ->required();
  list->add_flag("--json", *json,
                 "Print one JSON array instead of the table: an object per image in list order "
                 "with \"file\", \"folder\", \"width\", \"height\" (0 when unreadable), \"bytes\" "
                 "and \"protected\"");
  list->footer(
      "Prints one header line, then one line per image in list order, fields separated by a "
      "tab:\n"
      "  #  File Name  Folder  Width x Height  File Size  Protected Name\n"
      "A file whose image or size cannot be read shows ERROR! in that field.\n"
      "With --json, bytes of a name that are not UTF-8 are shown as U+FFFD.\n"
      "Exit status: 0 listed, 1 an input does not exist, 2 usage error.");
  list->callback([inputs, json, &exit_code] { exit_code = RunList(*inputs, *json); });
}

}  // namespace vg::cli
