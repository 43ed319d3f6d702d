// The desktop sequencer and effects on a real SDL2_mixer device (SDL's disk
// driver, writing into a temporary folder): tunes loop through the window's
// notification, and a stop, a seek or a new tune is never taken for a tune
// that played to its end; effects restart on a channel of their own.
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/shell.h"
#include "platform/common/mci.h"
#include "platform/sdl/sdl.h"
#include "sound/sound.h"

namespace shindan {
namespace {

namespace fs = std::filesystem;

fs::path temp_folder;

// One window and one sound device for the whole program, as in the game.
class audio_environment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/shindan-sdl-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    temp_folder = pattern;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (temp_folder / "audio.raw").c_str(), 1);
    main_window = plat_create_window();
    ASSERT_NE(main_window, nullptr);
    sound_device = plat_create_sound_device();
    ASSERT_NE(sound_device, nullptr);
  }
  void TearDown() override {
    stop_music();
    shut_down_music();
    shut_down_sound();
    SDL_Quit();
    fs::remove_all(temp_folder);
  }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new audio_environment);

void put_vlq(std::string* out, std::uint32_t n) {
  std::string bytes(1, static_cast<char>(n & 0x7F));
  while ((n >>= 7) != 0)
    bytes.insert(bytes.begin(), static_cast<char>((n & 0x7F) | 0x80));
  *out += bytes;
}

// A MIDI file with one note of the given length (120 beats a minute, 96
// ticks a beat), in a folder whose name has a space.
std::string write_tune(const std::string& name, int note_ms) {
  const auto ticks = static_cast<std::uint32_t>(note_ms * 96 / 500);
  std::string track;
  put_vlq(&track, 0);
  track += std::string("\x90\x3C\x64", 3);
  put_vlq(&track, ticks);
  track += std::string("\x80\x3C\x00", 3);
  put_vlq(&track, 0);
  track += std::string("\xFF\x2F\x00", 3);
  std::string file = std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14) + "MTrk";
  const auto n = static_cast<std::uint32_t>(track.size());
  file += static_cast<char>(n >> 24);
  file += static_cast<char>(n >> 16);
  file += static_cast<char>(n >> 8);
  file += static_cast<char>(n);
  file += track;
  const fs::path folder = temp_folder / "my tunes";
  fs::create_directories(folder);
  const fs::path path = folder / name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  return path.string();
}

struct notifications {
  int successful = 0;
  int other = 0;
};

// Runs the message loop's half that handles messages for ms milliseconds,
// or until stop says so; counts the music notifications the window gets.
template <typename Stop>
void pump(notifications* seen, int ms, Stop stop) {
  const Uint32 until = SDL_GetTicks() + static_cast<Uint32>(ms);
  while (SDL_GetTicks() < until && !stop()) {
    plat_message m;
    while (plat_peek_message(&m)) {
      if (m.kind == plat_message_kind::music_notify)
        (m.param == mci_notify_successful ? seen->successful : seen->other)++;
      plat_dispatch_message(m);
    }
    SDL_Delay(5);
  }
}
void pump(notifications* seen, int ms) {
  pump(seen, ms, [] { return false; });
}

// What play_music sends, with a full path in place of the program's folder.
void start_tune(const std::string& path) {
  stop_music();
  const std::string open = "open \"" + path + "\" type sequencer alias midi";
  ASSERT_EQ(plat_send_music_command(open.c_str(), nullptr, 0, nullptr), 0u);
  plat_send_music_command("seek midi to start", nullptr, 0, nullptr);
  plat_send_music_command("play midi notify", nullptr, 0, main_window);
  music_playing = 1;
}

bool have_soundfont() {
  const char* font = choose_soundfont();
  return font[0] != '\0' && access(font, R_OK) == 0;
}

void wait_until_sounding(notifications* seen) {
  pump(seen, 30000, [] { return Mix_PlayingMusic() != 0; });
  ASSERT_NE(Mix_PlayingMusic(), 0) << "the tune never started";
}

