#include "sound_files.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace shindan::test {

void put_u16(bytes* out, std::uint32_t value) {
  out->push_back(static_cast<std::uint8_t>(value));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void put_u32(bytes* out, std::uint32_t value) {
  put_u16(out, value & 0xFFFFu);
  put_u16(out, value >> 16);
}

void put_text(bytes* out, const char* four) {
  for (int i = 0; i < 4; ++i)
    out->push_back(static_cast<std::uint8_t>(four[i]));
}

bytes chunk_claiming(const char* id, std::uint32_t claimed_size, const bytes& body) {
  bytes out;
  put_text(&out, id);
  put_u32(&out, claimed_size);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 == 1)
    out.push_back(0);
  return out;
}

bytes chunk(const char* id, const bytes& body) {
  return chunk_claiming(id, static_cast<std::uint32_t>(body.size()), body);
}

bytes format_body(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  bytes out;
  const std::uint32_t align = channels * bits / 8u;
  put_u16(&out, tag);
  put_u16(&out, channels);
  put_u32(&out, rate);
  put_u32(&out, rate * align);
  put_u16(&out, align);
  put_u16(&out, bits);
  return out;
}

bytes riff(const char* form, const std::vector<bytes>& chunks) {
  bytes body;
  put_text(&body, form);
  for (const bytes& c : chunks)
    body.insert(body.end(), c.begin(), c.end());
  bytes out;
  put_text(&out, "RIFF");
  put_u32(&out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

bytes wave(const std::vector<bytes>& chunks) {
  return riff("WAVE", chunks);
}

namespace {

// Kept in a plain array: the removal at exit runs after static strings have
// been destroyed.
char temp_dir_path[4096] = {};

const char* temp_dir() {
  if (temp_dir_path[0] == '\0') {
    const std::string pattern = (std::filesystem::temp_directory_path() / "shindan-sound-XXXXXX").string();
    if (pattern.size() >= sizeof temp_dir_path)
      std::abort();
    pattern.copy(temp_dir_path, pattern.size());
    if (mkdtemp(temp_dir_path) == nullptr)
      std::abort();
    std::atexit([] { std::filesystem::remove_all(temp_dir_path); });
  }
  return temp_dir_path;
}

}  // namespace

std::string temp_path(const std::string& name) {
  return std::string(temp_dir()) + "/" + name;
}

std::string write_file(const std::string& name, const bytes& contents) {
  const std::string path = temp_path(name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    std::abort();
  if (!contents.empty())
    std::fwrite(contents.data(), 1, contents.size(), file);
  std::fclose(file);
  return path;
}

}  // namespace shindan::test
