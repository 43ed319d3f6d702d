// Sound effects on Windows: DirectSound buffers, filled from WAV files read
// chunk by chunk with the multimedia file functions.
//
// plat_sound is an IDirectSoundBuffer.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "platform/win32/win32.h"

namespace shindan {

namespace {

IDirectSound* sound_device = nullptr;

IDirectSoundBuffer* to_buffer(plat_sound* sound) {
  return reinterpret_cast<IDirectSoundBuffer*>(sound);
}

// The extended wave format layout; only its first 16 bytes are used, but the
// full 18 are read, as the file functions happily read past a 16-byte chunk.
constexpr LONG format_record_bytes = 18;

std::uint16_t read_u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t read_u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// An open WAV file: the mmio handle and the file's size, which tells how
// much of a chunk's claimed size is really there.
struct wave_file {
  HMMIO handle = nullptr;
  std::uint32_t size = 0;
};

// mmioOpen's own file opening goes through the old OpenFile, which takes the
// name in the machine's code page and gives up on full paths longer than 128
// characters: run from a Japanese folder on another Windows, or from a deep
// one anywhere, no sound would load. So the file is opened here with its wide
// name and mmio reads through the handle (the standard DOS I/O procedure
// takes an open handle in adwInfo[0] and closes it in mmioClose).
bool open_wave_file(const char* file_name, wave_file* file) {
  if (file_name == nullptr) {
    return false;
  }
  const std::wstring wide_name = wide_from_sjis(file_name);
  if (wide_name.empty()) {
    return false;
  }
  HANDLE handle = CreateFileW(wide_name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(handle, &size)) {
    CloseHandle(handle);
    return false;
  }
  MMIOINFO info = {};
  info.fccIOProc = FOURCC_DOS;
  // Kernel handles keep their value within 32 bits, also on 64-bit Windows.
  info.adwInfo[0] = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(handle));
  HMMIO mmio = mmioOpenW(nullptr, &info, MMIO_ALLOCBUF | MMIO_READ);
  if (mmio == nullptr) {
    CloseHandle(handle);
    return false;
  }
  file->handle = mmio;
  // Chunk sizes are 32-bit; a larger file still holds at most that much.
  file->size = size.QuadPart > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size.QuadPart);
  return true;
}

// A chunk's header may claim more than the file holds.
std::uint32_t available_bytes(const MMCKINFO& chunk, std::uint32_t file_size) {
  return chunk.dwDataOffset < file_size ? std::min(chunk.cksize, file_size - chunk.dwDataOffset) : 0;
}

// Reads exactly bytes bytes, in pieces mmioRead's signed count can express.
bool read_exactly(HMMIO handle, std::uint8_t* data, std::uint32_t bytes) {
  constexpr std::uint32_t piece = 1u << 30;
  while (bytes > 0) {
    const std::uint32_t want = std::min(bytes, piece);
    const LONG got = mmioRead(handle, reinterpret_cast<HPSTR>(data), static_cast<LONG>(want));
    if (got <= 0 || static_cast<std::uint32_t>(got) != want)
      return false;
    data += want;
    bytes -= want;
  }
  return true;
}

// Every failure after the file was opened closes it first.
plat_wave_stage close_with(const wave_file& file, plat_wave_stage stage) {
  mmioClose(file.handle, 0);
  return stage;
}

// Fills a new buffer with the samples. A buffer lost at once gets its memory
// back and one more try; one that cannot be locked stays silent.
bool fill_buffer(IDirectSoundBuffer* buffer, const std::uint8_t* data, std::uint32_t bytes) {
  void* first = nullptr;
  void* second = nullptr;
  DWORD first_bytes = 0;
  DWORD second_bytes = 0;
  HRESULT locked = buffer->Lock(0, bytes, &first, &first_bytes, &second, &second_bytes, 0);
  if (locked == DSERR_BUFFERLOST) {
    buffer->Restore();
    first = nullptr;
    second = nullptr;
    locked = buffer->Lock(0, bytes, &first, &first_bytes, &second, &second_bytes, 0);
  }
  if (FAILED(locked))
    return false;
  // Never copy more than the block holds, whatever regions the lock answered.
  const std::uint32_t first_copy = first != nullptr ? std::min<std::uint32_t>(first_bytes, bytes) : 0;
  if (first_copy > 0)
    std::memcpy(first, data, first_copy);
  const std::uint32_t second_copy = second != nullptr ? std::min<std::uint32_t>(second_bytes, bytes - first_copy) : 0;
  if (second_copy > 0)
    std::memcpy(second, data + first_copy, second_copy);
  buffer->Unlock(first, first_bytes, second, second_bytes);
  return true;
}

}  // namespace

