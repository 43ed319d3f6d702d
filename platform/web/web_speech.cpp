// Speech in the browser: the page's speech module keeps the screen's words
// in a live region for screen readers, whether speech is on or not, and
// says them with the browser's own voice while it is on (the page's switch,
// remembered across visits, or V). A page without that module stays silent.
#include <emscripten/emscripten.h>

#include "platform/web/web.h"

namespace shindan {

namespace {

// clang-format off
EM_JS(int, web_open_speech, (const char* language), {
  const speech = Module.host.speech;
  return speech && speech.open(UTF8ToString(language)) ? 1 : 0;
});
EM_JS(void, web_set_speech, (int on), {
  const speech = Module.host.speech;
  if (speech)
    speech.set(on !== 0);
});
EM_JS(void, web_speak, (const char* text, int cut_off), {
  const speech = Module.host.speech;
  if (speech)
    speech.say(UTF8ToString(text), cut_off !== 0);
});
EM_JS(void, web_close_speech, (), {
  const speech = Module.host.speech;
  if (speech)
    speech.close();
});
// clang-format on

}  // namespace

bool plat_open_speech(const char* language) {
  return web_open_speech(language != nullptr ? language : "") != 0;
}

void plat_close_speech() {
  web_close_speech();
}

void plat_set_speech(bool on) {
  web_set_speech(on ? 1 : 0);
}

void plat_speak(const char* text, bool cut_off) {
  if (text != nullptr)
    web_speak(text, cut_off ? 1 : 0);
}

}  // namespace shindan
