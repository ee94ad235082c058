#include "ui/file_drop_target.h"

#include <utility>

#include "ui/ui_services.h"

namespace vg::ui {

CFileDropTarget::CFileDropTarget(AddPaths add, IsBusy busy)
    : m_add(std::move(add)), m_busy(std::move(busy)) {}

wxDragResult CFileDropTarget::OnEnter(wxCoord x, wxCoord y, wxDragResult def) {
  return OnDragOver(x, y, def);
}

// Files are copied into the list, never moved: a file manager must not delete them.
wxDragResult CFileDropTarget::OnDragOver(wxCoord, wxCoord, wxDragResult def) {
  if (m_busy()) return wxDragNone;
  return def == wxDragNone ? wxDragNone : wxDragCopy;
}

bool CFileDropTarget::OnDropFiles(wxCoord, wxCoord, const wxArrayString& files) {
  if (m_busy()) return false;
  std::vector<std::string> paths;
  paths.reserve(files.size());
  for (const wxString& file : files) paths.push_back(FromWx(file));
  return m_add(paths);
}

}  // namespace vg::ui