TEST(music, a_tune_loops_until_it_is_stopped) {
  if (!have_soundfont())
    GTEST_SKIP() << "no General-MIDI soundfont";
  start_tune(write_tune("short.mid", 200));
  notifications seen;
  pump(&seen, 40000, [&] { return seen.successful >= 2; });
  EXPECT_GE(seen.successful, 2) << "each end restarts the tune, and each restart ends again";
  EXPECT_NE(Mix_PlayingMusic(), 0) << "restarted after its end";

  stop_music();
  notifications after;
  pump(&after, 4000);
  EXPECT_EQ(after.successful, 0);
  EXPECT_EQ(Mix_PlayingMusic(), 0);
}

TEST(music, stopping_or_rewinding_a_playing_tune_is_no_end) {
  if (!have_soundfont())
    GTEST_SKIP() << "no General-MIDI soundfont";
  start_tune(write_tune("long.mid", 1500));
  notifications seen;
  wait_until_sounding(&seen);
  // A rewind halts the mixer's play: that must not count as its end.
  plat_send_music_command("seek midi to start", nullptr, 0, nullptr);
  pump(&seen, 4500);
  EXPECT_EQ(seen.successful, 0);
  EXPECT_EQ(Mix_PlayingMusic(), 0);

  // Played again, it ends once, by itself.
  plat_send_music_command("play midi notify", nullptr, 0, main_window);
  wait_until_sounding(&seen);
  stop_music();
  pump(&seen, 4500);
  EXPECT_EQ(seen.successful, 0) << "a stopped tune was taken for one that ended";
}

TEST(music, a_new_tune_silences_the_old_one_without_an_end) {
  if (!have_soundfont())
    GTEST_SKIP() << "no General-MIDI soundfont";
  start_tune(write_tune("first.mid", 1500));
  notifications seen;
  wait_until_sounding(&seen);
  start_tune(write_tune("second.mid", 3000));
  wait_until_sounding(&seen);
  pump(&seen, 2000);
  EXPECT_EQ(seen.successful, 0) << "the replaced tune's halt was reported as an end";
  stop_music();
}

TEST(music, a_missing_tune_is_refused_and_plays_nothing) {
  const std::string open = "open \"" + (temp_folder / "none.mid").string() + "\" type sequencer alias midi";
  EXPECT_EQ(plat_send_music_command(open.c_str(), nullptr, 0, nullptr), mci_error_file_not_found);
  EXPECT_FALSE(sequencer_playing());
}

// ---- effects

plat_wave_format pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  plat_wave_format f;
  f.format_tag = 1;
  f.channels = channels;
  f.samples_per_second = rate;
  f.bits_per_sample = bits;
  f.block_align = static_cast<std::uint16_t>(channels * bits / 8);
  f.average_bytes_per_second = rate * f.block_align;
  return f;
}

// A buffer filled with a loud square wave, as load_sound fills one.
plat_sound_buffer* filled_buffer(const plat_wave_format& f, double seconds) {
  const auto bytes = static_cast<std::uint32_t>(seconds * f.samples_per_second) * f.block_align;
  plat_sound_buffer* b = plat_create_sound_buffer(sound_device, f, bytes);
  if (b == nullptr)
    return nullptr;
  void* first = nullptr;
  void* second = nullptr;
  std::uint32_t first_bytes = 0;
  std::uint32_t second_bytes = 0;
  EXPECT_EQ(plat_lock_sound_buffer(b, 0, bytes, &first, &first_bytes, &second, &second_bytes), plat_ok);
  EXPECT_EQ(first_bytes, bytes);
  EXPECT_EQ(second, nullptr);
  auto* p = static_cast<std::uint8_t*>(first);
  for (std::uint32_t i = 0; i < bytes; ++i)
    p[i] = ((i / 64) % 2) != 0 ? 0x60 : 0xA0;
  plat_unlock_sound_buffer(b, first, first_bytes, second, second_bytes);
  return b;
}

