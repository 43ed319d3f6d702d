// Pieces the Windows backend's files share: the windows.h set-up, the window
// and instance every part of the backend works with, the translation of the
// system's result codes into the game's, and the Shift-JIS conversions.
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
// The program's one window: owner of message boxes, target of the display's
// and the sound device's cooperation and of the tune's end notification.
extern HWND main_window;

// A lost surface is the one failure the game treats apart; every other
// failure code is simply a failure.
inline plat_result to_result(HRESULT result) {
  if (SUCCEEDED(result))
    return plat_result::ok;
  return result == DDERR_SURFACELOST ? plat_result::lost : plat_result::failed;
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
