// Sound on Windows: DirectSound buffers for the effects, the multimedia file
// functions for reading WAV files chunk by chunk, and MCI command strings for
// the music.
//
// plat_sound_device is an IDirectSound, plat_sound_buffer an
// IDirectSoundBuffer; a RIFF file is an mmio handle with the file's size.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/win32/win32.h"

namespace shindan {

struct plat_riff_file {
  HMMIO handle = nullptr;
  std::uint32_t file_size = 0;
};

namespace {

IDirectSound* to_device(plat_sound_device* device) {
  return reinterpret_cast<IDirectSound*>(device);
}
IDirectSoundBuffer* to_buffer(plat_sound_buffer* buffer) {
  return reinterpret_cast<IDirectSoundBuffer*>(buffer);
}

FOURCC to_fourcc(const char code[4]) {
  return mmioFOURCC(code[0], code[1], code[2], code[3]);
}

void from_fourcc(FOURCC code, char out[4]) {
  for (int i = 0; i < 4; ++i) {
    out[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
  }
}

MMCKINFO to_chunk_info(const plat_riff_chunk& chunk) {
  MMCKINFO info = {};
  info.ckid = to_fourcc(chunk.id);
  info.cksize = chunk.size;
  info.fccType = to_fourcc(chunk.form);
  info.dwDataOffset = chunk.data_offset;
  return info;
}

// A chunk's header may claim more than the file holds; callers size their
// reads by what is really there.
void from_chunk_info(const MMCKINFO& info, std::uint32_t file_size, plat_riff_chunk* chunk) {
  from_fourcc(info.ckid, chunk->id);
  from_fourcc(info.fccType, chunk->form);
  chunk->size = info.cksize;
  chunk->data_offset = info.dwDataOffset;
  chunk->available = info.dwDataOffset < file_size ? std::min(info.cksize, file_size - info.dwDataOffset) : 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// DirectSound

plat_sound_device* plat_create_sound_device() {
  IDirectSound* device = nullptr;
  if (FAILED(DirectSoundCreate(nullptr, &device, nullptr))) {
    return nullptr;
  }
  return reinterpret_cast<plat_sound_device*>(device);
}

bool plat_set_sound_cooperation(plat_sound_device* device, plat_window* window) {
  return SUCCEEDED(to_device(device)->SetCooperativeLevel(to_hwnd(window), DSSCL_NORMAL));
}

void plat_release_sound_device(plat_sound_device* device) {
  if (device != nullptr) {
    to_device(device)->Release();
  }
}

plat_sound_buffer* plat_create_sound_buffer(plat_sound_device* device, const plat_wave_format& format,
                                            std::uint32_t bytes) {
  WAVEFORMATEX wave = {};
  wave.wFormatTag = format.format_tag;
  wave.nChannels = format.channels;
  wave.nSamplesPerSec = format.samples_per_second;
  wave.nAvgBytesPerSec = format.average_bytes_per_second;
  wave.nBlockAlign = format.block_align;
  wave.wBitsPerSample = format.bits_per_sample;
  wave.cbSize = 0;

  DSBUFFERDESC description = {};
  description.dwSize = sizeof(description);
  description.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
  description.dwBufferBytes = bytes;
  description.dwReserved = 0;
  description.lpwfxFormat = &wave;

  IDirectSoundBuffer* buffer = nullptr;
  if (FAILED(to_device(device)->CreateSoundBuffer(&description, &buffer, nullptr))) {
    return nullptr;
  }
  return reinterpret_cast<plat_sound_buffer*>(buffer);
}

plat_result plat_lock_sound_buffer(plat_sound_buffer* buffer, std::uint32_t offset, std::uint32_t bytes, void** first,
                                   std::uint32_t* first_bytes, void** second, std::uint32_t* second_bytes) {
  DWORD first_size = 0;
  DWORD second_size = 0;
  *first = nullptr;
  *second = nullptr;
  const HRESULT result = to_buffer(buffer)->Lock(offset, bytes, first, &first_size, second, &second_size, 0);
  *first_bytes = FAILED(result) ? 0 : first_size;
  *second_bytes = FAILED(result) ? 0 : second_size;
  return result;
}

plat_result plat_unlock_sound_buffer(plat_sound_buffer* buffer, void* first, std::uint32_t first_bytes, void* second,
                                     std::uint32_t second_bytes) {
  return to_buffer(buffer)->Unlock(first, first_bytes, second, second_bytes);
}

plat_result plat_restore_sound_buffer(plat_sound_buffer* buffer) {
  return to_buffer(buffer)->Restore();
}

void plat_stop_sound(plat_sound_buffer* buffer) {
  to_buffer(buffer)->Stop();
}

void plat_set_sound_position(plat_sound_buffer* buffer, std::uint32_t position) {
  to_buffer(buffer)->SetCurrentPosition(position);
}

void plat_play_sound(plat_sound_buffer* buffer) {
  to_buffer(buffer)->Play(0, 0, 0);
}

void plat_release_sound_buffer(plat_sound_buffer* buffer) {
  if (buffer != nullptr) {
    to_buffer(buffer)->Release();
  }
}

// ---------------------------------------------------------------------------
// RIFF files through the multimedia file functions

// mmioOpen's own file opening goes through the old OpenFile, which takes the
// name in the machine's code page and gives up on full paths longer than 128
// characters: run from a Japanese folder on another Windows, or from a deep
// one anywhere, no sound would load. So the file is opened here with its wide
// name and mmio reads through the handle (the standard DOS I/O procedure
// takes an open handle in adwInfo[0] and closes it in mmioClose).
plat_riff_file* plat_riff_open(const char* file_name) {
  if (file_name == nullptr) {
    return nullptr;
  }
  const std::wstring wide_name = wide_from_sjis(file_name);
  if (wide_name.empty()) {
    return nullptr;
  }
  HANDLE handle = CreateFileW(wide_name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(handle, &size)) {
    CloseHandle(handle);
    return nullptr;
  }
  MMIOINFO info = {};
  info.fccIOProc = FOURCC_DOS;
  // Kernel handles keep their value within 32 bits, also on 64-bit Windows.
  info.adwInfo[0] = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(handle));
  HMMIO mmio = mmioOpenW(nullptr, &info, MMIO_ALLOCBUF | MMIO_READ);
  if (mmio == nullptr) {
    CloseHandle(handle);
    return nullptr;
  }
  plat_riff_file* file = new plat_riff_file;
  file->handle = mmio;
  // Chunk sizes are 32-bit; a larger file still holds at most that much.
  file->file_size = size.QuadPart > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size.QuadPart);
  return file;
}

bool plat_riff_find_form(plat_riff_file* file, const char form[4], plat_riff_chunk* chunk) {
  if (mmioSeek(file->handle, 0, SEEK_SET) != 0) {
    return false;
  }
  MMCKINFO info = {};
  info.fccType = to_fourcc(form);
  if (mmioDescend(file->handle, &info, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
    return false;
  }
  from_chunk_info(info, file->file_size, chunk);
  return true;
}

bool plat_riff_find_chunk(plat_riff_file* file, const plat_riff_chunk& parent, const char id[4],
                          plat_riff_chunk* chunk) {
  MMCKINFO parent_info = to_chunk_info(parent);
  MMCKINFO info = {};
  info.ckid = to_fourcc(id);
  if (mmioDescend(file->handle, &info, &parent_info, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
    return false;
  }
  from_chunk_info(info, file->file_size, chunk);
  return true;
}

std::int32_t plat_riff_read(plat_riff_file* file, void* data, std::int32_t bytes) {
  if (bytes < 0) {
    return -1;
  }
  return mmioRead(file->handle, static_cast<HPSTR>(data), bytes);
}

bool plat_riff_leave(plat_riff_file* file, const plat_riff_chunk& chunk) {
  MMCKINFO info = to_chunk_info(chunk);
  return mmioAscend(file->handle, &info, 0) == MMSYSERR_NOERROR;
}

void plat_riff_close(plat_riff_file* file) {
  if (file == nullptr) {
    return;
  }
  mmioClose(file->handle, 0);
  delete file;
}

// ---------------------------------------------------------------------------
// MCI

// Commands carry the program's directory, which is Shift-JIS like every text
// of the program; the wide MCI function takes it converted, so a Japanese
// path works on any Windows. The reply comes back in Shift-JIS.
std::uint32_t plat_send_music_command(const char* command, char* reply, std::uint32_t reply_size, plat_window* notify) {
  const std::wstring wide_command = wide_from_sjis(command);
  std::vector<wchar_t> wide_reply;
  if (reply != nullptr && reply_size > 0) {
    wide_reply.assign(reply_size, L'\0');
    reply[0] = '\0';
  }
  const MCIERROR result = mciSendStringW(wide_command.c_str(), wide_reply.empty() ? nullptr : wide_reply.data(),
                                         static_cast<UINT>(wide_reply.size()), to_hwnd(notify));
  if (!wide_reply.empty()) {
    wide_reply.back() = L'\0';
    const std::string bytes = sjis_from_wide(wide_reply.data());
    const std::size_t count = std::min<std::size_t>(bytes.size(), reply_size - 1);
    std::memcpy(reply, bytes.data(), count);
    reply[count] = '\0';
  }
  return result;
}

}  // namespace shindan
