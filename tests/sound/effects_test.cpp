// Loading WAV files into sound buffers, the messages a refused file gives,
// and playing and releasing effects.
#include <gtest/gtest.h>

#include <string>

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

class SoundEffects : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::reset();
    main_window = nullptr;
    for (auto& slot : sounds)
      slot = nullptr;
    sound_device = plat_create_sound_device();
    ASSERT_NE(sound_device, nullptr);
  }
  void TearDown() override { release_sound(); }

  // Loads the bytes as a file into slot 0 and answers load_sound's result.
  bool load(const std::string& name, const bytes& contents) {
    return load_sound(&sounds[0], write_temp(name, contents).c_str());
  }
  std::string last_message() const {
    const auto& boxes = headless::message_boxes();
    return boxes.empty() ? std::string("(no box)") : boxes.back().text;
  }
};

bytes samples(std::size_t count) {
  bytes out;
  for (std::size_t i = 0; i < count; ++i)
    out.push_back(static_cast<std::uint8_t>(i * 7 + 3));
  return out;
}

bytes pcm_format() {
  return format_body(1, 2, 22050, 16);
}

// A plain 16-bit stereo file holding the given sample bytes.
bytes pcm_file(const bytes& data) {
  return wave({chunk("fmt ", pcm_format()), chunk("data", data)});
}

TEST_F(SoundEffects, PlainPcmFileFillsItsBufferWithTheSamples) {
  const bytes data = samples(400);
  ASSERT_TRUE(load("plain.wav", pcm_file(data)));
  ASSERT_NE(sounds[0], nullptr);
  EXPECT_EQ(headless::buffer_contents(sounds[0]), data);
  EXPECT_TRUE(headless::message_boxes().empty());
  EXPECT_EQ(loaded_wave_format.channels, 2);
  EXPECT_EQ(loaded_wave_format.samples_per_second, 22050u);
  EXPECT_EQ(loaded_wave_format.average_bytes_per_second, 88200u);
  EXPECT_EQ(loaded_wave_format.block_align, 4);
  EXPECT_EQ(loaded_wave_format.bits_per_sample, 16);
  EXPECT_EQ(loaded_wave_bytes, 400u);

  const auto& records = headless::sound_records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front().action, sound_action::create);
  EXPECT_EQ(records.front().value, 400u);
}

TEST_F(SoundEffects, ChunksBeforeTheFormatAndOddSizedChunksAreSteppedOver) {
  // An odd-sized chunk is followed by a pad byte; 8-bit mono data may be odd.
  const bytes data = samples(5);
  const bytes list = {'I', 'N', 'F', 'O', 'x'};
  ASSERT_TRUE(load("odd.wav", wave({chunk("LIST", list), chunk("fmt ", format_body(1, 1, 8000, 8)),
                                    chunk("junk", {1, 2, 3}), chunk("data", data)})));
  EXPECT_EQ(headless::buffer_contents(sounds[0]), data);
  EXPECT_EQ(loaded_wave_format.channels, 1);
  EXPECT_EQ(loaded_wave_format.bits_per_sample, 8);
}

TEST_F(SoundEffects, MissingFileGivesAnOwnerlessBoxWithTheSystemCaption) {
  EXPECT_FALSE(load_sound(&sounds[0], temp_path("nothing-here.wav").c_str()));
  EXPECT_EQ(sounds[0], nullptr);
  ASSERT_EQ(headless::message_boxes().size(), 1u);
  const auto& box = headless::message_boxes()[0];
  EXPECT_EQ(box.text, test::open_failed);
  EXPECT_FALSE(box.has_owner);
  EXPECT_FALSE(box.has_caption);
  // A slot that failed to load plays nothing.
  const std::size_t before = headless::sound_records().size();
  play_sound(sounds[0]);
  EXPECT_EQ(headless::sound_records().size(), before);
}

// Each broken file is refused with the message of the step that failed, in
// an error box, and leaves the slot empty.
TEST_F(SoundEffects, EachBrokenFileIsRefusedWithItsOwnMessage) {
  const bytes fmt = chunk("fmt ", pcm_format());
  const bytes data = chunk("data", samples(32));
  bytes short_format = wave({});
  {
    bytes body = pcm_format();
    body.resize(10);
    short_format = wave({chunk_claiming("fmt ", 16, body)});
  }
  bytes swallowing_format = pcm_format();
  swallowing_format.insert(swallowing_format.end(), data.begin(), data.end());
  bytes not_riff(64, 'x');
  struct broken_file {
    const char* name;
    bytes contents;
    const char* message;
  };
  const broken_file cases[] = {
      {"text.wav", not_riff, test::wave_not_found},
      {"avi.wav", riff("AVI ", {fmt, data}), test::wave_not_found},
      {"nofmt.wav", wave({data}), test::wave_not_found},
      {"shortfmt.wav", short_format, test::format_unreadable},
      // A bare 16-byte format chunk at the very end: the two further bytes
      // of the extended layout are not in the file.
      {"endfmt.wav", wave({fmt}), test::format_unreadable},
      {"float.wav", wave({chunk("fmt ", format_body(3, 2, 44100, 32)), data}), test::format_invalid},
      {"nodata.wav", wave({fmt, chunk("LIST", {1, 2, 3, 4})}), test::no_data},
      // A format chunk claiming more than the file holds swallows the data
      // chunk inside it: leaving it lands past the end, where no data is.
      {"bigfmt.wav", wave({chunk_claiming("fmt ", 4096, swallowing_format)}), test::no_data},
      {"shortdata.wav", wave({fmt, chunk_claiming("data", 1000, samples(10))}), test::data_unreadable},
  };
  for (const broken_file& c : cases) {
    SCOPED_TRACE(c.name);
    headless::reset();
    sound_device = plat_create_sound_device();
    sounds[0] = nullptr;
    EXPECT_FALSE(load(c.name, c.contents));
    EXPECT_EQ(sounds[0], nullptr);
    ASSERT_EQ(headless::message_boxes().size(), 1u);
    EXPECT_EQ(headless::message_boxes()[0].text, c.message);
    EXPECT_TRUE(headless::message_boxes()[0].has_caption);
    EXPECT_EQ(headless::message_boxes()[0].caption, test::error_caption);
    EXPECT_TRUE(headless::sound_records().empty());
  }
}