TEST(effects, each_effect_restarts_on_its_own_channel) {
  plat_sound_buffer* a = filled_buffer(pcm(1, 22050, 16), 2.0);
  plat_sound_buffer* b = filled_buffer(pcm(2, 44100, 8), 2.0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  plat_play_sound(a);
  plat_play_sound(b);
  EXPECT_EQ(Mix_Playing(-1), 2);
  // Played again while sounding: cut off and restarted, never doubled.
  plat_set_sound_position(a, 0);
  plat_play_sound(a);
  plat_play_sound(a);
  EXPECT_EQ(Mix_Playing(-1), 2);
  plat_stop_sound(a);
  EXPECT_EQ(Mix_Playing(-1), 1);
  plat_release_sound_buffer(b);
  EXPECT_EQ(Mix_Playing(-1), 0);
  plat_release_sound_buffer(a);
  // A released buffer is forgotten: later calls on it do nothing.
  plat_play_sound(a);
  EXPECT_EQ(Mix_Playing(-1), 0);
}

TEST(effects, every_pcm_layout_plays_and_malformed_ones_are_refused) {
  for (const plat_wave_format& f :
       {pcm(1, 8000, 8), pcm(2, 11025, 16), pcm(1, 48000, 24), pcm(2, 96000, 32), pcm(6, 44100, 16)}) {
    plat_sound_buffer* b = filled_buffer(f, 0.5);
    ASSERT_NE(b, nullptr) << f.channels << " channels, " << f.bits_per_sample << " bits";
    plat_play_sound(b);
    EXPECT_EQ(Mix_Playing(-1), 1) << f.channels << " channels, " << f.bits_per_sample << " bits";
    plat_release_sound_buffer(b);
  }

  plat_wave_format bad_align = pcm(2, 22050, 16);
  bad_align.block_align = 3;
  plat_wave_format odd_bits = pcm(1, 22050, 12);
  plat_wave_format no_channels = pcm(0, 22050, 16);
  plat_wave_format no_rate = pcm(1, 0, 16);
  plat_wave_format compressed = pcm(1, 22050, 16);
  compressed.format_tag = 2;
  for (const plat_wave_format& f : {bad_align, odd_bits, no_channels, no_rate, compressed})
    EXPECT_EQ(plat_create_sound_buffer(sound_device, f, 4096), nullptr);
  EXPECT_EQ(plat_create_sound_buffer(sound_device, pcm(1, 22050, 16), 0), nullptr);
  EXPECT_EQ(plat_create_sound_buffer(nullptr, pcm(1, 22050, 16), 4096), nullptr);
}

TEST(effects, locks_stay_inside_the_buffer) {
  plat_sound_buffer* b = plat_create_sound_buffer(sound_device, pcm(1, 22050, 16), 1000);
  ASSERT_NE(b, nullptr);
  void* first = nullptr;
  void* second = nullptr;
  std::uint32_t first_bytes = 0;
  std::uint32_t second_bytes = 0;
  // A range past the end wraps round to the start.
  ASSERT_EQ(plat_lock_sound_buffer(b, 900, 300, &first, &first_bytes, &second, &second_bytes), plat_ok);
  EXPECT_EQ(first_bytes, 100u);
  EXPECT_EQ(second_bytes, 200u);
  EXPECT_EQ(static_cast<std::uint8_t*>(first) - static_cast<std::uint8_t*>(second), 900);
  EXPECT_NE(plat_lock_sound_buffer(b, 1000, 10, &first, &first_bytes, &second, &second_bytes), plat_ok);
  EXPECT_NE(plat_lock_sound_buffer(b, 0, 1001, &first, &first_bytes, &second, &second_bytes), plat_ok);
  EXPECT_NE(plat_lock_sound_buffer(b, 900, 300, &first, &first_bytes, nullptr, nullptr), plat_ok);
  plat_release_sound_buffer(b);
}

}  // namespace
}  // namespace shindan
