// Loading WAV files into sounds: the chunk rules, the message each refused
// file gives and the kind of box it comes in, and playing and releasing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "allocation_probe.h"
#include "app/shell.h"
#include "messages.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

using headless::sound_action;
using namespace testing_files;

class sound_effects : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::reset();
    audio = audio_record{};
    ASSERT_TRUE(init_sound());
  }
  void TearDown() override { release_sound(); }

  // Loads the bytes as a file into slot 0 and answers load_sound's result.
  bool load(const std::string& name, const bytes& contents) {
    return load_sound(&audio.sounds[0], write_temp(name, contents).c_str());
  }
};

bytes samples(std::size_t count) {
  bytes out;
  for (std::size_t i = 0; i < count; ++i)
    out.push_back(static_cast<std::uint8_t>(i * 7 + 3));
  return out;
}

const bytes pcm_format = format_body(1, 2, 22050, 16);

TEST_F(sound_effects, plain_pcm_file_makes_a_sound_of_its_samples) {
  const bytes data = samples(400);
  ASSERT_TRUE(load("plain.wav", wave({chunk("fmt ", pcm_format), chunk("data", data)})));
  plat_sound* sound = audio.sounds[0];
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(headless::sound_contents(sound), data);
  EXPECT_TRUE(headless::message_boxes().empty());
  const wave_format f = headless::sound_format_of(sound);
  EXPECT_EQ((std::vector<std::uint32_t>{f.format_tag, f.channels, f.samples_per_second, f.average_bytes_per_second,
                                        f.block_align, f.bits_per_sample}),
            (std::vector<std::uint32_t>{1, 2, 22050, 88200, 4, 16}));
}

TEST_F(sound_effects, chunks_before_the_format_and_odd_sized_chunks_are_stepped_over) {
  // An odd-sized chunk is followed by a pad byte; 8-bit mono data may be odd,
  // and the last chunk may lack its pad byte.
  const bytes data = samples(5);
  bytes last = chunk("data", data);
  last.pop_back();
  ASSERT_TRUE(load("odd.wav", wave({chunk("LIST", {'I', 'N', 'F', 'O', 'x'}), chunk("fmt ", format_body(1, 1, 8000, 8)),
                                    chunk("junk", {1, 2, 3}), last})));
  EXPECT_EQ(headless::sound_contents(audio.sounds[0]), data);
  EXPECT_EQ(headless::sound_format_of(audio.sounds[0]).bits_per_sample, 8);
}

TEST_F(sound_effects, missing_file_gives_an_ownerless_box_with_the_system_caption) {
  EXPECT_FALSE(load_sound(&audio.sounds[0], temp_path("nothing-here.wav").c_str()));
  EXPECT_EQ(audio.sounds[0], nullptr);
  ASSERT_EQ(headless::message_boxes().size(), 1u);
  const auto& box = headless::message_boxes()[0];
  EXPECT_EQ(test::utf8(box.text), test::open_failed);
  EXPECT_FALSE(box.owned);
  EXPECT_FALSE(box.has_caption);
  // Nothing flipped the display for it.
  for (const std::string& call : headless::shell_calls())
    EXPECT_NE(call, "flip_to_desktop");
  // A slot that failed to load plays nothing.
  play_sound(audio.sounds[0]);
  EXPECT_TRUE(headless::sound_records().empty());
}

// Each broken file is refused with the message of the step that failed, in
// an error box over the display, and leaves the slot empty.
TEST_F(sound_effects, each_broken_file_is_refused_with_its_own_message) {
  const bytes fmt = chunk("fmt ", pcm_format);
  const bytes data = chunk("data", samples(32));
  bytes cut_format = pcm_format;
  cut_format.resize(10);
  bytes swallowing_format = pcm_format;
  swallowing_format.insert(swallowing_format.end(), data.begin(), data.end());
  struct broken_file {
    const char* name;
    bytes contents;
    const char* message;
  };
  const broken_file cases[] = {
      {"text.wav", bytes(64, 'x'), test::wave_not_found},
      {"empty.wav", {}, test::wave_not_found},
      {"avi.wav", riff("AVI ", {fmt, data}), test::wave_not_found},
      {"nofmt.wav", wave({data}), test::wave_not_found},
      // The search only goes forward: a data chunk before the format is lost.
      {"dataformat.wav", wave({data, fmt, chunk("LIST", {1, 2})}), test::no_data},
      {"shortfmt.wav", wave({chunk_claiming("fmt ", 16, cut_format)}), test::format_unreadable},
      // A bare 16-byte format chunk at the very end: the two further bytes
      // of the extended layout are not in the file.
      {"endfmt.wav", wave({fmt}), test::format_unreadable},
      {"float.wav", wave({chunk("fmt ", format_body(3, 2, 44100, 32)), data}), test::format_invalid},
      {"nodata.wav", wave({fmt, chunk("LIST", {1, 2, 3, 4})}), test::no_data},
      // A format chunk claiming more than the file holds swallows the data
      // chunk inside it: leaving it lands past the end, where no data is.
      {"bigfmt.wav", wave({chunk_claiming("fmt ", 4096, swallowing_format)}), test::no_data},
      // The data chunk after the form's end is not in the form.
      {"outside.wav",
       [&] {
         bytes b = wave({fmt});
         const bytes after = chunk("data", samples(4));
         b.insert(b.end(), after.begin(), after.end());
         return b;
       }(),
       test::no_data},
      {"shortdata.wav", wave({fmt, chunk_claiming("data", 1000, samples(10))}), test::data_unreadable},
      {"emptydata.wav", wave({fmt, chunk("data", {})}), test::buffer_failed},
  };
  for (const broken_file& c : cases) {
    SCOPED_TRACE(c.name);
    release_sound();
    headless::reset();
    ASSERT_TRUE(init_sound());
    EXPECT_FALSE(load(c.name, c.contents));
    EXPECT_EQ(audio.sounds[0], nullptr);
    ASSERT_EQ(headless::message_boxes().size(), 1u);
    const auto& box = headless::message_boxes()[0];
    EXPECT_EQ(test::utf8(box.text), c.message);
    EXPECT_TRUE(box.owned);
    EXPECT_EQ(test::utf8(box.caption), test::error_caption);
    EXPECT_TRUE(headless::sound_records().empty());
  }
}

