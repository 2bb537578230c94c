#include "platform/progress_display.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>

namespace platform {
namespace {

constexpr char kClassName[] = "KorvanUpdaterProgress";
constexpr char kTitle[] = "Updater Progress";
constexpr UINT kRefreshMessage = WM_APP + 1;
constexpr UINT kCloseMessage = WM_APP + 2;
constexpr int kBarId = 100;
constexpr int kRange = 1000;

enum Line { kFileLine, kBytesLine, kStateLine, kLineCount };

}  // namespace

struct ProgressDisplay::State {
  SRWLOCK lock = SRWLOCK_INIT;
  ProgressView view;  // under lock
  std::atomic<bool> cancel{false};
  bool closed = false;
  HANDLE thread = nullptr;
  HANDLE ready = nullptr;
  HWND window = nullptr;
  HWND lines[kLineCount] = {};
  HWND bar = nullptr;
  HWND button = nullptr;
  HFONT font = nullptr;
};

namespace {

ProgressDisplay::State* StateOf(HWND window) {
  return reinterpret_cast<ProgressDisplay::State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void Refresh(ProgressDisplay::State& state) {
  AcquireSRWLockExclusive(&state.lock);
  const ProgressView view = state.view;
  ReleaseSRWLockExclusive(&state.lock);
  const std::string* texts[kLineCount] = {&view.file, &view.bytes, &view.state};
  for (int i = 0; i < kLineCount; ++i) {
    char current[512] = {};
    GetWindowTextA(state.lines[i], current, sizeof current);
    // Setting the same text again would make it flicker.
    if (*texts[i] != current) SetWindowTextA(state.lines[i], texts[i]->c_str());
  }
  SendMessageA(state.bar, PBM_SETPOS, view.permille >= 0 ? view.permille : 0, 0);
}

void RequestCancel(ProgressDisplay::State& state) {
  state.cancel = true;
  EnableWindow(state.button, FALSE);
  SetWindowTextA(state.lines[kStateLine], "Cancelling");
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ProgressDisplay::State* state = StateOf(window);
  if (state != nullptr) {
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) RequestCancel(*state);
        return 0;
      case WM_CLOSE:  // the close button means Cancel too
        RequestCancel(*state);
        return 0;
      case kRefreshMessage:
        if (!state->cancel) Refresh(*state);
        return 0;
      case kCloseMessage:
        DestroyWindow(window);
        return 0;
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Builds the window in the system's dialog font, scaled to the screen's
// DPI; false when it cannot.
bool CreateProgressWindow(ProgressDisplay::State& state) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);  // a second display finds it registered

  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    state.font = CreateFontIndirectW(&metrics.lfMessageFont);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  const auto scaled = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };

  const int margin = scaled(12), width = scaled(360), lineHeight = scaled(18);
  const int barHeight = scaled(16), buttonWidth = scaled(88), buttonHeight = scaled(26);
  const int clientWidth = width + 2 * margin;
  const int clientHeight = margin + 3 * lineHeight + barHeight + scaled(16) + buttonHeight + margin;
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD extendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_TOPMOST;
  RECT frame = {0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, extendedStyle);
  const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
  state.window = CreateWindowExA(extendedStyle, kClassName, kTitle, style,
                                 (GetSystemMetrics(SM_CXSCREEN) - frameWidth) / 2,
                                 (GetSystemMetrics(SM_CYSCREEN) - frameHeight) / 2, frameWidth,
                                 frameHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (state.window == nullptr) return false;
  SetWindowLongPtrA(state.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));

  int top = margin;
  for (HWND& line : state.lines) {
    line = CreateWindowExA(
        0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS, margin, top,
        width, lineHeight, state.window, nullptr, windowClass.hInstance, nullptr);
    top += lineHeight;
  }
  state.bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, margin,
                              top + scaled(4), width, barHeight, state.window,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBarId)),
                              windowClass.hInstance, nullptr);
  SendMessageA(state.bar, PBM_SETRANGE32, 0, kRange);
  state.button = CreateWindowExA(
      0, "BUTTON", "Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
      margin + width - buttonWidth, clientHeight - margin - buttonHeight, buttonWidth, buttonHeight,
      state.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), windowClass.hInstance,
      nullptr);
  if (state.font != nullptr) {
    for (HWND child : {state.lines[0], state.lines[1], state.lines[2], state.button}) {
      SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    }
  }
  Refresh(state);
  ShowWindow(state.window, SW_SHOWNORMAL);
  SetForegroundWindow(state.window);
  SetFocus(state.button);
  return true;
}

DWORD WINAPI RunWindow(void* parameter) {
  ProgressDisplay::State& state = *static_cast<ProgressDisplay::State*>(parameter);
  const bool created = CreateProgressWindow(state);
  SetEvent(state.ready);
  if (!created) return 0;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    // Escape and Return reach the window as its Cancel command.
    if (IsDialogMessageA(state.window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace

ProgressDisplay::ProgressDisplay() : state_(std::make_unique<State>()) {
  // Sharp text on a scaled screen, in the window's measures above.
  SetProcessDPIAware();
}

ProgressDisplay::~ProgressDisplay() {
  Close();
  if (state_->font != nullptr) DeleteObject(state_->font);
}

void ProgressDisplay::Show(const ProgressView& view) {
  if (state_->closed) return;
  AcquireSRWLockExclusive(&state_->lock);
  state_->view = view;
  ReleaseSRWLockExclusive(&state_->lock);
  if (state_->thread == nullptr) {
    state_->ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    state_->thread = CreateThread(nullptr, 0, &RunWindow, state_.get(), 0, nullptr);
    if (state_->thread == nullptr) {
      state_->closed = true;
      return;
    }
    WaitForSingleObject(state_->ready, INFINITE);
    return;
  }
  if (state_->window != nullptr) PostMessageA(state_->window, kRefreshMessage, 0, 0);
}

void ProgressDisplay::Close() {
  state_->closed = true;
  if (state_->thread == nullptr) return;
  if (state_->window != nullptr) PostMessageA(state_->window, kCloseMessage, 0, 0);
  WaitForSingleObject(state_->thread, INFINITE);
  CloseHandle(state_->thread);
  CloseHandle(state_->ready);
  state_->thread = nullptr;
  state_->window = nullptr;
}

bool ProgressDisplay::CancelRequested() const { return state_->cancel; }

void CatchInterruptSignals() {
  // A windowed program has no console whose Ctrl+C would reach it.
}

}  // namespace platform
