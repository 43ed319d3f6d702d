// Speech on Windows: a SAPI 5 voice (ISpVoice), speaking asynchronously so
// a frame never waits for it, and purging what it still has to say when new
// words make it stale. COM and the voice are made only once speech is first
// switched on, through ole32 loaded then: a player who never asks for speech
// runs the program exactly as before. Where no voice is installed (Wine, a
// stripped Windows) the calls fail and the game goes on silently.
#include <initguid.h>
// clang-format off
#include "platform/win32/win32.h"
#include <sapi.h>
// clang-format on

#include <string>

namespace shindan {

namespace {

using co_initialize_ex_function = HRESULT(WINAPI*)(LPVOID, DWORD);
using co_create_instance_function = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
using co_uninitialize_function = void(WINAPI*)();

struct windows_speech {
  bool on = false;
  bool tried = false;        // the voice was asked for, with whatever result
  std::wstring language_id;  // SAPI's hexadecimal language number
  HMODULE ole32 = nullptr;
  bool com_started = false;
  ISpVoice* voice = nullptr;
};
windows_speech speech;

// A function of ole32 by name; void (*)() stands between GetProcAddress's
// type and the real one, as the compiler's check of function casts wants.
template <typename function>
function ole32_function(const char* name) {
  return reinterpret_cast<function>(reinterpret_cast<void (*)()>(GetProcAddress(speech.ole32, name)));
}

bool start_voice() {
  if (speech.tried)
    return speech.voice != nullptr;
  speech.tried = true;
  speech.ole32 = LoadLibraryW(L"ole32.dll");
  if (speech.ole32 == nullptr)
    return false;
  const auto initialize = ole32_function<co_initialize_ex_function>("CoInitializeEx");
  const auto create = ole32_function<co_create_instance_function>("CoCreateInstance");
  if (initialize == nullptr || create == nullptr)
    return false;
  // S_FALSE (already initialised) must be balanced as well.
  speech.com_started = SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED));
  void* made = nullptr;
  if (FAILED(create(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice, &made)) || made == nullptr)
    return false;
  speech.voice = static_cast<ISpVoice*>(made);
  return true;
}

// The words as SAPI's markup: the language tag makes SAPI take a voice of
// the pack's language, and the text itself is escaped so it stays text.
std::wstring marked_up(const char* text) {
  std::wstring wide;
  const int count = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (count > 1) {
    wide.assign(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), count);
    wide.pop_back();
  }
  std::wstring out = L"<lang langid=\"" + speech.language_id + L"\">";
  for (const wchar_t c : wide) {
    if (c == L'&')
      out += L"&amp;";
    else if (c == L'<')
      out += L"&lt;";
    else if (c == L'>')
      out += L"&gt;";
    else
      out += c;
  }
  return out + L"</lang>";
}

}  // namespace

// Speech always starts off here: the program makes no Windows call for it
// until the player presses V, so a game played without speech asks Windows
// for exactly what it always has.
bool plat_open_speech(const char* language) {
  const std::string code = language != nullptr ? language : "";
  speech.language_id = code == "ja" ? L"411" : L"409";
  return false;
}

void plat_set_speech(bool on) {
  speech.on = on;
}

void plat_speak(const char* text, bool cut_off) {
  if (!speech.on || text == nullptr || !start_voice())
    return;
  if (text[0] == '\0') {
    if (cut_off)
      speech.voice->Speak(nullptr, SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr);
    return;
  }
  const std::wstring words = marked_up(text);
  DWORD flags = SPF_ASYNC | SPF_IS_XML;
  if (cut_off)
    flags |= SPF_PURGEBEFORESPEAK;
  speech.voice->Speak(words.c_str(), flags, nullptr);
}

void plat_close_speech() {
  if (speech.voice != nullptr) {
    speech.voice->Speak(nullptr, SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr);
    speech.voice->Release();
    speech.voice = nullptr;
  }
  if (speech.com_started && speech.ole32 != nullptr) {
    const auto uninitialize = ole32_function<co_uninitialize_function>("CoUninitialize");
    if (uninitialize != nullptr)
      uninitialize();
  }
  speech.com_started = false;
  speech.on = false;
}

}  // namespace shindan
