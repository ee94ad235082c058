// `vellagard list`: the image list that files and folders make, as the window shows it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/inputs.h"
#include "core/image_list.h"

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

int RunList(const std::vector<std::string>& inputs) {
  CImageList list;
  if (!AddInputs(list, inputs)) return kExitFailed;
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
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "vellagard: cannot write the list to standard output\n");
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace

void AddListCommand(CLI::App& app, int& exit_code) {
  auto inputs = std::make_shared<std::vector<std::string>>();
  CLI::App* list = app.add_subcommand(
      "list", "Show the image list that files and folders make, as the converter queues them.");
  list->add_option("INPUT", *inputs,
                   "An image file (added whatever its extension) or a folder (its .gif, .jpg, "
                   ".jpeg, .png and .tif files, sub-folders included)")
      ->required();
  list->footer(
      "Prints one header line, then one line per image in list order, fields separated by a "
      "tab:\n"
      "  #  File Name  Folder  Width x Height  File Size  Protected Name\n"
      "A file whose image or size cannot be read shows ERROR! in that field.\n"
      "Exit status: 0 listed, 1 an input does not exist, 2 usage error.");
  list->callback([inputs, &exit_code] { exit_code = RunList(*inputs); });
}

}  // namespace vg::cli
