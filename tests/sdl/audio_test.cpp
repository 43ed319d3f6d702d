// Tunes and effects of the desktop build on a real SDL2_mixer device (SDL's
// disk driver writing into a temporary folder, or whatever SDL_AUDIODRIVER
// names): a tune that plays to its end is reported once and can be played
// again, while a stop, a restart or a new tune is never taken for an end;
// effects restart on a channel of their own.
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sdl/sdl.h"
#include "tests/support/files.h"

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
    setenv("SDL_AUDIODRIVER", "disk", 0);
    setenv("SDL_DISKAUDIOFILE", (temp_folder / "audio.raw").c_str(), 1);
    ASSERT_TRUE(plat_open_window());
    ASSERT_EQ(plat_open_sound(), plat_sound_stage::ready);
  }
  void TearDown() override {
    plat_close_sound();
    plat_close_tune();
    plat_close_window();
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
// ticks a beat) and its end of track at end_ms (at the note's end when 0),
// in a folder whose name has a space.
std::string write_tune(const std::string& name, int note_ms, int end_ms = 0) {
  const auto ticks = static_cast<std::uint32_t>(note_ms * 96 / 500);
  const auto rest = static_cast<std::uint32_t>(end_ms > note_ms ? (end_ms - note_ms) * 96 / 500 : 0);
  std::string track;
  put_vlq(&track, 0);
  track += std::string("\x90\x3C\x64", 3);
  put_vlq(&track, ticks);
  track += std::string("\x80\x3C\x00", 3);
  put_vlq(&track, rest);
  track += std::string("\xFF\x2F\x00", 3);
  const auto n = static_cast<std::uint32_t>(track.size());
  std::string file = std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14) + "MTrk";
  file += {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
  file += track;
  const fs::path folder = temp_folder / "my tunes";
  fs::create_directories(folder);
  EXPECT_TRUE(testing_files::write_bytes((folder / name).string(), testing_files::bytes(file.begin(), file.end())));
  return (folder / name).string();
}

// Takes the window's events for up to ms milliseconds, or until stop says
// so; answers how many told of a tune's end.
template <typename Stop>
int pump(int ms, Stop stop) {
  int ended = 0;
  const Uint32 until = SDL_GetTicks() + static_cast<Uint32>(ms);
  while (SDL_GetTicks() < until && !stop(ended)) {
    for (plat_event e = plat_poll_event(); e != plat_event::none; e = plat_poll_event())
      ended += e == plat_event::tune_ended ? 1 : 0;
    SDL_Delay(5);
  }
  return ended;
}
int pump(int ms) {
  return pump(ms, [](int) { return false; });
}

bool have_soundfont() {
  const char* font = choose_soundfont();
  return font[0] != '\0' && access(font, R_OK) == 0;
}

// Loading a tune takes FluidSynth seconds; it sounds once the load is done.
void wait_until_sounding() {
  pump(30000, [](int) { return Mix_PlayingMusic() != 0; });
  ASSERT_NE(Mix_PlayingMusic(), 0) << "the tune never started";
}

TEST(tunes, an_end_is_told_once_and_the_tune_plays_again) {
  if (!have_soundfont())
    GTEST_SKIP() << "no General-MIDI soundfont";
  ASSERT_TRUE(plat_open_tune(write_tune("short.mid", 200).c_str()));
  plat_play_tune();
  EXPECT_FALSE(plat_tune_stopped()) << "a play asked for while loading counts as playing";
  // What the game does with each end: the tune stands still, so play it again.
  int ends = 0;
  pump(40000, [&](int ended) {
    for (; ends < ended; ++ends) {
      EXPECT_TRUE(plat_tune_stopped());
      plat_play_tune();
    }
    return ends >= 3;
  });
  EXPECT_EQ(ends, 3);
  EXPECT_FALSE(plat_tune_stopped());

  plat_stop_tune();
  EXPECT_TRUE(plat_tune_stopped());
  EXPECT_EQ(pump(2000), 0) << "a stop was taken for an end";
  EXPECT_EQ(Mix_PlayingMusic(), 0);
  plat_close_tune();
}

TEST(tunes, a_stop_a_restart_or_a_new_tune_is_no_end) {
  if (!have_soundfont())
    GTEST_SKIP() << "no General-MIDI soundfont";
  ASSERT_TRUE(plat_open_tune(write_tune("long.mid", 1500).c_str()));
  plat_play_tune();
  wait_until_sounding();
  // Played again while sounding: the first play is halted, not ended, and
  // the new one ends once, by itself.
  plat_play_tune();
  EXPECT_EQ(pump(6000), 1);
  EXPECT_TRUE(plat_tune_stopped());

  plat_play_tune();
  wait_until_sounding();
  plat_stop_tune();
  EXPECT_EQ(pump(3000), 0) << "a stopped tune was taken for one that ended";

  plat_play_tune();
  wait_until_sounding();
  ASSERT_TRUE(plat_open_tune(write_tune("second.mid", 3000).c_str()));
  plat_play_tune();
  wait_until_sounding();
  EXPECT_EQ(pump(2000), 0) << "the replaced tune's halt was reported as an end";
  plat_close_tune();
  EXPECT_TRUE(plat_tune_stopped());
  EXPECT_EQ(pump(1000), 0);
}

// Where each sound starts again after at least a tenth of a second of near
// silence, in seconds from the start of the samples (16-bit, interleaved).
// A sound already going at the start is not one.
std::vector<double> onsets(const std::vector<std::int16_t>& samples, int channels, int rate) {
  std::vector<double> found;
  const std::size_t quiet_needed = static_cast<std::size_t>(rate / 10);
  std::size_t quiet = 0;
  bool after_silence = false;
  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    int loudest = 0;
    for (int c = 0; c < channels; ++c)
      loudest = std::max(loudest, std::abs(static_cast<int>(samples[frame * channels + c])));
    quiet = loudest < 100 ? quiet + 1 : 0;
    after_silence = after_silence || quiet >= quiet_needed;
    if (loudest >= 1000 && after_silence) {
      found.push_back(static_cast<double>(frame) / rate);
      after_silence = false;
    }
  }
  return found;
}

