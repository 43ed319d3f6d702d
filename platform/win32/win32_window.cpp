// The window and its procedure, the message queue turned into the game's
// events, and the small services of the window system: clock, keys, cursor,
// message boxes, the program's own path and files with Shift-JIS names.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/win32/win32.h"

namespace shindan {

HINSTANCE program_instance = nullptr;
int program_show_command = SW_SHOWNORMAL;
HWND main_window = nullptr;

const char plat_path_separator = '\\';

namespace {

// What the window procedure heard for the game while a message was being
// dispatched. One dispatch may run the procedure more than once (a close
// sent from within the system's own key handling), so a few are kept.
constexpr int event_capacity = 8;
plat_event waiting_events[event_capacity] = {};
int waiting_count = 0;

// A message box's own loop dispatches to the window as well, and the game
// hears of that only at its next poll; should ends of tunes pile up meanwhile,
// a close request still gets through.
void hear(plat_event event) {
  if (waiting_count < event_capacity)
    waiting_events[waiting_count++] = event;
  else if (event == plat_event::close_requested)
    waiting_events[event_capacity - 1] = event;
}

bool take_heard(plat_event* event) {
  if (waiting_count == 0)
    return false;
  *event = waiting_events[0];
  for (int i = 1; i < waiting_count; ++i)
    waiting_events[i - 1] = waiting_events[i];
  --waiting_count;
  return true;
}

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_CLOSE:
      // The game tears down and destroys the window itself; DefWindowProc
      // would destroy it at once.
      hear(plat_event::close_requested);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE)
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
      // V switches speech; bit 30 marks the keyboard's auto-repeat.
      if (wparam == 'V' && (lparam & (1L << 30)) == 0)
        hear(plat_event::speech_toggled);
      break;
    case MM_MCINOTIFY:
      // Only a play that ran to its end counts: stopping or replacing a tune
      // sends the codes for an aborted or superseded play, which must not
      // bring the old tune back.
      if (wparam == MCI_NOTIFY_SUCCESSFUL)
        hear(plat_event::tune_ended);
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace

std::wstring wide_from_sjis(const char* text, int length) {
  if (text == nullptr || length == 0) {
    return {};
  }
  const int count = MultiByteToWideChar(shift_jis_code_page, 0, text, length, nullptr, 0);
  if (count <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(shift_jis_code_page, 0, text, length, wide.data(), count);
  if (length < 0 && !wide.empty() && wide.back() == L'\0') {
    wide.pop_back();  // the converted terminator
  }
  return wide;
}

std::string sjis_from_wide(const wchar_t* text, int length, bool* lossless) {
  if (lossless != nullptr) {
    *lossless = true;
  }
  if (text == nullptr || length == 0) {
    return {};
  }
  BOOL used_default = FALSE;
  const int count = WideCharToMultiByte(shift_jis_code_page, 0, text, length, nullptr, 0, nullptr, &used_default);
  if (count <= 0) {
    if (lossless != nullptr) {
      *lossless = false;
    }
    return {};
  }
  std::string bytes(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(shift_jis_code_page, 0, text, length, bytes.data(), count, nullptr, &used_default);
  if (length < 0 && !bytes.empty() && bytes.back() == '\0') {
    bytes.pop_back();
  }
  if (lossless != nullptr) {
    *lossless = used_default == FALSE;
  }
  return bytes;
}

bool plat_open_window() {
  WNDCLASSA window_class = {};
  window_class.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  window_class.lpfnWndProc = window_procedure;
  window_class.cbClsExtra = 0;
  window_class.cbWndExtra = 0;
  window_class.hInstance = program_instance;
  window_class.hIcon = LoadIconA(program_instance, "MAIN");
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  window_class.lpszMenuName = "DEFAULT";
  window_class.lpszClassName = "DEFAULT";
  RegisterClassA(&window_class);  // a second registration fails harmlessly

  // The size is the desktop's, read before the display mode changes.
  main_window = CreateWindowExA(0, "DEFAULT", "DEFAULT", WS_POPUP | WS_SYSMENU, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, program_instance, nullptr);
  if (main_window == nullptr)
    return false;
  ShowWindow(main_window, program_show_command);
  UpdateWindow(main_window);
  return true;
}

void plat_close_window() {
  if (main_window == nullptr)
    return;
  CloseWindow(main_window);  // minimises it
  // Destroying posts the quit message; whatever the queue holds before it
  // goes through the procedure as it always did, and the process leaves with
  // an empty queue.
  DestroyWindow(main_window);
  main_window = nullptr;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && message.message != WM_QUIT) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  waiting_count = 0;
}

plat_event plat_poll_event() {
  plat_event event = plat_event::none;
  if (take_heard(&event))
    return event;
  MSG message;
  // A frame runs only once the queue is empty.
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Nothing but the teardown destroys the window; should the quit come
      // some other way, the game still leaves through its teardown.
      return plat_event::close_requested;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    if (take_heard(&event))
      return event;
  }
  return plat_event::none;
}

void plat_show_cursor(bool show) {
  ShowCursor(show ? TRUE : FALSE);
}

std::uint32_t plat_tick_count() {
  return GetTickCount();
}

bool plat_key_down(plat_key key) {
  int virtual_key = 0;
  switch (key) {
    case plat_key::enter:
      virtual_key = VK_RETURN;
      break;
    case plat_key::shift:
      virtual_key = VK_SHIFT;
      break;
    case plat_key::space:
      virtual_key = VK_SPACE;
      break;
    case plat_key::up:
      virtual_key = VK_UP;
      break;
    case plat_key::down:
      virtual_key = VK_DOWN;
      break;
  }
  return (GetKeyState(virtual_key) & 0x80) != 0;
}

void plat_message_box(const char* text, const char* caption, bool owned) {
  HWND owner = owned ? main_window : nullptr;
  const std::wstring wide_text = wide_from_sjis(text);
  if (caption == nullptr) {
    MessageBoxW(owner, wide_text.c_str(), nullptr, MB_OK);
    return;
  }
  const std::wstring wide_caption = wide_from_sjis(caption);
  MessageBoxW(owner, wide_text.c_str(), wide_caption.c_str(), MB_OK);
}

// The path comes back in Shift-JIS like every other text of the program, so
// that it can go into a tune command and be converted back on the way out.
// A path with characters Shift-JIS lacks falls back to its short (8.3) form.
std::uint32_t plat_program_file_name(char* buffer, std::uint32_t size) {
  if (buffer == nullptr || size == 0) {
    return 0;
  }
  std::vector<wchar_t> path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  bool lossless = true;
  std::string bytes = sjis_from_wide(path.data(), static_cast<int>(length), &lossless);
  if (!lossless) {
    std::vector<wchar_t> short_path(32768, L'\0');
    const DWORD short_length = GetShortPathNameW(path.data(), short_path.data(), static_cast<DWORD>(short_path.size()));
    if (short_length > 0 && short_length < short_path.size()) {
      bytes = sjis_from_wide(short_path.data(), static_cast<int>(short_length), nullptr);
    }
  }
  const std::size_t count = bytes.size() < size ? bytes.size() : size - 1;
  std::memcpy(buffer, bytes.data(), count);
  buffer[count] = '\0';
  return static_cast<std::uint32_t>(count);
}

std::FILE* plat_open_file_sjis(const char* name, const char* mode) {
  const std::wstring wide_name = wide_from_sjis(name);
  const std::wstring wide_mode = wide_from_sjis(mode);
  if (wide_name.empty() || wide_mode.empty()) {
    return nullptr;
  }
  return _wfopen(wide_name.c_str(), wide_mode.c_str());
}

}  // namespace shindan
