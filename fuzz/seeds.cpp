// Writes the fuzzers' starting files: small bitmaps of every depth, header
// and compression the decoder knows, WAV files laid out the ways the loader
// meets them (extra chunks, odd sizes, a foreign format, cut short), MIDI
// files whose end of track is read (tempo changes, running status, time code,
// RIFF wrapping), and words files as the generator writes them and as hands
// and editors leave them.
//
//   shindan-fuzz-seeds DIR   writes DIR/bmp/*, DIR/wav/*, DIR/midi/* and DIR/words/*
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/bmp_bytes.h"
#include "tests/support/files.h"

namespace {

using namespace shindan::testing_files;

// A bitmap whose colour count is its table's length.
struct bitmap {
  std::uint32_t header_size;
  std::int32_t width, height;
  std::uint16_t bit_count;
  std::uint32_t compression;
  std::vector<std::uint32_t> palette, masks;
  bytes pixels;
};
bytes seed(const bitmap& m) {
  shindan::bmp_test::bmp_fields f;
  f.header_size = m.header_size;
  f.width = m.width;
  f.height = m.height;
  f.bit_count = m.bit_count;
  f.compression = m.compression;
  f.colours_used = static_cast<std::uint32_t>(m.palette.size());
  f.palette = m.palette;
  f.masks = m.masks;
  f.pixels = m.pixels;
  return shindan::bmp_test::make_bmp(f);
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

  out.push_back({"rgb24.bmp", seed({40, 3, 2, 24, 0, {}, {}, pattern_rows(9, 2)})});
  out.push_back({"topdown24.bmp", seed({40, 3, -2, 24, 0, {}, {}, pattern_rows(9, 2)})});
  out.push_back({"rgb32.bmp", seed({40, 2, 2, 32, 0, {}, {}, pattern_rows(8, 2)})});
  out.push_back({"rgb16.bmp", seed({40, 3, 2, 16, 0, {}, {}, pattern_rows(6, 2)})});
  out.push_back({"fields16.bmp", seed({40, 3, 2, 16, 3, {}, {0xF800, 0x07E0, 0x001F}, pattern_rows(6, 2)})});
  out.push_back({"fields32.bmp", seed({40, 2, 2, 32, 3, {}, {0xFF0000, 0x00FF00, 0x0000FF}, pattern_rows(8, 2)})});
  out.push_back({"v5fields.bmp", seed({124, 2, 2, 16, 3, {}, {0x7C00, 0x03E0, 0x001F}, pattern_rows(4, 2)})});
  out.push_back({"mono.bmp", seed({40, 9, 2, 1, 0, {0x000000, 0xFFFFFF}, {}, pattern_rows(2, 2)})});
  out.push_back({"pal4.bmp", seed({40, 5, 2, 4, 0, grey16, {}, pattern_rows(3, 2)})});
  out.push_back({"pal8.bmp", seed({40, 3, 2, 8, 0, grey256, {}, pattern_rows(3, 2)})});
  out.push_back({"core8.bmp", seed({12, 3, 2, 8, 0, grey4, {}, pattern_rows(3, 2)})});
  out.push_back({"core24.bmp", seed({12, 3, 2, 24, 0, {}, {}, pattern_rows(9, 2)})});
  // Run-length files: runs, literal groups, a move, line and file ends.
  out.push_back(
      {"rle8.bmp", seed({40, 8, 3, 8, 1, grey4, {}, {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 1, 4, 2, 0, 0, 0, 1}})});
  out.push_back({"rle4.bmp", seed({40, 8, 2, 4, 2, grey16, {}, {4, 0x12, 0, 4, 0x34, 0x56, 0, 0, 8, 0x77, 0, 1}})});
  return out;
}

std::vector<std::pair<std::string, bytes>> waves() {
  const bytes samples = pattern_rows(33, 1);
  const bytes plain = wave({chunk("fmt ", format_body(1, 1, 11025, 8)), chunk("data", samples)});
  bytes extended = format_body(1, 2, 22050, 16);
  extended.insert(extended.end(), {0, 0});
  bytes cut = plain;
  cut.resize(cut.size() - 20);
  return {
      {"pcm8.wav", plain},
      {"pcm16.wav", wave({chunk("fmt ", extended), chunk("data", pattern_rows(64, 1))})},
      {"chunks.wav",
       wave({chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 1, 0, 0, 0, 'x', 0}),
             chunk("fmt ", format_body(1, 1, 8000, 8)), chunk("fact", {1, 0, 0, 0}), chunk("data", samples)})},
      {"adpcm.wav", wave({chunk("fmt ", format_body(2, 1, 8000, 4)), chunk("data", samples)})},
      {"cut.wav", cut},
  };
}

