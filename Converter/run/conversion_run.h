// The conversion run: what "Start" does. It checks the input, collects the options,
// asks for confirmation, then writes each image's protected file and page in list
// order, and finally the slideshow page and the viewer script.
//
// The run knows nothing of windows or terminals: it talks to its caller through
// IConversionHost. The desktop window and the command-line tool are the two hosts.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "core/atomic_file.h"
#include "core/image_list.h"
#include "settings/settings.h"

namespace vg {

enum class MessageIcon { Error, Warning, Information };

// What the run needs from the program that runs it.
class IConversionHost {
 public:
  virtual ~IConversionHost() = default;
  // The check of the current style's page (link, text to image, image to text,
  // slideshow): stores its fields into the settings and returns false after showing
  // its own message when the input is refused.
  virtual bool CheckCurrentStylePage() = 0;
  // Copies the remaining option fields into the settings (loading and status
  // messages, border width, open-folder choice, domain selection, target folder).
  virtual void CollectOptions() = 0;
  // The domain key: the selected domain when locking is on, else empty.
  virtual std::string GetDomainKey() = 0;
  // A Yes/No question with a question icon, Yes the default. True for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // Enables or disables the inputs from RunFlags::running.
  virtual void UpdateControls() = 0;
  virtual void SetProgressRange(int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;
  // Lets pending input through; this is where a Stop request arrives.
  virtual void PumpMessages() = 0;
  // One message box; returns when the user has closed it.
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
  // Opens the folder in the desktop's file manager.
  virtual void OpenFolder(const std::string& folder) = 0;
  // Called before image `index` is written (for progress detail); optional.
  virtual void OnImageStarting(std::size_t /*index*/, const CImageItem& /*item*/) {}
  // Called after image `index` was handled without failing: `written` is false when its
  // protected file and page already held exactly what the run would write and were left
  // untouched. Optional.
  virtual void OnImageFinished(std::size_t /*index*/, const CImageItem& /*item*/,
                               bool /*written*/) {}
};

// The two flags the window keeps for a run. Stop sets stop_requested.
struct RunFlags {
  bool running = false;
  bool stop_requested = false;
};

// How a run ended, for callers that need more than the message (exit codes).
enum class RunOutcome {
  Refused,   // a check failed before anything was asked; nothing written by the loop
  Declined,  // the user answered No
  Done,
  Aborted,
  Failed,
};

struct ConversionInput {
  ConverterSettings& settings;
  const CImageList& images;
  const std::string& page_template;             // as read by TryLoadPageTemplate
  const std::filesystem::path& program_folder;  // where the viewer script is copied from
  RunFlags& flags;
  // KeepIfSame leaves every target file that already holds exactly what would be written
  // untouched (same inode and modification time); Replace rewrites them all.
  ExistingFile existing = ExistingFile::KeepIfSame;
};

RunOutcome StartConversion(ConversionInput& input, IConversionHost& host);

}  // namespace vg
