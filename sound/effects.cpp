// Sound effects: each WAV file is read whole into a sound buffer of its own,
// and playing an effect restarts its buffer from the beginning.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "app/shell.h"
#include "sound/sound.h"

namespace shindan {

plat_sound_device* sound_device = nullptr;
plat_sound_buffer* sounds[sound_slot_count] = {};
plat_wave_format loaded_wave_format;
std::uint32_t loaded_wave_bytes = 0;

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

// The extended wave format layout; only its first 16 bytes are used, but the
// full 18 are read, as the file functions happily read past a 16-byte chunk.
constexpr std::int32_t format_record_bytes = 18;

std::uint16_t read_u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t read_u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Every failure after the file was opened closes it before telling the player.
bool close_and_report(plat_riff_file* file, const char* text) {
  plat_riff_close(file);
  return report_error(text);
}

// Reads exactly bytes bytes, in pieces the reader's signed count can express.
bool read_exactly(plat_riff_file* file, std::uint8_t* data, std::uint32_t bytes) {
  constexpr std::uint32_t piece = 1u << 30;
  while (bytes > 0) {
    const std::uint32_t want = std::min(bytes, piece);
    const std::int32_t got = plat_riff_read(file, data, static_cast<std::int32_t>(want));
    if (got <= 0 || static_cast<std::uint32_t>(got) != want)
      return false;
    data += want;
    bytes -= want;
  }
  return true;
}

}  // namespace

bool init_sound(plat_window* window) {
  sound_device = plat_create_sound_device();
  if (sound_device == nullptr)
    return report_error(device_failed_text);
  if (!plat_set_sound_cooperation(sound_device, window))
    return report_error(cooperation_failed_text);
  return true;
}

bool load_sound(plat_sound_buffer** slot, const char* file_name) {
  plat_riff_file* file = plat_riff_open(file_name);
  if (file == nullptr) {
    // Shown directly, with no owner and the system's own caption.
    plat_message_box(nullptr, open_failed_text, nullptr);
    return false;
  }

  plat_riff_chunk riff;
  if (!plat_riff_find_form(file, "WAVE", &riff))
    return close_and_report(file, wave_not_found_text);
  plat_riff_chunk format_chunk;
  if (!plat_riff_find_chunk(file, riff, "fmt ", &format_chunk))
    return close_and_report(file, wave_not_found_text);

  std::uint8_t raw[format_record_bytes] = {};
  if (plat_riff_read(file, raw, format_record_bytes) != format_record_bytes) {
    return close_and_report(file, format_unreadable_text);
  }
  plat_wave_format format;
  format.format_tag = read_u16(raw + 0);
  format.channels = read_u16(raw + 2);
  format.samples_per_second = read_u32(raw + 4);
  format.average_bytes_per_second = read_u32(raw + 8);
  format.block_align = read_u16(raw + 12);
  format.bits_per_sample = read_u16(raw + 14);
  if (format.format_tag != 1)
    return close_and_report(file, format_invalid_text);

  if (!plat_riff_leave(file, format_chunk))
    return close_and_report(file, wave_inaccessible_text);
  plat_riff_chunk data_chunk;
  if (!plat_riff_find_chunk(file, riff, "data", &data_chunk))
    return close_and_report(file, no_data_text);

  // A header may claim far more data than the file holds; the read would fail
  // anyway, so refuse before reserving memory for the claim.
  const std::uint32_t bytes = data_chunk.size;
  if (data_chunk.available < bytes)
    return close_and_report(file, data_unreadable_text);
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[bytes == 0 ? 1 : bytes]);
  if (block == nullptr || !read_exactly(file, block.get(), bytes)) {
    return close_and_report(file, data_unreadable_text);
  }
  plat_riff_close(file);

  plat_sound_buffer* buffer = sound_device != nullptr ? plat_create_sound_buffer(sound_device, format, bytes) : nullptr;
  if (buffer == nullptr)
    return report_error(buffer_failed_text);
  *slot = buffer;

  void* first = nullptr;
  void* second = nullptr;
  std::uint32_t first_bytes = 0;
  std::uint32_t second_bytes = 0;
  plat_result locked = plat_lock_sound_buffer(buffer, 0, bytes, &first, &first_bytes, &second, &second_bytes);
  if (locked == plat_buffer_lost) {
    plat_restore_sound_buffer(buffer);
    locked = plat_lock_sound_buffer(buffer, 0, bytes, &first, &first_bytes, &second, &second_bytes);
  }
  // A buffer that cannot be locked stays in its slot, silent; nothing more
  // can be done for it and the game goes on without the effect.
  if (plat_failed_result(locked))
    return false;

  // Never copy more than the block holds, whatever regions the lock answered.
  const std::uint32_t first_copy = first != nullptr ? std::min(first_bytes, bytes) : 0;
  if (first_copy > 0)
    std::memcpy(first, block.get(), first_copy);
  const std::uint32_t second_copy = second != nullptr ? std::min(second_bytes, bytes - first_copy) : 0;
  if (second_copy > 0)
    std::memcpy(second, block.get() + first_copy, second_copy);
  plat_unlock_sound_buffer(buffer, first, first_bytes, second, second_bytes);

  loaded_wave_format = format;
  loaded_wave_bytes = bytes;
  return true;
}

void play_sound(plat_sound_buffer* buffer) {
  if (buffer == nullptr)
    return;
  // Restarting cuts off a playback still running: one effect never doubles.
  plat_stop_sound(buffer);
  plat_set_sound_position(buffer, 0);
  plat_play_sound(buffer);
}

void release_sound() {
  for (plat_sound_buffer*& slot : sounds) {
    if (slot != nullptr) {
      plat_release_sound_buffer(slot);
      slot = nullptr;
    }
  }
  if (sound_device != nullptr) {
    plat_release_sound_device(sound_device);
    sound_device = nullptr;
  }
}

}  // namespace shindan
