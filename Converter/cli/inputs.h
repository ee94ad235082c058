// The images named on a command line, added to an image list as the desktop window adds
// them. `vellagard list` and `vellagard convert` share this, so both queue the same list.
#pragma once

#include <string>
#include <vector>

#include "core/image_list.h"

namespace vg::cli {

// Adds the inputs in argument order: a file as "Add file(s)" does (any file, whatever
// its extension), a folder as "Add folder" does (its accepted image files, sub-folders
// included). Relative paths are made absolute first, as the window's dialogs give full
// paths; a path already listed is dropped. When an input names nothing that exists,
// nothing is added and `error` is one line naming the first such input.
bool AddInputs(CImageList& list, const std::vector<std::string>& inputs, std::string& error);

}  // namespace vg::cli