TEST_F(sound_effects, huge_claimed_data_size_is_refused_without_reserving_it) {
  test::largest_allocation = 0;
  EXPECT_FALSE(load("huge.wav", wave({chunk("fmt ", pcm_format), chunk_claiming("data", 0xFFFFFFF0u, samples(8))})));
  EXPECT_LT(test::largest_allocation, 1u << 20);
  EXPECT_EQ(test::utf8(headless::message_boxes().back().text), test::data_unreadable);
  EXPECT_EQ(audio.sounds[0], nullptr);
}

TEST_F(sound_effects, no_device_means_no_sound_and_its_message) {
  release_sound();
  EXPECT_FALSE(load("nodevice.wav", wave({chunk("fmt ", pcm_format), chunk("data", samples(16))})));
  EXPECT_EQ(test::utf8(headless::message_boxes().back().text), test::buffer_failed);
  EXPECT_EQ(audio.sounds[0], nullptr);
}

TEST_F(sound_effects, sound_that_cannot_be_filled_stays_silent_without_a_box) {
  headless::fail_next_sound_fill();
  EXPECT_FALSE(load("unfilled.wav", wave({chunk("fmt ", pcm_format), chunk("data", samples(16))})));
  // It keeps its slot, so that the teardown releases it.
  ASSERT_NE(audio.sounds[0], nullptr);
  EXPECT_TRUE(headless::message_boxes().empty());
  const int number = headless::sound_number(audio.sounds[0]);
  release_sound();
  EXPECT_EQ(headless::sound_records().back().action, sound_action::release);
  EXPECT_EQ(headless::sound_records().back().sound, number);
}

TEST_F(sound_effects, release_frees_every_filled_slot_once_and_then_the_device) {
  const bytes file = wave({chunk("fmt ", pcm_format), chunk("data", samples(16))});
  ASSERT_TRUE(load_sound(&audio.sounds[0], write_temp("a.wav", file).c_str()));
  ASSERT_TRUE(load_sound(&audio.sounds[7], write_temp("b.wav", file).c_str()));
  play_sound(audio.sounds[7]);
  play_sound(audio.sounds[7]);
  const std::size_t before = headless::shell_calls().size();
  release_sound();
  for (plat_sound* slot : audio.sounds)
    EXPECT_EQ(slot, nullptr);
  EXPECT_FALSE(audio.device_open);
  std::vector<std::pair<sound_action, int>> seen;
  for (const auto& r : headless::sound_records())
    seen.emplace_back(r.action, r.sound);
  EXPECT_EQ(seen, (std::vector<std::pair<sound_action, int>>{{sound_action::load, 1},
                                                             {sound_action::load, 2},
                                                             {sound_action::play, 2},
                                                             {sound_action::play, 2},
                                                             {sound_action::release, 1},
                                                             {sound_action::release, 2}}));
  EXPECT_EQ(headless::shell_calls().size(), before + 1);
  release_sound();  // nothing left: no second close
  EXPECT_EQ(headless::shell_calls().size(), before + 1);
}

TEST_F(sound_effects, device_set_up_failures_show_their_error_boxes) {
  struct set_up_case {
    plat_sound_stage stage;
    const char* message;
    bool device_open;  // a device without cooperation is still closed at teardown
  };
  for (const set_up_case& c : {set_up_case{plat_sound_stage::no_device, test::device_failed, false},
                               set_up_case{plat_sound_stage::no_cooperation, test::cooperation_failed, true}}) {
    release_sound();
    headless::reset();
    headless::fail_sound(c.stage);
    EXPECT_FALSE(init_sound());
    ASSERT_EQ(headless::message_boxes().size(), 1u);
    EXPECT_EQ(test::utf8(headless::message_boxes()[0].text), c.message);
    EXPECT_EQ(test::utf8(headless::message_boxes()[0].caption), test::error_caption);
    EXPECT_EQ(audio.device_open, c.device_open);
  }
}

}  // namespace
}  // namespace shindan
