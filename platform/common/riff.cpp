// RIFF files read chunk by chunk, the way the multimedia file functions do
// it: descend into a chunk by searching for its identifier, read from where
// the search left off, ascend to the chunk's end. Claimed sizes come from
// the file and are never trusted: searches stop at the end of the file,
// every step moves forward by at least a header, and each chunk reports how
// many of its bytes the file really holds.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/common/sjis.h"
#include "platform/platform.h"

namespace shindan {

struct plat_riff_file {
  std::FILE* file = nullptr;
  std::uint64_t size = 0;
};

namespace {

bool seek_to(plat_riff_file* f, std::uint64_t offset) {
  return fseeko(f->file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::uint64_t position(plat_riff_file* f) {
  const off_t p = ftello(f->file);
  return p < 0 ? f->size : static_cast<std::uint64_t>(p);
}

std::uint32_t le32(const unsigned char* b) {
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

struct header {
  char id[4];
  std::uint32_t size;
};

bool read_header(plat_riff_file* f, std::uint64_t at, header* h) {
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

void describe(plat_riff_file* f, std::uint64_t at, const header& h, plat_riff_chunk* chunk) {
  std::memcpy(chunk->id, h.id, 4);
  std::memset(chunk->form, 0, 4);
  chunk->size = h.size;
  chunk->data_offset = static_cast<std::uint32_t>(at + 8);
  const std::uint64_t held = f->size > at + 8 ? f->size - (at + 8) : 0;
  chunk->available = static_cast<std::uint32_t>(held < h.size ? held : h.size);
}

}  // namespace

plat_riff_file* plat_riff_open(const char* file_name) {
  std::string path;
  if (!sjis_path(file_name, &path))
    return nullptr;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    return nullptr;
  auto* f = new plat_riff_file;
  f->file = file;
  if (fseeko(file, 0, SEEK_END) == 0) {
    const off_t end = ftello(file);
    f->size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  }
  seek_to(f, 0);
  return f;
}

void plat_riff_close(plat_riff_file* file) {
  if (!file)
    return;
  std::fclose(file->file);
  delete file;
}

bool plat_riff_find_form(plat_riff_file* file, const char form[4], plat_riff_chunk* chunk) {
  if (!file || !form || !chunk)
    return false;
  std::uint64_t at = 0;
  header h;
  while (read_header(file, at, &h)) {
    unsigned char type[4];
    if (std::memcmp(h.id, "RIFF", 4) == 0 && h.size >= 4 && std::fread(type, 1, 4, file->file) == 4 &&
        std::memcmp(type, form, 4) == 0) {
      describe(file, at, h, chunk);
      std::memcpy(chunk->form, type, 4);
      // Inside a RIFF chunk the sub-chunks start after the form type.
      return seek_to(file, at + 12);
    }
    at = next_chunk(at, h.size);
  }
  return false;
}

bool plat_riff_find_chunk(plat_riff_file* file, const plat_riff_chunk& parent, const char id[4],
                          plat_riff_chunk* chunk) {
  if (!file || !id || !chunk)
    return false;
  std::uint64_t end = static_cast<std::uint64_t>(parent.data_offset) + parent.size;
  if (end > file->size)
    end = file->size;
  std::uint64_t at = position(file);
  header h;
  while (at + 8 <= end && read_header(file, at, &h)) {
    if (std::memcmp(h.id, id, 4) == 0) {
      describe(file, at, h, chunk);
      return seek_to(file, at + 8);
    }
    at = next_chunk(at, h.size);
  }
  return false;
}

std::int32_t plat_riff_read(plat_riff_file* file, void* data, std::int32_t bytes) {
  if (!file || bytes < 0 || (!data && bytes > 0))
    return -1;
  if (bytes == 0)
    return 0;
  const std::size_t got = std::fread(data, 1, static_cast<std::size_t>(bytes), file->file);
  if (got == 0 && std::ferror(file->file)) {
    std::clearerr(file->file);
    return -1;
  }
  std::clearerr(file->file);
  return static_cast<std::int32_t>(got);
}

bool plat_riff_leave(plat_riff_file* file, const plat_riff_chunk& chunk) {
  if (!file)
    return false;
  // The position goes to where the chunk claims to end, pad byte included,
  // even past the end of a file that lies about the size: leaving succeeds
  // as the multimedia file functions let it, and the next search or read
  // from there finds nothing, so a truncated file is refused at that step.
  const std::uint64_t end = static_cast<std::uint64_t>(chunk.data_offset) + chunk.size + (chunk.size & 1u);
  return seek_to(file, end);
}

}  // namespace shindan
