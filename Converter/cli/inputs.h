// The images named on a command line, added to an image list as the desktop window adds
// them. `vellagard list` and `vellagard convert` share this, so both queue the same list.
#pragma once

#include <string>
#include <vector>

#include "core/image_list.h"

namespace vg::cli {

// CImageList::AddPaths, with a line on stderr for each input that names nothing that
// exists ("vellagard: NAME: no such file or folder"). False when there was any: a
// command must not go on with part of what it was asked to do.
bool AddInputs(CImageList& list, const std::vector<std::string>& inputs);

}  // namespace vg::cli