// A MIDI chunk: four letters and a big-endian length.
bytes midi_chunk(const char* id, const bytes& body) {
  bytes out(id, id + 4);
  const auto n = static_cast<std::uint32_t>(body.size());
  out.insert(out.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                         static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

bytes midi_file(std::uint8_t format, std::uint8_t division_high, std::uint8_t division_low,
                const std::vector<bytes>& tracks) {
  bytes out = midi_chunk("MThd", {0, format, 0, static_cast<std::uint8_t>(tracks.size()), division_high, division_low});
  for (const bytes& track : tracks) {
    const bytes chunk = midi_chunk("MTrk", track);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

std::vector<std::pair<std::string, bytes>> midis() {
  // Program change, a note with running status, a text event, a system
  // exclusive message, and a rest before the end of track.
  const bytes notes = {0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x64, 0x30, 0x3C, 0x00, 0x00, 0xFF, 0x01,
                       0x02, 'h',  'i',  0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x81, 0x70, 0xFF, 0x2F, 0x00};
  const bytes tempos = {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x60, 0xFF,
                        0x51, 0x03, 0x03, 0xD0, 0x90, 0x00, 0xFF, 0x2F, 0x00};
  const bytes smf = midi_file(0, 0, 96, {notes});
  bytes rmid = {'R', 'I', 'F', 'F', static_cast<std::uint8_t>(smf.size() + 12), 0, 0, 0, 'R', 'M', 'I', 'D',
                'd', 'a', 't', 'a', static_cast<std::uint8_t>(smf.size()),      0, 0, 0};
  rmid.insert(rmid.end(), smf.begin(), smf.end());
  bytes cut = smf;
  cut.resize(cut.size() - 5);
  return {
      {"format0.mid", smf},
      {"tempos.mid", midi_file(1, 0, 96, {tempos, notes})},
      {"timecode.mid", midi_file(0, 0xE7, 0x28, {notes})},
      {"rmid.rmi", rmid},
      {"cut.mid", cut},
  };
}

std::vector<std::pair<std::string, std::string>> words_files() {
  return {
      {"pack.txt",
       "# words\nlanguage=ja\ntitle=\xE6\xB7\xB1\xE5\xB1\xA4\nmessage2=a\nmessage2=b\nq001=Q\nq001=A0\n"
       "q001=A1\nq001=A2\nscore={label}, {score}\n"},
      {"windows.txt", "\xEF\xBB\xBFtitle=x\r\nprompt=y\r\n"},
      {"broken.txt", "title=\xC0\xAF\xED\xA0\x80\nno key\n=x\n\xF4\x90\x80\x80=y\nz=\xE3\x81"},
  };
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
  std::filesystem::remove_all(dir / "midi", error);
  std::filesystem::remove_all(dir / "words", error);
  std::filesystem::create_directories(dir / "bmp", error);
  std::filesystem::create_directories(dir / "wav", error);
  std::filesystem::create_directories(dir / "midi", error);
  std::filesystem::create_directories(dir / "words", error);
  bool ok = true;
  for (const auto& [name, b] : bitmaps())
    ok = write_bytes((dir / "bmp" / name).string(), b) && ok;
  for (const auto& [name, b] : waves())
    ok = write_bytes((dir / "wav" / name).string(), b) && ok;
  for (const auto& [name, b] : midis())
    ok = write_bytes((dir / "midi" / name).string(), b) && ok;
  for (const auto& [name, text] : words_files())
    ok = write_bytes((dir / "words" / name).string(), bytes(text.begin(), text.end())) && ok;
  return ok ? 0 : 1;
}
