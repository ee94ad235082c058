#include "run/conversion_run.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "core/atomic_file.h"
#include "core/product_files.h"
#include "core/protected_file.h"
#include "core/utf8_path.h"
#include "pages/page_builder.h"
#include "pages/page_file.h"
#include "pages/style_checks.h"

namespace vg {
namespace {

const char* const kErrorInputFile = "Error converting input file!\n\n";

std::string Confirmation(std::size_t count) {
  return "You are about to convert " + std::to_string(count) +
         " image file(s).\nNote that files in the target folder will be overwritten!\n\n"
         "Are you sure you want to continue?";
}

// Ends a run in the order the window expects: the running flag is cleared and the
// controls enabled again before the closing message is shown.
void FinishRunning(ConversionInput& in, IConversionHost& host) {
  in.flags.running = false;
  host.UpdateControls();
}

}  // namespace

RunOutcome StartConversion(ConversionInput& in, IConversionHost& host) {
  ConverterSettings& s = in.settings;
  const std::size_t count = in.images.size();

  // 1. Something to convert.
  if (count == 0) {
    host.ShowMessage("Please add at least one image file!", MessageIcon::Error);
    return RunOutcome::Refused;
  }
  // 2. The current style's own check.
  const Style style = StyleOf(s.PresentationStyle);
  if (style == Style::Image2Image) {
    const StyleCheck check = ValidateImage2Image(s);
    if (!check.ok) {
      host.ShowMessage(check.message, MessageIcon::Error);
      return RunOutcome::Refused;
    }
  } else if (!host.CheckCurrentStylePage()) {
    return RunOutcome::Refused;
  }
  // 3. The remaining options.
  host.CollectOptions();
  if (s.Target.empty()) {
    // Without a folder every file would land wherever the program happens to run.
    host.ShowMessage("Please choose a target folder!", MessageIcon::Error);
    return RunOutcome::Refused;
  }
  // 4. One key for every file of the run.
  const std::string key = host.GetDomainKey();
  if (!key.empty() && NormalizeKey(key).empty()) {
    host.ShowMessage("The domain \"" + key +
                         "\" has no letters or digits to lock the files to.\n\n"
                         "Please choose another domain.",
                     MessageIcon::Error);
    return RunOutcome::Refused;
  }
  const std::filesystem::path target = PathFromUtf8(s.Target);

  // 5. Image to image: the second image is written before the question.
  std::unique_ptr<CImageItem> second;
  if (style == Style::Image2Image) {
    second = CreateImageItem(s.Image2ImageFile);
    bool ok = second->m_nFileSize64 > 0 && second->m_nWidth > 0 && second->m_nHeight > 0;
    ok = ok && UpdateProtectedImageFile(PathFromUtf8(second->GetFullPath()),
                                        target / PathFromUtf8(second->m_strProtectedName), key,
                                        in.existing) != FileUpdate::Failed;
    if (!ok) {
      host.ShowMessage("Error converting image file!\n\n" + s.Image2ImageFile, MessageIcon::Error);
      return RunOutcome::Failed;
    }
  }

  // 6. Confirmation.
  if (!host.AskYesNo(Confirmation(count))) return RunOutcome::Declined;

  // 7. Running.
  in.flags.running = true;
  in.flags.stop_requested = false;
  host.UpdateControls();
  host.SetProgressRange(static_cast<int>(count));
  host.SetProgressPosition(0);
  // What a killed earlier run left in the folder: only the writer's own temporary files
  // that no running writer holds.
  RemoveStaleTemporaryFiles(target);

  // 8. The images, in list order. A failure ends the loop after the failing image;
  //    a stop request is honoured only between images.
  std::string failed_path;  // the file named in the error message, empty while none failed
  std::string failure_detail;
  std::size_t i = 0;
  const CImageItem* current = nullptr;  // the image being handled, for an unexpected error
  try {
    while (failed_path.empty() && i < count) {
      const CImageItem& item = in.images[i];
      current = &item;
      host.OnImageStarting(i, item);
      const std::string source = item.GetFullPath();
      const FileUpdate image = UpdateProtectedImageFile(
          PathFromUtf8(source), target / PathFromUtf8(item.m_strProtectedName), key, in.existing);
      FileUpdate page = FileUpdate::Unchanged;
      if (image == FileUpdate::Failed) {
        failed_path = source;
      } else if (style != Style::Slideshow) {
        std::vector<const CImageItem*> frames{&item};
        if (second) frames.push_back(second.get());
        page = UpdatePage(in.page_template, s, target / PathFromUtf8(item.m_strBaseName + ".html"),
                          frames, in.existing);
        if (page == FileUpdate::Failed) failed_path = source;
      }
      if (failed_path.empty()) {
        host.OnImageFinished(i, item, image == FileUpdate::Written || page == FileUpdate::Written);
      }
      ++i;
      host.SetProgressPosition(static_cast<int>(i));
      host.PumpMessages();
      if (in.flags.stop_requested) break;
    }

    current = nullptr;
    // 9. The slideshow page and the viewer script, only after a complete run.
    if (!in.flags.stop_requested && failed_path.empty() && style == Style::Slideshow) {
      std::vector<const CImageItem*> frames;
      frames.reserve(count);
      for (const auto& item : in.images.items()) frames.push_back(item.get());
      const auto page = target / kSlideshowPageName;
      if (UpdatePage(in.page_template, s, page, frames, in.existing) == FileUpdate::Failed) {
        failed_path = PathToUtf8(page);
      }
    }
    if (!in.flags.stop_requested && failed_path.empty()) {
      // A missing installed copy is named as such: that is the file the user must repair.
      const auto installed = in.program_folder / kViewerScriptName;
      const auto viewer = target / kViewerScriptName;
      std::error_code ec;
      if (!std::filesystem::is_regular_file(installed, ec)) {
        failed_path = PathToUtf8(installed);
      } else if (CopyFileAtomically(installed, viewer, in.existing) == FileUpdate::Failed) {
        failed_path = PathToUtf8(viewer);
      }
    }
  } catch (const std::exception& e) {
    // Whatever was written stays; the run still ends in order.
    failed_path = current ? current->GetFullPath() : s.Target;
    failure_detail = e.what();
  }

  second.reset();
  FinishRunning(in, host);

  if (in.flags.stop_requested) {
    host.ShowMessage("Aborted!", MessageIcon::Warning);
    return RunOutcome::Aborted;
  }
  if (failed_path.empty()) {
    host.ShowMessage("Done.", MessageIcon::Information);
    if (s.OpenTargetFolderOnCompletion) host.OpenFolder(s.Target);
    return RunOutcome::Done;
  }
  std::string message = kErrorInputFile + failed_path;
  if (!failure_detail.empty()) message += "\n\n" + failure_detail;
  host.ShowMessage(message, MessageIcon::Error);
  return RunOutcome::Failed;
}

}  // namespace vg
