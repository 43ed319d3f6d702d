// The portable WAV reader. It follows the chunk walk of the multimedia file
// functions: find the RIFF "WAVE" form from the start of the file, search
// its sub-chunks from the current position, read from where a search left
// off and leave a chunk at the end its size claims. Claimed sizes come from
// the file and are never trusted: searches stop at the end of the file,
// every step moves forward by at least a header, and a data chunk that
// claims more than the file holds is refused before memory is reserved.
#include "platform/common/wave.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/common/sjis.h"

namespace shindan {

namespace {

struct riff_file {
  std::FILE* file = nullptr;
  std::uint64_t size = 0;
};

struct chunk {
  std::uint32_t size = 0;       // data bytes the chunk claims
  std::uint32_t available = 0;  // data bytes of it the file really holds
  std::uint64_t data_offset = 0;
};

bool seek_to(riff_file* f, std::uint64_t offset) {
  return fseeko(f->file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::uint64_t position(riff_file* f) {
  const off_t p = ftello(f->file);
  return p < 0 ? f->size : static_cast<std::uint64_t>(p);
}

std::uint16_t le16(const unsigned char* b) {
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t le32(const unsigned char* b) {
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

struct header {
  char id[4];
  std::uint32_t size;
};

bool read_header(riff_file* f, std::uint64_t at, header* h) {
  unsigned char b[8];
  if (at + 8 > f->size || !seek_to(f, at) || std::fread(b, 1, 8, f->file) != 8)
    return false;
  std::memcpy(h->id, b, 4);
  h->size = le32(b + 4);
  return true;
}

// Where the chunk that starts at `at` with this size ends, its pad byte
// included.
std::uint64_t next_chunk(std::uint64_t at, std::uint32_t size) {
  return at + 8 + size + (size & 1u);
}

chunk describe(riff_file* f, std::uint64_t at, const header& h) {
  chunk c;
  c.size = h.size;
  c.data_offset = at + 8;
  const std::uint64_t held = f->size > at + 8 ? f->size - (at + 8) : 0;
  c.available = static_cast<std::uint32_t>(held < h.size ? held : h.size);
  return c;
}

bool find_wave_form(riff_file* f, chunk* form) {
  std::uint64_t at = 0;
  header h;
  while (read_header(f, at, &h)) {
    unsigned char type[4];
    if (std::memcmp(h.id, "RIFF", 4) == 0 && h.size >= 4 && std::fread(type, 1, 4, f->file) == 4 &&
        std::memcmp(type, "WAVE", 4) == 0) {
      *form = describe(f, at, h);
      // Inside a RIFF chunk the sub-chunks start after the form type.
      return seek_to(f, at + 12);
    }
    at = next_chunk(at, h.size);
  }
  return false;
}

// Searches parent's sub-chunks from the current position.
bool find_chunk(riff_file* f, const chunk& parent, const char id[4], chunk* found) {
  std::uint64_t end = parent.data_offset + parent.size;
  if (end > f->size)
    end = f->size;
  std::uint64_t at = position(f);
  header h;
  while (at + 8 <= end && read_header(f, at, &h)) {
    if (std::memcmp(h.id, id, 4) == 0) {
      *found = describe(f, at, h);
      return seek_to(f, at + 8);
    }
    at = next_chunk(at, h.size);
  }
  return false;
}

// The position goes to where the chunk claims to end, pad byte included,
// even past the end of a file that lies about the size: leaving succeeds as
// the multimedia file functions let it, and the search for the data chunk
// from there finds nothing, so a truncated file is refused at that step.
bool leave_chunk(riff_file* f, const chunk& c) {
  return seek_to(f, c.data_offset + c.size + (c.size & 1u));
}

// The extended wave format layout; only its first 16 bytes are used, but the
// full 18 are read, as the file functions happily read past a 16-byte chunk.
constexpr std::size_t format_record_bytes = 18;

plat_wave_stage read_open_file(riff_file* f, wave_format* format, std::vector<std::uint8_t>* bytes) {
  chunk form;
  if (!find_wave_form(f, &form))
    return plat_wave_stage::no_wave_form;
  chunk format_chunk;
  if (!find_chunk(f, form, "fmt ", &format_chunk))
    return plat_wave_stage::no_format_chunk;

  unsigned char raw[format_record_bytes] = {};
  if (std::fread(raw, 1, format_record_bytes, f->file) != format_record_bytes)
    return plat_wave_stage::short_format;
  wave_format read;
  read.format_tag = le16(raw + 0);
  read.channels = le16(raw + 2);
  read.samples_per_second = le32(raw + 4);
  read.average_bytes_per_second = le32(raw + 8);
  read.block_align = le16(raw + 12);
  read.bits_per_sample = le16(raw + 14);
  if (read.format_tag != 1)
    return plat_wave_stage::not_pcm;

  if (!leave_chunk(f, format_chunk))
    return plat_wave_stage::cannot_leave_format;
  chunk data;
  if (!find_chunk(f, form, "data", &data))
    return plat_wave_stage::no_data_chunk;

  // A header may claim far more data than the file holds; the read would fail
  // anyway, so refuse before reserving memory for the claim.
  if (data.available < data.size)
    return plat_wave_stage::short_data;
  std::vector<std::uint8_t> samples;
  try {
    samples.resize(data.size);
  } catch (const std::bad_alloc&) {
    return plat_wave_stage::short_data;
  }
  if (data.size > 0 && std::fread(samples.data(), 1, data.size, f->file) != data.size)
    return plat_wave_stage::short_data;
  *format = read;
  *bytes = std::move(samples);
  return plat_wave_stage::ready;
}

}  // namespace

plat_wave_stage read_wave_file(const char* file_name, wave_format* format, std::vector<std::uint8_t>* bytes) {
  std::string path;
  if (file_name == nullptr || !sjis_path(file_name, &path))
    return plat_wave_stage::cannot_open;
  riff_file f;
  f.file = std::fopen(path.c_str(), "rb");
  if (f.file == nullptr)
    return plat_wave_stage::cannot_open;
  if (fseeko(f.file, 0, SEEK_END) == 0) {
    const off_t end = ftello(f.file);
    f.size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  }
  seek_to(&f, 0);
  wave_format read;
  std::vector<std::uint8_t> samples;
  const plat_wave_stage stage = read_open_file(&f, &read, &samples);
  std::fclose(f.file);
  if (stage == plat_wave_stage::ready) {
    if (format != nullptr)
      *format = read;
    if (bytes != nullptr)
      *bytes = std::move(samples);
  }
  return stage;
}

plat_wave_stage read_sound_for_device(const char* file_name, bool device_open, const plat_sound* const* sound,
                                      wave_format* format, std::vector<std::uint8_t>* bytes) {
  const plat_wave_stage stage = read_wave_file(file_name, format, bytes);
  if (stage != plat_wave_stage::ready)
    return stage;
  if (!device_open || sound == nullptr || bytes->empty() || bytes->size() > max_sound_bytes)
    return plat_wave_stage::no_buffer;
  return plat_wave_stage::ready;
}

bool tune_path_fits(const char* path) {
  return path != nullptr && std::strlen(path) <= max_tune_path_bytes;
}

}  // namespace shindan
