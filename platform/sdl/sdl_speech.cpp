// Speech on the desktop: speech-dispatcher through libspeechd, which finds
// the server as SPEECHD_ADDRESS says (else the user's usual socket) and
// starts one when none runs. The conversation with the server happens on a
// thread of its own, so a slow or silent server never holds a frame up; the
// frame only hands over the newest words.
//
// Speech starts on with SHINDAN_SPEECH=1, or when the desktop says a screen
// reader runs (AT-SPI's ScreenReaderEnabled on the session bus);
// SHINDAN_SPEECH=0 keeps it off whatever the desktop says.
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/platform.h"

#if SHINDAN_WITH_SPEECHD
#include <libspeechd.h>
#endif
#if SHINDAN_WITH_ATSPI
#include <gio/gio.h>
#endif

namespace shindan {

namespace {

struct spoken_words {
  std::string text;
  bool cut_off = false;
};

// Shared between the frame and the speech thread, under the lock. Each
// opening has its own: a thread left behind by a closing that could not
// wait for it keeps the one it had, and a later opening starts afresh.
struct speech_channel {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<spoken_words> waiting;
  std::string language;
  bool on = false;
  bool quit = false;
  bool running = false;   // the thread was started
  bool finished = false;  // and has ended
  std::thread worker;
};
std::shared_ptr<speech_channel> channel;

speech_channel& current() {
  if (!channel)
    channel = std::make_shared<speech_channel>();
  return *channel;
}

#if SHINDAN_WITH_ATSPI
// Asks the accessibility bus whether a screen reader runs. Only a session
// bus that is already there is asked: GIO would otherwise try to launch one.
bool screen_reader_running() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  const bool bus_socket = runtime != nullptr && stat((std::string(runtime) + "/bus").c_str(), &info) == 0;
  if ((address == nullptr || address[0] == '\0') && !bus_socket)
    return false;
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (bus == nullptr) {
    g_clear_error(&error);
    return false;
  }
  GVariant* reply =
      g_dbus_connection_call_sync(bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Get",
                                  g_variant_new("(ss)", "org.a11y.Status", "ScreenReaderEnabled"),
                                  G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 300, nullptr, &error);
  bool enabled = false;
  if (reply != nullptr) {
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    if (value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
      enabled = g_variant_get_boolean(value) != FALSE;
    if (value != nullptr)
      g_variant_unref(value);
    g_variant_unref(reply);
  }
  g_clear_error(&error);
  g_object_unref(bus);
  return enabled;
}
#else
bool screen_reader_running() {
  return false;
}
#endif

#if SHINDAN_WITH_SPEECHD
// The library's reason, which runs over several lines when it also tried to
// start a server, as the one line the game says about it.
std::string one_line(const char* reason) {
  std::string line;
  for (const char* c = reason; *c != '\0'; ++c) {
    const bool space = *c == '\n' || *c == '\r' || *c == '\t' || *c == ' ';
    if (!space)
      line += *c;
    else if (!line.empty() && line.back() != ' ')
      line += ' ';
  }
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
  return line;
}

void talk_to_server(std::shared_ptr<speech_channel> own) {
  speech_channel& speech = *own;
  SPDConnection* server = nullptr;
  bool given_up = false;
  std::unique_lock<std::mutex> held(speech.lock);
  for (;;) {
    speech.wake.wait(held, [&] { return speech.quit || !speech.waiting.empty(); });
    if (speech.quit)
      break;
    if (server == nullptr && !given_up) {
      const std::string language = speech.language;
      held.unlock();
      char* error = nullptr;
      SPDConnection* opened = spd_open2("shindan", "main", nullptr, SPD_MODE_SINGLE, nullptr, 1, &error);
      if (opened == nullptr) {
        std::fprintf(stderr, "shindan: no speech server (%s); the game plays silently\n",
                     one_line(error != nullptr ? error : "speech-dispatcher did not answer").c_str());
      } else if (!language.empty()) {
        spd_set_language(opened, language.c_str());
      }
      std::free(error);
      held.lock();
      server = opened;
      given_up = opened == nullptr;
      continue;  // the words may have changed meanwhile
    }
    const spoken_words next = speech.waiting.front();
    speech.waiting.pop_front();
    if (server == nullptr)
      continue;  // no server: the words go nowhere
    held.unlock();
    if (next.cut_off)
      spd_cancel(server);
    if (!next.text.empty())
      spd_say(server, SPD_MESSAGE, next.text.c_str());
    held.lock();
  }
  held.unlock();
  if (server != nullptr) {
    spd_cancel(server);
    spd_close(server);
  }
  held.lock();
  speech.finished = true;
  speech.wake.notify_all();
}
#else
void talk_to_server(std::shared_ptr<speech_channel> own) {
  speech_channel& speech = *own;
  std::fprintf(stderr, "shindan: this build cannot speak (built without speech-dispatcher)\n");
  std::unique_lock<std::mutex> held(speech.lock);
  speech.wake.wait(held, [&] { return speech.quit; });
  speech.finished = true;
  speech.wake.notify_all();
}
#endif

}  // namespace

bool plat_open_speech(const char* language) {
  {
    speech_channel& speech = current();
    std::lock_guard<std::mutex> held(speech.lock);
    speech.language = language != nullptr ? language : "";
  }
  const char* setting = std::getenv("SHINDAN_SPEECH");
  if (setting != nullptr && setting[0] != '\0')
    return std::strcmp(setting, "0") != 0;
  return screen_reader_running();
}

void plat_set_speech(bool on) {
  speech_channel& speech = current();
  std::lock_guard<std::mutex> held(speech.lock);
  speech.on = on;
  // The server is looked for only once speech is first wanted: a player who
  // never asks for it starts no speech server.
  if (on && !speech.running && !speech.quit) {
    speech.running = true;
    speech.worker = std::thread(talk_to_server, channel);
  }
}

void plat_speak(const char* text, bool cut_off) {
  if (!channel)
    return;
  speech_channel& speech = *channel;
  std::lock_guard<std::mutex> held(speech.lock);
  if (!speech.on || !speech.running || text == nullptr)
    return;
  // Words that are cut off need never be sent at all.
  if (cut_off)
    speech.waiting.clear();
  speech.waiting.push_back({text, cut_off});
  speech.wake.notify_all();
}

void plat_close_speech() {
  if (!channel)
    return;
  const std::shared_ptr<speech_channel> closing = std::move(channel);
  speech_channel& speech = *closing;
  std::unique_lock<std::mutex> held(speech.lock);
  speech.quit = true;
  speech.waiting.clear();
  speech.wake.notify_all();
  if (!speech.running)
    return;
  // A server that stopped answering must not hold the game's exit up: after
  // a moment the thread is left to end on its own.
  const bool ended = speech.wake.wait_for(held, std::chrono::milliseconds(500), [&] { return speech.finished; });
  held.unlock();
  if (ended)
    speech.worker.join();
  else
    speech.worker.detach();
}

}  // namespace shindan
