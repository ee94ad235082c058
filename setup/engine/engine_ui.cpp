#include "engine_ui.h"

#include <commctrl.h>

#include <cstdio>

#include "setup_archive.h"

namespace vgengine {

namespace {
const wchar_t kWindowClass[] = L"VellagardSetupProgress";
constexpr int kTextId = 100;
constexpr int kBarId = 101;
}  // namespace

EngineUi::EngineUi(bool silent, std::wstring logPath)
    : m_silent(silent), m_logPath(std::move(logPath)) {}

EngineUi::~EngineUi() {
  CloseProgress();
  if (m_font) DeleteObject(m_font);
}

void EngineUi::Log(const std::wstring& line) {
  if (m_logPath.empty()) return;
  HANDLE file = CreateFileW(m_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond);
  // One line per entry: the line breaks of a message become blanks.
  std::wstring flat;
  for (wchar_t c : line) {
    if (c == L'\r') continue;
    if (c == L'\n') {
      if (!flat.empty() && flat.back() != L' ') flat += L' ';
      continue;
    }
    flat += c;
  }
  std::string text = stamp + WideToUtf8(flat) + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool EngineUi::Message(const std::wstring& text, MessageKind kind, bool silentAnswer) {
  static const wchar_t* const kinds[] = {L"message: ", L"error: ", L"question: "};
  Log(kinds[static_cast<int>(kind)] + text +
      (m_silent && kind == MessageKind::Question
           ? (silentAnswer ? L" (silent: yes)" : L" (silent: no)")
           : L""));
  if (m_silent) return kind == MessageKind::Question ? silentAnswer : true;
  UINT flags = MB_OK | MB_ICONINFORMATION;
  if (kind == MessageKind::Error) flags = MB_OK | MB_ICONERROR;
  if (kind == MessageKind::Question) flags = MB_YESNO | MB_ICONQUESTION;
  const int answer =
      MessageBoxW(m_window, text.c_str(), m_caption.c_str(), flags | MB_SETFOREGROUND);
  return kind == MessageKind::Question ? answer == IDYES : true;
}

LRESULT CALLBACK EngineUi::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<EngineUi*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && ((message == WM_COMMAND && LOWORD(w) == IDCANCEL) || message == WM_CLOSE)) {
    self->m_cancelAsked = true;
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

void EngineUi::Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (m_window && IsDialogMessageW(m_window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool EngineUi::Progress(double done, double total, const std::wstring& text) {
  if (m_silent) return true;
  if (m_cancelled) return false;
  if (!m_window) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(101));
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!m_font && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      m_font = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT r = {0, 0, 440, 120};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    const int w = r.right - r.left, h = r.bottom - r.top;
    m_window = CreateWindowExW(
        0, kWindowClass, m_caption.c_str(), style, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
        (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr, instance, nullptr);
    if (!m_window) return true;  // no window to show, the work goes on
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_text = CreateWindowExW(
        0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS, 16, 14, 408,
        20, m_window, reinterpret_cast<HMENU>(kTextId), instance, nullptr);
    m_bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 16, 40, 408, 20,
                            m_window, reinterpret_cast<HMENU>(kBarId), instance, nullptr);
    HWND cancel = CreateWindowExW(
        0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 334, 78, 90,
        28, m_window, reinterpret_cast<HMENU>(IDCANCEL), instance, nullptr);
    SendMessageW(m_bar, PBM_SETRANGE32, 0, 1000);
    for (HWND control : {m_text, cancel}) {
      if (m_font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    }
    ShowWindow(m_window, SW_SHOWNORMAL);
    SetForegroundWindow(m_window);
  }
  const double share = total > 0 ? done / total : 0;
  SendMessageW(m_bar, PBM_SETPOS,
               static_cast<WPARAM>(share < 0   ? 0
                                   : share > 1 ? 1000
                                               : share * 1000),
               0);
  SetWindowTextW(m_text, text.c_str());
  Pump();
  if (m_cancelAsked) {
    m_cancelAsked = false;
    if (Message(L"Stop the setup? Nothing will be left installed.", MessageKind::Question)) {
      m_cancelled = true;
      Log(L"cancelled by the user");
      return false;
    }
  }
  return true;
}

void EngineUi::CloseProgress() {
  if (m_window) {
    DestroyWindow(m_window);
    m_window = nullptr;
    Pump();
  }
}

}  // namespace vgengine
