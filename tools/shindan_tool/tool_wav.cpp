// shindan-tool wav FILE: loads a WAV file exactly as the game's first frame
// would and prints the format the sound buffer was made with, or the message
// the player would have seen (the game's texts are Shift-JIS; a terminal
// wants UTF-8).
#include <cstdio>
#include <string>

#include "platform/common/sjis.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"
#include "tools/shindan_tool/tool.h"

namespace shindan {
int tool_wav(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: shindan-tool wav FILE\n");
    return 2;
  }
  headless::reset();
  sound_device = plat_create_sound_device();
  plat_sound_buffer* buffer = nullptr;
  const bool loaded = load_sound(&buffer, argv[0]);
  if (buffer != nullptr)
    plat_release_sound_buffer(buffer);
  if (sound_device != nullptr)
    plat_release_sound_device(sound_device);
  sound_device = nullptr;

  if (!loaded) {
    const auto& boxes = headless::message_boxes();
    if (boxes.empty()) {
      std::fprintf(stderr, "the sound buffer could not be filled\n");
    } else {
      std::fprintf(stderr, "%s\n", sjis_to_utf8(boxes.back().text.data(), boxes.back().text.size()).c_str());
    }
    return 1;
  }
  std::printf("tag %u channels %u rate %u bits %u bytes %u\n", static_cast<unsigned>(loaded_wave_format.format_tag),
              static_cast<unsigned>(loaded_wave_format.channels),
              static_cast<unsigned>(loaded_wave_format.samples_per_second),
              static_cast<unsigned>(loaded_wave_format.bits_per_sample), static_cast<unsigned>(loaded_wave_bytes));
  return 0;
}

}  // namespace shindan
