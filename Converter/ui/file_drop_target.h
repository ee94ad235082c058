// Files and folders dragged from the file manager onto the main window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <wx/dnd.h>

namespace vg::ui {

// Hands the dropped paths (UTF-8, in the order the file manager gives them) to
// `add`, which returns false when it takes none of them. While `busy` returns true,
// nothing can be dropped: the pointer shows that and a drop is refused.
class CFileDropTarget : public wxFileDropTarget {
 public:
  using AddPaths = std::function<bool(const std::vector<std::string>&)>;
  using IsBusy = std::function<bool()>;

  CFileDropTarget(AddPaths add, IsBusy busy);

  wxDragResult OnEnter(wxCoord x, wxCoord y, wxDragResult def) override;
  wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult def) override;
  bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& files) override;

 private:
  AddPaths m_add;
  IsBusy m_busy;
};

}  // namespace vg::ui