// Listened to on the device: a short note and a long rest loop at the end
// of track, 1.5 s, as the Windows sequencer loops them; not when the note
// has died away, nor seconds later when the synthesiser lets go of it.
TEST(tunes, a_tune_loops_at_its_end_of_track) {
  if (!have_soundfont())
    GTEST_SKIP() << "no General-MIDI soundfont";
  const char* driver = SDL_GetCurrentAudioDriver();
  int rate = 0;
  Uint16 format = 0;
  int channels = 0;
  if (driver == nullptr || std::string(driver) != "disk" || Mix_QuerySpec(&rate, &format, &channels) == 0 ||
      format != AUDIO_S16SYS)
    GTEST_SKIP() << "the samples can be heard on SDL's disk driver with 16-bit samples only";
  ASSERT_TRUE(plat_open_tune(write_tune("rest.mid", 250, 1500).c_str()));
  plat_play_tune();
  wait_until_sounding();
  const fs::path heard = temp_folder / "audio.raw";
  const auto from = fs::file_size(heard);
  int ends = 0;
  pump(30000, [&](int ended) {
    for (; ends < ended; ++ends)
      plat_play_tune();
    return ends >= 4;
  });
  ASSERT_EQ(ends, 4);
  pump(500);
  plat_stop_tune();
  pump(200);

  const auto to = fs::file_size(heard);
  std::vector<std::int16_t> samples((to - from) / 2);
  std::FILE* f = std::fopen(heard.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, static_cast<long>(from), SEEK_SET);
  samples.resize(std::fread(samples.data(), 2, samples.size(), f));
  std::fclose(f);
  const std::vector<double> starts = onsets(samples, channels, rate);
  ASSERT_GE(starts.size(), 4u) << "the tune did not sound at every start";
  for (std::size_t i = 1; i < starts.size(); ++i) {
    const double loop = starts[i] - starts[i - 1];
    std::printf("loop %zu: %.3f s\n", i, loop);
    EXPECT_GT(loop, 1.35) << "loop " << i;
    EXPECT_LT(loop, 1.75) << "loop " << i;
  }
  plat_close_tune();
}

TEST(tunes, a_tune_closed_while_loading_never_sounds) {
  if (!have_soundfont())
    GTEST_SKIP() << "no General-MIDI soundfont";
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(plat_open_tune(write_tune("short.mid", 200).c_str()));
    plat_play_tune();
    plat_close_tune();
  }
  EXPECT_EQ(pump(3000), 0);
  EXPECT_EQ(Mix_PlayingMusic(), 0);
}

