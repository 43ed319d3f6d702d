// Writes the fuzzers' starting files: small bitmaps of every depth, header
// and compression the decoder knows, and WAV files laid out the ways the
// loader meets them (extra chunks, odd sizes, a foreign format, cut short).
//
//   shindan-fuzz-seeds DIR   writes DIR/bmp/* and DIR/wav/*
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

void put16(bytes* b, std::uint32_t v) {
  b->push_back(static_cast<std::uint8_t>(v));
  b->push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(bytes* b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void append(bytes* b, const bytes& more) {
  b->insert(b->end(), more.begin(), more.end());
}

bool write(const std::filesystem::path& path, const bytes& b) {
  std::FILE* f = std::fopen(path.string().c_str(), "wb");
  if (f == nullptr)
    return false;
  const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  return std::fclose(f) == 0 && ok;
}

struct bitmap {
  std::uint32_t header_size = 40;
  std::int32_t width = 3;
  std::int32_t height = 2;
  std::uint16_t bit_count = 24;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::vector<std::uint32_t> masks;    // after the 40-byte header
  bytes pixels;
};

bytes make_bitmap(const bitmap& m) {
  const bool core = m.header_size == 12;
  bytes info;
  put32(&info, m.header_size);
  if (core) {
    put16(&info, static_cast<std::uint32_t>(m.width));
    put16(&info, static_cast<std::uint32_t>(m.height));
    put16(&info, 1);
    put16(&info, m.bit_count);
  } else {
    put32(&info, static_cast<std::uint32_t>(m.width));
    put32(&info, static_cast<std::uint32_t>(m.height));
    put16(&info, 1);
    put16(&info, m.bit_count);
    put32(&info, m.compression);
    put32(&info, static_cast<std::uint32_t>(m.pixels.size()));
    put32(&info, 2835);
    put32(&info, 2835);
    put32(&info, static_cast<std::uint32_t>(m.palette.size()));
    put32(&info, 0);
    for (std::uint32_t mask : m.masks)
      put32(&info, mask);
    while (info.size() < m.header_size)
      info.push_back(0);
  }
  for (std::uint32_t c : m.palette) {
    info.push_back(static_cast<std::uint8_t>(c));
    info.push_back(static_cast<std::uint8_t>(c >> 8));
    info.push_back(static_cast<std::uint8_t>(c >> 16));
    if (!core)
      info.push_back(0);
  }
  bytes file = {'B', 'M'};
  put32(&file, static_cast<std::uint32_t>(14 + info.size() + m.pixels.size()));
  put32(&file, 0);
  put32(&file, static_cast<std::uint32_t>(14 + info.size()));
  append(&file, info);
  append(&file, m.pixels);
  return file;
}

// Rows of the given byte count, each padded to four bytes, filled with a
// pattern so that no two pixels look alike.
bytes pattern_rows(std::uint32_t row_bytes, std::uint32_t rows) {
  bytes b;
  const std::uint32_t padded = (row_bytes + 3) & ~3u;
  for (std::uint32_t r = 0; r < rows; ++r) {
    for (std::uint32_t i = 0; i < padded; ++i)
      b.push_back(i < row_bytes ? static_cast<std::uint8_t>(37 * r + 11 * i + 1) : 0);
  }
  return b;
}

std::vector<std::pair<std::string, bytes>> bitmaps() {
  std::vector<std::pair<std::string, bytes>> out;
  const std::vector<std::uint32_t> grey4 = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};
  std::vector<std::uint32_t> grey16, grey256;
  for (std::uint32_t i = 0; i < 16; ++i)
    grey16.push_back(i * 0x111111);
  for (std::uint32_t i = 0; i < 256; ++i)
    grey256.push_back(i * 0x010101);

  out.push_back({"rgb24.bmp", make_bitmap({40, 3, 2, 24, 0, {}, {}, pattern_rows(9, 2)})});
  out.push_back({"topdown24.bmp", make_bitmap({40, 3, -2, 24, 0, {}, {}, pattern_rows(9, 2)})});
  out.push_back({"rgb32.bmp", make_bitmap({40, 2, 2, 32, 0, {}, {}, pattern_rows(8, 2)})});
  out.push_back({"rgb16.bmp", make_bitmap({40, 3, 2, 16, 0, {}, {}, pattern_rows(6, 2)})});
  out.push_back({"fields16.bmp", make_bitmap({40, 3, 2, 16, 3, {}, {0xF800, 0x07E0, 0x001F}, pattern_rows(6, 2)})});
  out.push_back(
      {"fields32.bmp", make_bitmap({40, 2, 2, 32, 3, {}, {0xFF0000, 0x00FF00, 0x0000FF}, pattern_rows(8, 2)})});
  out.push_back({"v5fields.bmp", make_bitmap({124, 2, 2, 16, 3, {}, {0x7C00, 0x03E0, 0x001F}, pattern_rows(4, 2)})});
  out.push_back({"mono.bmp", make_bitmap({40, 9, 2, 1, 0, {0x000000, 0xFFFFFF}, {}, pattern_rows(2, 2)})});
  out.push_back({"pal4.bmp", make_bitmap({40, 5, 2, 4, 0, grey16, {}, pattern_rows(3, 2)})});
  out.push_back({"pal8.bmp", make_bitmap({40, 3, 2, 8, 0, grey256, {}, pattern_rows(3, 2)})});
  out.push_back({"core8.bmp", make_bitmap({12, 3, 2, 8, 0, grey4, {}, pattern_rows(3, 2)})});
  out.push_back({"core24.bmp", make_bitmap({12, 3, 2, 24, 0, {}, {}, pattern_rows(9, 2)})});
  // Run-length files: runs, literal groups, a move, line and file ends.
  out.push_back({"rle8.bmp", make_bitmap({40, 8, 3, 8, 1, grey4, {}, {3, 1, 0, 3, 2, 3, 1, 0, 0, 0,
                                                                      0, 2, 2, 1, 4, 2, 0, 0, 0, 1}})});
  out.push_back(
      {"rle4.bmp", make_bitmap({40, 8, 2, 4, 2, grey16, {}, {4, 0x12, 0, 4, 0x34, 0x56, 0, 0, 8, 0x77, 0, 1}})});
  return out;
}

bytes chunk(const char id[4], const bytes& body) {
  bytes b(id, id + 4);
  put32(&b, static_cast<std::uint32_t>(body.size()));
  append(&b, body);
  if (body.size() % 2 == 1)
    b.push_back(0);
  return b;
}

bytes format_body(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, bool extended) {
  bytes b;
  put16(&b, tag);
  put16(&b, channels);
  put32(&b, rate);
  put32(&b, rate * channels * bits / 8);
  put16(&b, static_cast<std::uint16_t>(channels * bits / 8));
  put16(&b, bits);
  if (extended)
    put16(&b, 0);
  return b;
}

bytes riff(const bytes& inside) {
  bytes b = {'R', 'I', 'F', 'F'};
  put32(&b, static_cast<std::uint32_t>(4 + inside.size()));
  b.insert(b.end(), {'W', 'A', 'V', 'E'});
  append(&b, inside);
  return b;
}

std::vector<std::pair<std::string, bytes>> waves() {
  const bytes samples = pattern_rows(33, 1);
  std::vector<std::pair<std::string, bytes>> out;
  bytes plain = chunk("fmt ", format_body(1, 1, 11025, 8, false));
  append(&plain, chunk("data", samples));
  out.push_back({"pcm8.wav", riff(plain)});

  bytes stereo = chunk("fmt ", format_body(1, 2, 22050, 16, true));
  append(&stereo, chunk("data", pattern_rows(64, 1)));
  out.push_back({"pcm16.wav", riff(stereo)});

  bytes extra = chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 1, 0, 0, 0, 'x', 0});
  append(&extra, chunk("fmt ", format_body(1, 1, 8000, 8, false)));
  append(&extra, chunk("fact", {1, 0, 0, 0}));
  append(&extra, chunk("data", samples));
  out.push_back({"chunks.wav", riff(extra)});

  bytes foreign = chunk("fmt ", format_body(2, 1, 8000, 4, true));
  append(&foreign, chunk("data", samples));
  out.push_back({"adpcm.wav", riff(foreign)});

  bytes cut = riff(plain);
  cut.resize(cut.size() - 20);
  out.push_back({"cut.wav", cut});
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shindan-fuzz-seeds DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code error;
  // Whatever a fuzzer added to the folders last time goes.
  std::filesystem::remove_all(dir / "bmp", error);
  std::filesystem::remove_all(dir / "wav", error);
  std::filesystem::create_directories(dir / "bmp", error);
  std::filesystem::create_directories(dir / "wav", error);
  bool ok = true;
  for (const auto& [name, b] : bitmaps())
    ok = write(dir / "bmp" / name, b) && ok;
  for (const auto& [name, b] : waves())
    ok = write(dir / "wav" / name, b) && ok;
  return ok ? 0 : 1;
}
