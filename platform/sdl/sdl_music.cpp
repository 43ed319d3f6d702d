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
//
// * FluidSynth ends a tune only once its last notes have died away, seconds
//   after the file's end of track, where the Windows sequencer ends it. The
//   end of track is therefore read from the file, and when that much music
//   has been mixed since the play began the tune is halted and told as ended;
//   an end the player reports sooner waits for that moment. The time is
//   counted in the mixer's own sample frames, not by the wall clock, so that
//   a device that falls behind (a busy machine, a stalled stream) still
//   plays the whole tune.
#include <SDL_mixer.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/common/midi_length.h"
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

// ---- the MIDI player: set up once, on the first tune

struct midi_state {
  bool checked = false;
  bool ready = false;
  int frames_a_second = 0;  // the mixer's rate
  int frame_bytes = 0;      // one sample of every channel
  std::uint32_t next_ticket = 0;
  Mix_Music* keep_warm = nullptr;
  std::uint32_t keep_warm_ticket = 0;
};
midi_state midi;

// ---- the tune, on the main thread

struct tune_state {
  bool open = false;
  std::uint32_t ticket = 0;  // which load belongs to this open
  bool loading = false;
  Mix_Music* music = nullptr;    // null while loading, or when there is nothing to play
  bool play_wanted = false;      // play asked for while the tune was loading
  bool in_mixer = false;         // handed to the mixer and neither halted nor ended
  std::uint32_t track_ms = 0;    // the file's end of track; 0: the player's own end counts
  std::uint64_t started_at = 0;  // the mixer's frame count when it was handed over
  bool ended_early = false;      // the player finished before the track's time had run
};
tune_state tune;

// ---- what the audio thread's hook and the main thread share

struct finish_state {
  // Bumped by every play and every halt: an end stamped with an older
  // number belongs to a play that is gone.
  std::atomic<std::uint32_t> play_generation{0};
  std::atomic<bool> halting{false};  // within Mix_HaltMusic, whose hook call is no end
  // Sample frames the mixer has produced: the audio's own clock.
  std::atomic<std::uint64_t> frames_mixed{0};
};
finish_state finish;

void count_mixed(void*, Uint8*, int bytes) {
  if (midi.frame_bytes > 0)
    finish.frames_mixed.fetch_add(static_cast<std::uint64_t>(bytes / midi.frame_bytes));
}

// Whether the playing tune has sounded for its whole track.
bool track_time_run() {
  const std::uint64_t frames = finish.frames_mixed.load() - tune.started_at;
  return frames * 1000 >= static_cast<std::uint64_t>(tune.track_ms) * static_cast<std::uint64_t>(midi.frames_a_second);
}

void on_music_finished() {
  // Read the stamp first: a halt that begins after this point changes the
  // generation, so the event it races with is recognised as stale.
  const std::uint32_t generation = finish.play_generation.load();
  if (finish.halting.load())
    return;
  SDL_Event event = {};
  event.type = tune_event_type;
  event.user.code = tune_event_ended;
  event.user.data1 = reinterpret_cast<void*>(static_cast<std::uintptr_t>(generation));
  SDL_PushEvent(&event);
}

// The end of track of a MIDI file, in milliseconds; 0 when it cannot be read.
std::uint32_t read_track_ms(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  // Far more than any tune: a larger file is timed by the player alone.
  constexpr std::size_t largest = 4 << 20;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(64 * 1024);
  char c = 0;
  while (bytes.size() <= largest && file.get(c))
    bytes.push_back(static_cast<std::uint8_t>(c));
  return bytes.size() > largest ? 0 : midi_end_ms(bytes.data(), bytes.size());
}

bool prepare_midi() {
  if (midi.checked)
    return midi.ready;
  midi.checked = true;
  Uint16 format = 0;
  int channels = 0;
  if (SDL_WasInit(SDL_INIT_AUDIO) == 0 || Mix_QuerySpec(&midi.frames_a_second, &format, &channels) == 0)
    return false;  // no sound device, no music
  midi.frame_bytes = static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8) * channels;
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
  Mix_SetPostMix(count_mixed, nullptr);
  midi.keep_warm_ticket = ++midi.next_ticket;
  loader_job job;
  job.ticket = midi.keep_warm_ticket;
  submit(std::move(job));
  midi.ready = true;
  return true;
}

void halt_mixer() {
  if (!tune.in_mixer)
    return;
  finish.halting.store(true);
  finish.play_generation.fetch_add(1);
  Mix_HaltMusic();
  finish.halting.store(false);
  tune.in_mixer = false;
}

void start_mixer() {
  halt_mixer();
  tune.ended_early = false;
  finish.play_generation.fetch_add(1);
  if (Mix_PlayMusic(tune.music, 0) == 0) {
    tune.in_mixer = true;
    tune.started_at = finish.frames_mixed.load();
  }
}

void take_finished_loads() {
  std::vector<loader_job> done;
  {
    std::lock_guard<std::mutex> hold(loader.lock);
    done.swap(loader.done);
  }
  for (loader_job& job : done) {
    if (job.ticket == midi.keep_warm_ticket) {
      midi.keep_warm = job.music;
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
  if (generation != finish.play_generation.load() || !tune.in_mixer)
    return false;  // a halted or replaced play
  tune.in_mixer = false;
  if (tune.track_ms != 0 && !track_time_run()) {
    tune.ended_early = true;  // told when the track's time has run
    return false;
  }
  return true;
}

bool take_tune_time() {
  if ((!tune.in_mixer && !tune.ended_early) || tune.track_ms == 0)
    return false;
  if (!track_time_run())
    return false;
  halt_mixer();
  tune.ended_early = false;
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
  tune.track_ms = read_track_ms(host);
  tune.ticket = ++midi.next_ticket;
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
  tune.ended_early = false;
  if (tune.loading)
    tune.play_wanted = true;
  else if (tune.music != nullptr)
    start_mixer();
}

bool plat_tune_stopped() {
  return !tune.play_wanted && !tune.in_mixer && !tune.ended_early;
}

void plat_stop_tune() {
  tune.play_wanted = false;
  tune.ended_early = false;
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
  if (midi.keep_warm != nullptr)
    Mix_FreeMusic(midi.keep_warm);
  Mix_HookMusicFinished(nullptr);
  Mix_SetPostMix(nullptr, nullptr);
  midi = midi_state{};
}

}  // namespace shindan
