// What the engine shows and records: the log file, message boxes and the progress window.
// In silent mode nothing is shown; messages go to the log only and questions take their
// default answer.
#pragma once

#include <windows.h>

#include <string>

namespace vgengine {

enum class MessageKind { Info, Error, Question };

class EngineUi {
 public:
  EngineUi(bool silent, std::wstring logPath);
  ~EngineUi();
  EngineUi(const EngineUi&) = delete;
  EngineUi& operator=(const EngineUi&) = delete;

  bool Silent() const { return m_silent; }
  const std::wstring& LogPath() const { return m_logPath; }
  void SetCaption(const std::wstring& caption) { m_caption = caption; }

  // Appends one line with the time to the log file; failures to log are not reported.
  void Log(const std::wstring& line);
  // Logs the text and, unless silent, shows it. A question returns true for Yes; in silent
  // mode its answer is `silentAnswer`.
  bool Message(const std::wstring& text, MessageKind kind, bool silentAnswer = true);
  // Shows (opening it when needed) the progress window at done/total with `text` and
  // handles the window's messages. Returns false once the user confirmed Cancel.
  bool Progress(double done, double total, const std::wstring& text);
  void CloseProgress();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  void Pump();

  bool m_silent;
  std::wstring m_logPath;
  std::wstring m_caption = L"Vellagard Web Converter Setup";
  HWND m_window = nullptr;
  HWND m_text = nullptr;
  HWND m_bar = nullptr;
  HFONT m_font = nullptr;
  bool m_cancelAsked = false;
  bool m_cancelled = false;
};

}  // namespace vgengine