TEST_F(SoundEffects, HugeClaimedDataSizeIsRefusedWithoutReservingIt) {
  const bytes file = wave({chunk("fmt ", pcm_format()), chunk_claiming("data", 0xFFFFFFF0u, samples(8))});
  const std::string path = write_temp("huge.wav", file);
  test::largest_allocation = 0;
  EXPECT_FALSE(load_sound(&sounds[0], path.c_str()));
  EXPECT_LT(test::largest_allocation, 1u << 20);
  EXPECT_EQ(last_message(), test::data_unreadable);
  EXPECT_EQ(sounds[0], nullptr);
}

TEST_F(SoundEffects, NoDeviceMeansNoBufferAndItsMessage) {
  plat_release_sound_device(sound_device);
  sound_device = nullptr;
  EXPECT_FALSE(load("nodevice.wav", pcm_file(samples(16))));
  EXPECT_EQ(last_message(), test::buffer_failed);
  EXPECT_EQ(sounds[0], nullptr);
}

TEST_F(SoundEffects, BufferLostAtLoadIsRestoredAndFilled) {
  const bytes data = samples(100);
  headless::lose_next_sound_lock();
  ASSERT_TRUE(load("lost.wav", pcm_file(data)));
  EXPECT_EQ(headless::buffer_contents(sounds[0]), data);
  EXPECT_TRUE(headless::message_boxes().empty());
}

TEST_F(SoundEffects, PlayingRestartsFromTheBeginningEveryTime) {
  ASSERT_TRUE(load("play.wav", pcm_file(samples(40))));
  const int number = headless::buffer_number(sounds[0]);
  const std::size_t before = headless::sound_records().size();
  play_sound(sounds[0]);
  play_sound(sounds[0]);
  const auto& records = headless::sound_records();
  ASSERT_EQ(records.size(), before + 6);
  const sound_action expected[] = {sound_action::stop, sound_action::set_position, sound_action::play};
  for (std::size_t i = 0; i < 6; ++i) {
    const auto& r = records[before + i];
    EXPECT_EQ(r.action, expected[i % 3]) << i;
    EXPECT_EQ(r.buffer, number);
    if (r.action == sound_action::set_position) {
      EXPECT_EQ(r.value, 0u);
    }
  }
}

TEST_F(SoundEffects, ReleaseFreesEveryFilledSlotAndTheDevice) {
  const bytes file = pcm_file(samples(16));
  ASSERT_TRUE(load_sound(&sounds[0], write_temp("a.wav", file).c_str()));
  ASSERT_TRUE(load_sound(&sounds[7], write_temp("b.wav", file).c_str()));
  const int first = headless::buffer_number(sounds[0]);
  const int second = headless::buffer_number(sounds[7]);
  release_sound();
  for (auto* slot : sounds)
    EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(sound_device, nullptr);
  int released_first = 0, released_second = 0;
  for (const auto& r : headless::sound_records()) {
    if (r.action != sound_action::release)
      continue;
    if (r.buffer == first)
      ++released_first;
    if (r.buffer == second)
      ++released_second;
  }
  EXPECT_EQ(released_first, 1);
  EXPECT_EQ(released_second, 1);
  release_sound();  // nothing left: harmless
}

TEST_F(SoundEffects, DeviceSetUpFailuresShowTheirErrorBoxes) {
  struct set_up_case {
    bool no_device, no_cooperation;
    const char* message;  // null: set up without a box
  };
  for (const set_up_case& c :
       {set_up_case{true, false, test::device_failed}, set_up_case{false, true, test::cooperation_failed},
        set_up_case{false, false, nullptr}}) {
    release_sound();
    headless::reset();
    headless::fail_sound_device(c.no_device, c.no_cooperation);
    EXPECT_EQ(init_sound(nullptr), c.message == nullptr);
    if (c.message == nullptr) {
      EXPECT_NE(sound_device, nullptr);
      EXPECT_TRUE(headless::message_boxes().empty());
    } else {
      EXPECT_EQ(last_message(), c.message);
      EXPECT_EQ(headless::message_boxes().back().caption, test::error_caption);
    }
  }
}

}  // namespace
}  // namespace shindan
