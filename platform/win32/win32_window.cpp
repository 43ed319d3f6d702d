// The entry function, the window and its procedure, the message queue and the
// small services of the window system: clock, keys, cursor, message boxes,
// the program's own path and files with Shift-JIS names.
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/shell.h"
#include "platform/win32/win32.h"
#include "sound/sound.h"

namespace shindan {

HINSTANCE program_instance = nullptr;
int program_show_command = SW_SHOWNORMAL;

const char plat_path_separator = '\\';

namespace {

// The message plat_peek_message took last; plat_dispatch_message hands this
// very message on, so TranslateMessage sees the real key message.
MSG taken_message = {};

LRESULT CALLBACK window_procedure_win32(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  plat_window* window = to_window(hwnd);
  switch (message) {
    case WM_CREATE:
      on_window_create(window);
      break;
    case WM_DESTROY:
      on_window_destroy(window);
      break;
    case WM_CLOSE:
      // The teardown destroys the window itself; DefWindowProc would do it a
      // second time.
      on_window_close(window);
      return 0;
    case WM_KEYDOWN:
      on_key_down(window, static_cast<std::uint32_t>(wparam));
      break;
    case MM_MCINOTIFY:
      on_music_notify(window, static_cast<std::uint32_t>(wparam));
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

plat_window* plat_create_window() {
  WNDCLASSA window_class = {};
  window_class.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  window_class.lpfnWndProc = window_procedure_win32;
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
  HWND hwnd = CreateWindowExA(0, "DEFAULT", "DEFAULT", WS_POPUP | WS_SYSMENU, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                              GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, program_instance, nullptr);
  return to_window(hwnd);
}

void plat_show_window(plat_window* window) {
  ShowWindow(to_hwnd(window), program_show_command);
  UpdateWindow(to_hwnd(window));
}

void plat_minimise_window(plat_window* window) {
  CloseWindow(to_hwnd(window));
}

void plat_destroy_window(plat_window* window) {
  DestroyWindow(to_hwnd(window));
}

bool plat_peek_message(plat_message* message) {
  if (!PeekMessageA(&taken_message, nullptr, 0, 0, PM_REMOVE)) {
    return false;
  }
  message->window = to_window(taken_message.hwnd);
  message->param = static_cast<std::uint32_t>(taken_message.wParam);
  switch (taken_message.message) {
    case WM_QUIT:
      message->kind = plat_message_kind::quit;
      break;
    case WM_KEYDOWN:
      message->kind = plat_message_kind::key_down;
      break;
    case WM_CLOSE:
      message->kind = plat_message_kind::close;
      break;
    case MM_MCINOTIFY:
      message->kind = plat_message_kind::music_notify;
      break;
    default:
      message->kind = plat_message_kind::other;
      break;
  }
  return true;
}

void plat_dispatch_message(const plat_message&) {
  TranslateMessage(&taken_message);
  DispatchMessageA(&taken_message);
}

void plat_post_close(plat_window* window) {
  PostMessageA(to_hwnd(window), WM_CLOSE, 0, 0);
}

void plat_post_quit() {
  PostQuitMessage(0);
}

void plat_show_cursor(bool show) {
  ShowCursor(show ? TRUE : FALSE);
}

std::uint32_t plat_tick_count() {
  return GetTickCount();
}

std::int16_t plat_key_state(int virtual_key) {
  return GetKeyState(virtual_key);
}

void plat_message_box(plat_window* owner, const char* text, const char* caption) {
  const std::wstring wide_text = wide_from_sjis(text);
  if (caption == nullptr) {
    MessageBoxW(to_hwnd(owner), wide_text.c_str(), nullptr, MB_OK);
    return;
  }
  const std::wstring wide_caption = wide_from_sjis(caption);
  MessageBoxW(to_hwnd(owner), wide_text.c_str(), wide_caption.c_str(), MB_OK);
}

// The path comes back in Shift-JIS like every other text of the program, so
// that it can go into an MCI command and be converted back on the way out.
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

// The command line is not read: the program has no options.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  shindan::program_instance = instance;
  shindan::program_show_command = show_command;
  return shindan::run_program() == shindan::start_result::quit ? 1 : 0;
}
