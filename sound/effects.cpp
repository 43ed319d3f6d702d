// Sound effects: each WAV file becomes a sound of its own, and playing an
// effect restarts it from the beginning. The platform reads the file; what
// the player is told about a file it refused is decided here.
#include "app/shell.h"
#include "sound/sound.h"

namespace shindan {

audio_record audio;

namespace {

// DirectSoundが生成できませんDirectSoundの使用が不可能です
constexpr const char device_failed_text[] =
    "\x44\x69\x72\x65\x63\x74\x53\x6f\x75\x6e\x64\x82\xaa\x90\xb6\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"
    "\x44\x69\x72\x65\x63\x74\x53\x6f\x75\x6e\x64\x82\xcc\x8e\x67\x97\x70\x82\xaa\x95\x73\x89\xc2\x94\x5c\x82\xc5"
    "\x82\xb7";
// DirectSoundの協調に失敗しました
constexpr const char cooperation_failed_text[] =
    "\x44\x69\x72\x65\x63\x74\x53\x6f\x75\x6e\x64\x82\xcc\x8b\xa6\x92\xb2\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc"
    "\x82\xb5\x82\xbd";
// ファイルオープンに失敗しました
constexpr const char open_failed_text[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x83\x49\x81\x5b\x83\x76\x83\x93\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82"
    "\xb5\x82\xbd";
// ウエイブファイルが見つかりません
constexpr const char wave_not_found_text[] =
    "\x83\x45\x83\x47\x83\x43\x83\x75\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82"
    "\xdc\x82\xb9\x82\xf1";
// ウエイブフォーマットを読み込めません
constexpr const char format_unreadable_text[] =
    "\x83\x45\x83\x47\x83\x43\x83\x75\x83\x74\x83\x48\x81\x5b\x83\x7d\x83\x62\x83\x67\x82\xf0\x93\xc7\x82\xdd\x8d"
    "\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1";
// 不正なウエイブフォーマットです
constexpr const char format_invalid_text[] =
    "\x95\x73\x90\xb3\x82\xc8\x83\x45\x83\x47\x83\x43\x83\x75\x83\x74\x83\x48\x81\x5b\x83\x7d\x83\x62\x83\x67\x82"
    "\xc5\x82\xb7";
// ウエイブファイルにアクセスできません
constexpr const char wave_inaccessible_text[] =
    "\x83\x45\x83\x47\x83\x43\x83\x75\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc9\x83\x41\x83\x4e\x83\x5a\x83\x58\x82"
    "\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
// ウエイブファイルにデータがありません
constexpr const char no_data_text[] =
    "\x83\x45\x83\x47\x83\x43\x83\x75\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc9\x83\x66\x81\x5b\x83\x5e\x82\xaa\x82"
    "\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// ウエイブデータ読み込みに失敗しました
constexpr const char data_unreadable_text[] =
    "\x83\x45\x83\x47\x83\x43\x83\x75\x83\x66\x81\x5b\x83\x5e\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x82\xc9\x8e\xb8\x94"
    "\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// サウンドバッファの生成に失敗しました
constexpr const char buffer_failed_text[] =
    "\x83\x54\x83\x45\x83\x93\x83\x68\x83\x6f\x83\x62\x83\x74\x83\x40\x82\xcc\x90\xb6\x90\xac\x82\xc9\x8e\xb8\x94"
    "\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";

}  // namespace

bool init_sound() {
  switch (plat_open_sound()) {
    case plat_sound_stage::ready:
      break;
    case plat_sound_stage::no_device:
      return report_error(device_failed_text);
    case plat_sound_stage::no_cooperation:
      // The device exists and is closed with the rest at teardown.
      audio.device_open = true;
      return report_error(cooperation_failed_text);
  }
  audio.device_open = true;
  return true;
}

bool load_sound(plat_sound** slot, const char* file_name) {
  plat_sound* sound = nullptr;
  switch (plat_load_sound(file_name, &sound)) {
    case plat_wave_stage::ready:
      *slot = sound;
      return true;
    case plat_wave_stage::unfilled:
      // A sound that could not be filled stays in its slot, silent; nothing
      // more can be done for it and the game goes on without the effect.
      *slot = sound;
      return false;
    case plat_wave_stage::cannot_open:
      // Shown directly, with no owner and the system's own caption.
      plat_message_box(open_failed_text, nullptr, false);
      return false;
    // Every failure after the file was opened is reported over the display.
    case plat_wave_stage::no_wave_form:
    case plat_wave_stage::no_format_chunk:
      return report_error(wave_not_found_text);
    case plat_wave_stage::short_format:
      return report_error(format_unreadable_text);
    case plat_wave_stage::not_pcm:
      return report_error(format_invalid_text);
    case plat_wave_stage::cannot_leave_format:
      return report_error(wave_inaccessible_text);
    case plat_wave_stage::no_data_chunk:
      return report_error(no_data_text);
    case plat_wave_stage::short_data:
      return report_error(data_unreadable_text);
    case plat_wave_stage::no_buffer:
      return report_error(buffer_failed_text);
  }
  return false;
}

void play_sound(plat_sound* sound) {
  if (sound == nullptr)
    return;
  // Restarting cuts off a playback still running: one effect never doubles.
  plat_play_sound(sound);
}

void release_sound() {
  for (plat_sound*& slot : audio.sounds) {
    if (slot != nullptr) {
      plat_release_sound(slot);
      slot = nullptr;
    }
  }
  if (audio.device_open) {
    plat_close_sound();
    audio.device_open = false;
  }
}

}  // namespace shindan