TEST(tunes, a_missing_file_opens_silent) {
  const std::string path = (temp_folder / "none.mid").string();
  ASSERT_TRUE(plat_open_tune(path.c_str()));
  plat_play_tune();
  EXPECT_TRUE(plat_tune_stopped());
  EXPECT_EQ(pump(500), 0);
  plat_close_tune();
  // A name that is no Shift-JIS, or longer than the Windows player takes,
  // cannot even be handed on.
  EXPECT_FALSE(plat_open_tune("/tmp/\x81"));
  EXPECT_TRUE(plat_open_tune(("/" + std::string(221, 'a')).c_str()));
  EXPECT_FALSE(plat_open_tune(("/" + std::string(222, 'a')).c_str()));
  plat_close_tune();
}

// ---- effects

struct pcm {
  std::uint16_t channels;
  std::uint32_t rate;
  std::uint16_t bits;
  std::uint16_t block_align = 0;  // 0: what the other fields give
};

// A WAV file holding seconds of a loud square wave.
std::string write_wave(const std::string& name, const pcm& f, double seconds) {
  const std::uint16_t align = f.block_align != 0 ? f.block_align : static_cast<std::uint16_t>(f.channels * f.bits / 8);
  testing_files::bytes format = testing_files::format_body(1, f.channels, f.rate, f.bits);
  format[12] = static_cast<std::uint8_t>(align);
  format[13] = static_cast<std::uint8_t>(align >> 8);
  testing_files::bytes data(static_cast<std::size_t>(seconds * f.rate) * align);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = ((i / 64) % 2) != 0 ? 0x60 : 0xA0;
  const std::string path = (temp_folder / name).string();
  using testing_files::chunk;
  EXPECT_TRUE(testing_files::write_bytes(path, testing_files::wave({chunk("fmt ", format), chunk("data", data)})));
  return path;
}

TEST(effects, each_effect_restarts_on_its_own_channel) {
  plat_sound* a = nullptr;
  plat_sound* b = nullptr;
  ASSERT_EQ(plat_load_sound(write_wave("a.wav", {1, 22050, 16}, 2.0).c_str(), &a), plat_wave_stage::ready);
  ASSERT_EQ(plat_load_sound(write_wave("b.wav", {2, 44100, 8}, 2.0).c_str(), &b), plat_wave_stage::ready);
  plat_play_sound(a);
  plat_play_sound(b);
  EXPECT_EQ(Mix_Playing(-1), 2);
  // Played again while sounding: cut off and restarted, never doubled.
  plat_play_sound(a);
  plat_play_sound(a);
  EXPECT_EQ(Mix_Playing(-1), 2);
  plat_release_sound(b);
  EXPECT_EQ(Mix_Playing(-1), 1);
  plat_close_sound();
  EXPECT_EQ(Mix_Playing(-1), 0) << "closing the sound silences every effect";
  plat_release_sound(a);
}

TEST(effects, every_pcm_layout_plays_and_the_others_make_no_sound) {
  for (const pcm& f : {pcm{1, 8000, 8}, pcm{2, 11025, 16}, pcm{1, 48000, 24}, pcm{2, 96000, 32}, pcm{6, 44100, 16}}) {
    plat_sound* s = nullptr;
    ASSERT_EQ(plat_load_sound(write_wave("layout.wav", f, 0.5).c_str(), &s), plat_wave_stage::ready)
        << f.channels << " channels, " << f.bits << " bits";
    plat_play_sound(s);
    EXPECT_EQ(Mix_Playing(-1), 1) << f.channels << " channels, " << f.bits << " bits";
    plat_release_sound(s);
    EXPECT_EQ(Mix_Playing(-1), 0);
  }
  for (const pcm& f : {pcm{2, 22050, 16, 3}, pcm{1, 22050, 12}, pcm{0, 22050, 16}, pcm{1, 0, 16}}) {
    plat_sound* s = nullptr;
    EXPECT_EQ(plat_load_sound(write_wave("odd.wav", f, 0.1).c_str(), &s), plat_wave_stage::no_buffer)
        << f.channels << " channels, " << f.rate << " Hz, " << f.bits << " bits";
    EXPECT_EQ(s, nullptr);
  }
  plat_sound* s = nullptr;
  EXPECT_EQ(plat_load_sound(write_wave("empty.wav", {1, 22050, 16}, 0.0).c_str(), &s), plat_wave_stage::no_buffer);
  // The shared reader's answers come through as they are.
  EXPECT_EQ(plat_load_sound((temp_folder / "none.wav").c_str(), &s), plat_wave_stage::cannot_open);
  EXPECT_EQ(s, nullptr);
}

}  // namespace
}  // namespace shindan
