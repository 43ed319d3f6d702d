// Pieces the Windows backend's files share: the windows.h set-up, the casts
// between the platform's opaque handles and the real Windows objects, and the
// Shift-JIS conversions.
//
// The program's texts and names are Shift-JIS bytes. Handing them to the ANSI
// functions would read them in the machine's own code page, which garbles them
// on every Windows that is not Japanese, so everything that shows or opens a
// text converts it from code page 932 explicitly and calls the wide function.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// clang-format off
// windows.h first, then the multimedia types DirectSound's header builds on.
#include <windows.h>
#include <mmsystem.h>
#include <ddraw.h>
#include <dsound.h>
// clang-format on

#include <string>

#include "platform/platform.h"

namespace shindan {

constexpr UINT shift_jis_code_page = 932;

// The instance and show command WinMain was given; the window takes them.
extern HINSTANCE program_instance;
extern int program_show_command;

inline HWND to_hwnd(plat_window* window) {
  return reinterpret_cast<HWND>(window);
}
inline plat_window* to_window(HWND hwnd) {
  return reinterpret_cast<plat_window*>(hwnd);
}

// Shift-JIS bytes (length < 0: up to the terminating zero) to UTF-16.
// Bytes that are not valid Shift-JIS become the replacement character.
std::wstring wide_from_sjis(const char* text, int length = -1);
// UTF-16 to Shift-JIS. lossless, when given, tells whether every character
// had a Shift-JIS form.
std::string sjis_from_wide(const wchar_t* text, int length = -1, bool* lossless = nullptr);

// The DirectDraw device enumeration callback: takes the first device with 3D
// hardware that can hold texture surfaces. context points at an IDirectDraw*.
BOOL WINAPI choose_display_device(GUID* guid, LPSTR description, LPSTR driver_name, LPVOID context);

}  // namespace shindan
