// shindan-tool wav FILE: loads a WAV file exactly as the game's first frame
// would and prints the format the sound was made with, or the message
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
  plat_open_sound();
  plat_sound* sound = nullptr;
  const bool loaded = load_sound(&sound, argv[0]);
  const wave_format format = headless::sound_format_of(sound);
  const auto bytes = static_cast<unsigned>(headless::sound_contents(sound).size());
  if (sound != nullptr)
    plat_release_sound(sound);
  plat_close_sound();

  if (!loaded) {
    const auto& boxes = headless::message_boxes();
    if (boxes.empty()) {
      std::fprintf(stderr, "the sound could not be filled\n");
    } else {
      std::fprintf(stderr, "%s\n", sjis_to_utf8(boxes.back().text.data(), boxes.back().text.size()).c_str());
    }
    return 1;
  }
  std::printf("tag %u channels %u rate %u bits %u bytes %u\n", static_cast<unsigned>(format.format_tag),
              static_cast<unsigned>(format.channels), static_cast<unsigned>(format.samples_per_second),
              static_cast<unsigned>(format.bits_per_sample), bytes);
  return 0;
}

}  // namespace shindan
