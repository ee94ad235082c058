// The ordered list of images to convert, and the list commands of the window,
// without any window: the desktop program and the command-line tool both hold one.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/image_item.h"

namespace vg {

// A named input that could not be added to the list, and why ("no such file or folder").
struct InputProblem {
  std::string input;
  std::string reason;
};

class CImageList {
 public:
  std::size_t size() const { return m_items.size(); }
  bool empty() const { return m_items.empty(); }
  const CImageItem& operator[](std::size_t i) const { return *m_items[i]; }
  const std::vector<std::unique_ptr<CImageItem>>& items() const { return m_items; }

  // Appends an item for the file unless an item with the same full path (ASCII
  // case-blind) is listed. True when an item was added.
  bool AddImageFile(std::string_view full_path);
  // Adds the accepted image files of a folder and its sub-folders, depth first, each
  // folder's entries in ascending ASCII case-blind name order. Returns how many were added.
  std::size_t AddFolder(const std::filesystem::path& folder);
  // Adds images and folders named by the user outside the window's dialogs (on the
  // command line, at program start, dropped on the window), in the order given: a
  // file as AddImageFile does (any file, whatever its extension), a folder as
  // AddFolder does. A relative path is made absolute first, as the dialogs give full
  // paths, and "." parts are dropped (".." is kept: after a symbolic link it does not
  // mean the folder the text shows). An input that names nothing that exists is
  // skipped; the problems are returned in input order, empty when everything was added.
  std::vector<InputProblem> AddPaths(const std::vector<std::string>& inputs);
  // Removes the items at the selected rows (ascending row numbers as the view reports them).
  void RemoveSelected(const std::vector<int>& selected_rows);
  void Clear();
  // Move the item at `row` one place; returns its new row, or -1 when nothing moved.
  int MoveUp(int row);
  int MoveDown(int row);
  // The five column texts of row i: "#", "File Name", "Folder", "Width x Height", "File Size".
  std::array<std::string, 5> RowTexts(std::size_t i) const;

 private:
  std::vector<std::unique_ptr<CImageItem>> m_items;
  // The full path of every item with ASCII letters folded to lower case, so that
  // adding thousands of files does not compare each with every other.
  std::unordered_set<std::string> m_foldedPaths;
};

}  // namespace vg
