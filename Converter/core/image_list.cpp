#include "core/image_list.h"

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

#include "core/utf8_path.h"

namespace vg {
namespace {

std::string FoldAscii(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

struct FolderEntry {
  std::string folded_name;  // the sort key
  std::string name;         // ties between names that differ only in case: byte order
  std::filesystem::path path;
  bool is_folder = false;
};

// The sub-folders and regular files of a folder, symbolic links followed, in ascending
// ASCII case-blind name order: the order NTFS lists a folder in, so that the order of
// the list (and of a slideshow's frames) does not depend on the file system. False
// when the folder cannot be read.
bool ReadFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return false;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code type_ec;
    FolderEntry e;
    e.is_folder = it->is_directory(type_ec);
    // Pipes, devices and broken links are left out: there is nothing to convert and
    // opening a pipe would block.
    if (!e.is_folder && !it->is_regular_file(type_ec)) continue;
    e.path = it->path();
    e.name = PathToUtf8(e.path.filename());
    e.folded_name = FoldAscii(e.name);
    entries.push_back(std::move(e));
  }
  // An entry that failed mid-way ends the folder with what was read so far.
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
    return a.folded_name != b.folded_name ? a.folded_name < b.folded_name : a.name < b.name;
  });
  return true;
}

// What identifies a folder however it was reached: its path with every link resolved.
std::string FolderIdentity(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::path resolved = std::filesystem::canonical(folder, ec);
  if (ec) resolved = std::filesystem::absolute(folder, ec).lexically_normal();
  return PathToUtf8(resolved);
}

// The absolute form of a path without "." components or doubled separators.
std::filesystem::path MakeFullPath(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return path;
  std::filesystem::path full;
  for (const auto& part : absolute) {
    if (part == "." || part.empty()) continue;
    full /= part;
  }
  return full;
}

}  // namespace

std::vector<InputProblem> CImageList::AddPaths(const std::vector<std::string>& inputs) {
  std::vector<InputProblem> problems;
  for (const std::string& input : inputs) {
    const std::filesystem::path path = PathFromUtf8(input);
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
      const bool missing =
          !ec || ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
      problems.push_back({input.empty() ? "''" : input,
                          missing ? std::string("no such file or folder") : ec.message()});
      continue;
    }
    if (std::filesystem::is_directory(status)) {
      AddFolder(MakeFullPath(path));
    } else {
      AddImageFile(PathToUtf8(MakeFullPath(path)));
    }
  }
  return problems;
}

bool CImageList::AddImageFile(std::string_view full_path) {
  std::string folded = FoldAscii(full_path);
  if (m_foldedPaths.count(folded) != 0) return false;
  m_items.push_back(CreateImageItem(full_path));
  m_foldedPaths.insert(std::move(folded));
  return true;
}

std::size_t CImageList::AddFolder(const std::filesystem::path& folder) {
  // Depth first with an explicit stack, so a deep tree cannot exhaust the call stack.
  // Each folder is entered once per call, however many links lead to it: a link back to
  // an ancestor (a symbolic link or a junction) would otherwise never end, and links
  // that meet again would list the same files under other names over and over.
  struct Level {
    std::vector<FolderEntry> entries;
    std::size_t next = 0;
  };
  std::set<std::string> entered;
  std::vector<Level> stack;
  std::size_t added = 0;

  auto enter = [&](const std::filesystem::path& path) {
    if (!entered.insert(FolderIdentity(path)).second) return;
    Level level;
    if (ReadFolder(path, level.entries)) stack.push_back(std::move(level));
  };

  enter(folder);
  while (!stack.empty()) {
    Level& top = stack.back();
    if (top.next == top.entries.size()) {
      stack.pop_back();
      continue;
    }
    const FolderEntry& e = top.entries[top.next++];
    if (e.is_folder) {
      enter(e.path);  // invalidates `top` and `e`
      continue;
    }
    const std::string full_path = PathToUtf8(e.path);
    if (IsAcceptedImageFile(full_path) && AddImageFile(full_path)) ++added;
  }
  return added;
}

void CImageList::RemoveSelected(const std::vector<int>& selected_rows) {
  // The rows are those of the view before anything was removed: each removal moves the
  // later items up by one, so the item for row r now sits at r - removed.
  // Rows that are not in ascending order would break that arithmetic and are skipped.
  int removed = 0;
  int previous = -1;
  for (int row : selected_rows) {
    if (row <= previous) continue;
    previous = row;
    const long index = static_cast<long>(row) - removed;
    if (index < 0 || index >= static_cast<long>(m_items.size())) continue;
    const auto it = m_items.begin() + index;
    m_foldedPaths.erase(FoldAscii((*it)->GetFullPath()));
    m_items.erase(it);
    ++removed;
  }
}

void CImageList::Clear() {
  m_items.clear();
  m_foldedPaths.clear();
}

int CImageList::MoveUp(int row) {
  if (row <= 0 || static_cast<std::size_t>(row) >= m_items.size()) return -1;
  std::swap(m_items[row], m_items[row - 1]);
  return row - 1;
}

int CImageList::MoveDown(int row) {
  if (row < 0 || static_cast<std::size_t>(row) + 1 >= m_items.size()) return -1;
  std::swap(m_items[row], m_items[row + 1]);
  return row + 1;
}

std::array<std::string, 5> CImageList::RowTexts(std::size_t i) const {
  const CImageItem& item = *m_items.at(i);
  return {std::to_string(i + 1), item.m_strFileName, item.m_strFolder, item.GetDimensionsText(),
          item.GetSizeText()};
}

}  // namespace vg
