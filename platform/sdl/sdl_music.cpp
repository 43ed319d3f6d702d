// Tunes on SDL2_mixer's MIDI player (FluidSynth with a General-MIDI
// soundfont).
//
// Two things shape it:
//
// * The end of a tune is told by Mix_HookMusicFinished, which runs on the
//   audio thread, and which SDL2_mixer also calls from inside
//   Mix_HaltMusic. The hook only stamps the play it belongs to and pushes an
//   event; the main loop accepts it as the tune's end only when that play is
//   still the current one and has not been halted. So a stop, a restart or a
//   new tune is never reported as a tune that played to its end.
//
// * FluidSynth reads the whole soundfont for every tune it opens, which takes
//   seconds. Tunes are therefore loaded by a worker thread while the frames
//   go on; a play asked for meanwhile starts when the load is done. A tiny
//   tune made in memory is kept open for the whole run, so that the
//   soundfont's samples stay cached and later loads are quicker.
#include <SDL_mixer.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/common/sjis.h"
#include "platform/common/wave.h"
#include "platform/sdl/sdl.h"

namespace shindan {

namespace {

// A type 0 file whose one track ends at once.
constexpr unsigned char empty_tune[] = {'M', 'T', 'h', 'd', 0,   0, 0, 6, 0, 0, 0,    1,    0,
                                        96,  'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0};

// ---- the loader: one worker thread, jobs in order

struct loader_job {
  bool free_only = false;
  std::uint32_t ticket = 0;
  std::string path;  // empty: the in-memory tune
  Mix_Music* music = nullptr;
};

struct loader_state {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<loader_job> jobs;
  std::vector<loader_job> done;  // loads finished, for the main thread
  bool quit = false;
  std::thread worker;
  bool running = false;
};
loader_state loader;

void loader_main() {
  for (;;) {
    loader_job job;
    {
      std::unique_lock<std::mutex> hold(loader.lock);
      loader.wake.wait(hold, [] { return loader.quit || !loader.jobs.empty(); });
      if (loader.jobs.empty()) {
        // Quit, with nothing left to do. SDL keeps its error text per
        // thread and frees it by itself only for threads it started.
        hold.unlock();
        SDL_TLSCleanup();
        return;
      }
      job = std::move(loader.jobs.front());
      loader.jobs.pop_front();
    }
    if (job.free_only) {
      Mix_FreeMusic(job.music);
      continue;
    }
    if (job.path.empty())
      job.music = Mix_LoadMUS_RW(SDL_RWFromConstMem(empty_tune, sizeof empty_tune), 1);
    else
      job.music = Mix_LoadMUS(job.path.c_str());
    {
      std::lock_guard<std::mutex> hold(loader.lock);
      loader.done.push_back(std::move(job));
    }
    SDL_Event event = {};
    event.type = tune_event_type;
    event.user.code = tune_event_loaded;
    SDL_PushEvent(&event);
  }
}

void submit(loader_job job) {
  if (!loader.running) {
    loader.quit = false;
    loader.worker = std::thread(loader_main);
    loader.running = true;
  }
  {
    std::lock_guard<std::mutex> hold(loader.lock);
    loader.jobs.push_back(std::move(job));
  }
  loader.wake.notify_one();
}

void free_later(Mix_Music* music) {
  if (music == nullptr)
    return;
  loader_job job;
  job.free_only = true;
  job.music = music;
  submit(std::move(job));
}

// ---- the tune, on the main thread

struct tune_state {
  bool open = false;
  std::uint32_t ticket = 0;  // which load belongs to this open
  bool loading = false;
  Mix_Music* music = nullptr;  // null while loading, or when there is nothing to play
  bool play_wanted = false;    // play asked for while the tune was loading
  bool in_mixer = false;       // handed to the mixer and neither halted nor ended
};
tune_state tune;
std::uint32_t next_ticket = 0;
bool midi_ready = false;
bool midi_checked = false;
Mix_Music* keep_warm = nullptr;
std::uint32_t keep_warm_ticket = 0;

// Shared with the audio thread.
std::atomic<std::uint32_t> play_generation{0};
std::atomic<bool> halting{false};

void on_music_finished() {
  // Read the stamp first: a halt that begins after this point changes the
  // generation, so the event it races with is recognised as stale.
  const std::uint32_t generation = play_generation.load();
  if (halting.load())
    return;
  SDL_Event event = {};
  event.type = tune_event_type;
  event.user.code = tune_event_ended;
  event.user.data1 = reinterpret_cast<void*>(static_cast<std::uintptr_t>(generation));
  SDL_PushEvent(&event);
}

bool prepare_midi() {
  if (midi_checked)
    return midi_ready;
  midi_checked = true;
  if (SDL_WasInit(SDL_INIT_AUDIO) == 0 || Mix_QuerySpec(nullptr, nullptr, nullptr) == 0)
    return false;  // no sound device, no music
  const char* font = choose_soundfont();
  if (font[0] == '\0') {
    std::fprintf(stderr, "shindan: no General-MIDI soundfont found; the game runs without music\n");
    return false;
  }
  Mix_SetSoundFonts(font);
  if ((Mix_Init(MIX_INIT_MID) & MIX_INIT_MID) == 0) {
    std::fprintf(stderr, "shindan: no MIDI support: %s\n", Mix_GetError());
    return false;
  }
  Mix_HookMusicFinished(on_music_finished);
  keep_warm_ticket = ++next_ticket;
  loader_job job;
  job.ticket = keep_warm_ticket;
  submit(std::move(job));
  midi_ready = true;
  return true;
}

void halt_mixer() {
  if (!tune.in_mixer)
    return;
  halting.store(true);
  play_generation.fetch_add(1);
  Mix_HaltMusic();
  halting.store(false);
  tune.in_mixer = false;
}

void start_mixer() {
  halt_mixer();
  play_generation.fetch_add(1);
  if (Mix_PlayMusic(tune.music, 0) == 0)
    tune.in_mixer = true;
}

void take_finished_loads() {
  std::vector<loader_job> done;
  {
    std::lock_guard<std::mutex> hold(loader.lock);
    done.swap(loader.done);
  }
  for (loader_job& job : done) {
    if (job.ticket == keep_warm_ticket) {
      keep_warm = job.music;
    } else if (tune.open && tune.loading && job.ticket == tune.ticket) {
      tune.loading = false;
      tune.music = job.music;
      if (tune.music == nullptr)
        std::fprintf(stderr, "shindan: cannot play %s: %s\n", job.path.c_str(), Mix_GetError());
      if (tune.music != nullptr && tune.play_wanted) {
        tune.play_wanted = false;
        start_mixer();
      }
    } else {
      free_later(job.music);  // closed before it was ready
    }
  }
}

}  // namespace

const char* choose_soundfont() {
  static std::string chosen;
  const char* env = std::getenv("SDL_SOUNDFONTS");
  if (env != nullptr && env[0] != '\0') {
    chosen = env;
    return chosen.c_str();
  }
  for (const char* path : {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2"}) {
    if (access(path, R_OK) == 0) {
      chosen = path;
      return chosen.c_str();
    }
  }
  chosen.clear();
  return "";
}

bool take_tune_event(const SDL_Event& event) {
  if (event.user.code == tune_event_loaded) {
    take_finished_loads();
    return false;
  }
  if (event.user.code != tune_event_ended)
    return false;
  const auto generation = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(event.user.data1));
  if (generation != play_generation.load() || !tune.in_mixer)
    return false;  // a halted or replaced play
  tune.in_mixer = false;
  return true;
}

bool plat_open_tune(const char* path) {
  std::string host;
  if (!tune_path_fits(path) || !sjis_path(path, &host))
    return false;
  plat_close_tune();
  tune.open = true;
  // A file that cannot be read, or no way to play MIDI at all, leaves the
  // tune open and silent.
  if (access(host.c_str(), R_OK) != 0 || !prepare_midi())
    return true;
  tune.ticket = ++next_ticket;
  tune.loading = true;
  loader_job job;
  job.ticket = tune.ticket;
  job.path = host;
  submit(std::move(job));
  return true;
}

void plat_play_tune() {
  if (!tune.open)
    return;
  halt_mixer();  // from the start, even when it was playing
  tune.play_wanted = false;
  if (tune.loading)
    tune.play_wanted = true;
  else if (tune.music != nullptr)
    start_mixer();
}

bool plat_tune_stopped() {
  return !tune.play_wanted && !tune.in_mixer;
}

void plat_stop_tune() {
  tune.play_wanted = false;
  halt_mixer();
}

void plat_close_tune() {
  halt_mixer();
  free_later(tune.music);
  tune = tune_state{};  // a load still running is freed when it arrives
}

void shut_down_music() {
  plat_close_tune();
  if (loader.running) {
    {
      std::lock_guard<std::mutex> hold(loader.lock);
      loader.quit = true;
    }
    loader.wake.notify_one();
    loader.worker.join();
    loader.running = false;
  }
  // Loads that finished after the last look, and the warm-up tune.
  for (loader_job& job : loader.done)
    if (job.music != nullptr)
      Mix_FreeMusic(job.music);
  loader.done.clear();
  if (keep_warm != nullptr)
    Mix_FreeMusic(keep_warm);
  keep_warm = nullptr;
  Mix_HookMusicFinished(nullptr);
  midi_checked = midi_ready = false;
}

}  // namespace shindan