plat_sound_stage plat_open_sound() {
  if (FAILED(DirectSoundCreate(nullptr, &sound_device, nullptr))) {
    sound_device = nullptr;
    return plat_sound_stage::no_device;
  }
  if (FAILED(sound_device->SetCooperativeLevel(main_window, DSSCL_NORMAL))) {
    return plat_sound_stage::no_cooperation;
  }
  return plat_sound_stage::ready;
}

void plat_close_sound() {
  if (sound_device != nullptr) {
    sound_device->Release();
    sound_device = nullptr;
  }
}

plat_wave_stage plat_load_sound(const char* file_name, plat_sound** sound) {
  wave_file file;
  if (!open_wave_file(file_name, &file))
    return plat_wave_stage::cannot_open;

  MMCKINFO riff = {};
  if (mmioSeek(file.handle, 0, SEEK_SET) != 0)
    return close_with(file, plat_wave_stage::no_wave_form);
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioDescend(file.handle, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR)
    return close_with(file, plat_wave_stage::no_wave_form);
  MMCKINFO format_chunk = {};
  format_chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (mmioDescend(file.handle, &format_chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
    return close_with(file, plat_wave_stage::no_format_chunk);

  std::uint8_t raw[format_record_bytes] = {};
  if (mmioRead(file.handle, reinterpret_cast<HPSTR>(raw), format_record_bytes) != format_record_bytes)
    return close_with(file, plat_wave_stage::short_format);
  WAVEFORMATEX wave = {};
  wave.wFormatTag = read_u16(raw + 0);
  wave.nChannels = read_u16(raw + 2);
  wave.nSamplesPerSec = read_u32(raw + 4);
  wave.nAvgBytesPerSec = read_u32(raw + 8);
  wave.nBlockAlign = read_u16(raw + 12);
  wave.wBitsPerSample = read_u16(raw + 14);
  wave.cbSize = 0;
  if (wave.wFormatTag != WAVE_FORMAT_PCM)
    return close_with(file, plat_wave_stage::not_pcm);

  if (mmioAscend(file.handle, &format_chunk, 0) != MMSYSERR_NOERROR)
    return close_with(file, plat_wave_stage::cannot_leave_format);
  MMCKINFO data_chunk = {};
  data_chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioDescend(file.handle, &data_chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
    return close_with(file, plat_wave_stage::no_data_chunk);

  // A header may claim far more data than the file holds; the read would fail
  // anyway, so refuse before reserving memory for the claim.
  const std::uint32_t bytes = data_chunk.cksize;
  if (available_bytes(data_chunk, file.size) < bytes)
    return close_with(file, plat_wave_stage::short_data);
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[bytes == 0 ? 1 : bytes]);
  if (block == nullptr || !read_exactly(file.handle, block.get(), bytes))
    return close_with(file, plat_wave_stage::short_data);
  mmioClose(file.handle, 0);

  DSBUFFERDESC description = {};
  description.dwSize = sizeof(description);
  description.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
  description.dwBufferBytes = bytes;
  description.dwReserved = 0;
  description.lpwfxFormat = &wave;
  IDirectSoundBuffer* buffer = nullptr;
  if (sound_device == nullptr || FAILED(sound_device->CreateSoundBuffer(&description, &buffer, nullptr)))
    return plat_wave_stage::no_buffer;
  *sound = reinterpret_cast<plat_sound*>(buffer);
  return fill_buffer(buffer, block.get(), bytes) ? plat_wave_stage::ready : plat_wave_stage::unfilled;
}

void plat_play_sound(plat_sound* sound) {
  if (sound == nullptr)
    return;
  to_buffer(sound)->Stop();
  to_buffer(sound)->SetCurrentPosition(0);
  to_buffer(sound)->Play(0, 0, 0);
}

void plat_release_sound(plat_sound* sound) {
  if (sound != nullptr)
    to_buffer(sound)->Release();
}

}  // namespace shindan
