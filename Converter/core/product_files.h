// The fixed names of the files the converter reads from its program folder and
// writes into a target folder beside the per-image files.
#pragma once

namespace vg {

// The page template, read from the program folder.
inline constexpr const char* kPageTemplateFileName = "template.html";
// The browser viewer, copied from the program folder into every target folder.
inline constexpr const char* kViewerScriptName = "vgi.js";
// The one page of a slideshow, in the target folder.
inline constexpr const char* kSlideshowPageName = "slideshow.html";

}  // namespace vg
