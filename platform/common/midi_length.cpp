#include "platform/common/midi_length.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace shindan {

namespace {

constexpr std::uint32_t default_tempo = 500000;  // microseconds a beat: 120 beats a minute

struct reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;

  bool left(std::size_t n) const { return n <= size - at; }
  bool byte(std::uint8_t* out) {
    if (!left(1))
      return false;
    *out = data[at++];
    return true;
  }
  // A variable-length quantity: at most four bytes, seven bits each.
  bool quantity(std::uint32_t* out) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = 0;
      if (!byte(&b))
        return false;
      value = (value << 7) | (b & 0x7Fu);
      if ((b & 0x80) == 0) {
        *out = value;
        return true;
      }
    }
    return false;
  }
  bool skip(std::uint32_t n) {
    if (!left(n))
      return false;
    at += n;
    return true;
  }
};

std::uint32_t big_endian(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i)
    v = (v << 8) | p[i];
  return v;
}

struct tempo_change {
  std::uint64_t tick;
  std::uint32_t tempo;
};

// Walks one track; answers the tick of its end and adds its tempo changes.
std::uint64_t track_end(reader track, std::vector<tempo_change>* tempos) {
  std::uint64_t tick = 0;
  std::uint64_t last_whole = 0;
  std::uint8_t running = 0;
  for (;;) {
    std::uint32_t delta = 0;
    std::uint8_t status = 0;
    if (!track.quantity(&delta) || !track.byte(&status))
      return last_whole;
    tick += delta;
    if (status == 0xFF) {
      std::uint8_t type = 0;
      std::uint32_t length = 0;
      if (!track.byte(&type) || !track.quantity(&length) || !track.left(length))
        return last_whole;
      if (type == 0x2F)
        return tick;
      if (type == 0x51 && length == 3)
        tempos->push_back({tick, big_endian(track.data + track.at, 3)});
      track.skip(length);
      running = 0;
    } else if (status == 0xF0 || status == 0xF7) {
      std::uint32_t length = 0;
      if (!track.quantity(&length) || !track.skip(length))
        return last_whole;
      running = 0;
    } else {
      std::uint32_t data_bytes = 0;
      if (status < 0x80) {
        if (running == 0)
          return last_whole;  // data with no status to run on
        --track.at;           // the byte read is the first data byte
        status = running;
      } else if (status >= 0xF0) {
        return last_whole;  // a system message has no place in a file
      }
      running = status;
      const std::uint8_t kind = status & 0xF0;
      data_bytes = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
      if (!track.skip(data_bytes))
        return last_whole;
    }
    last_whole = tick;
  }
}

// The music inside a RIFF "RMID" file, or the bytes as they are.
reader music_of(const std::uint8_t* data, std::size_t size) {
  if (size < 12 || big_endian(data, 4) != 0x52494646u || big_endian(data + 8, 4) != 0x524D4944u)
    return reader{data, size};
  std::size_t at = 12;
  while (size - at >= 8) {
    const std::uint32_t id = big_endian(data + at, 4);
    const std::uint32_t length =
        data[at + 4] | (data[at + 5] << 8) | (data[at + 6] << 16) | (static_cast<std::uint32_t>(data[at + 7]) << 24);
    at += 8;
    if (id == 0x64617461u)  // "data"
      return reader{data + at, std::min<std::size_t>(length, size - at)};
    if (length > size - at)
      break;
    at += length + (length & 1);
    if (at > size)
      break;
  }
  return reader{data, 0};
}

}  // namespace

std::uint32_t midi_end_ms(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr)
    return 0;
  reader file = music_of(data, size);
  if (!file.left(14) || big_endian(file.data, 4) != 0x4D546864u)  // "MThd"
    return 0;
  const std::uint32_t header_length = big_endian(file.data + 4, 4);
  if (header_length < 6 || !file.skip(8) || !file.left(header_length))
    return 0;
  const std::uint32_t tracks = big_endian(file.data + 10, 2);
  const std::uint32_t division = big_endian(file.data + 12, 2);
  file.skip(header_length);
  if (division == 0 || tracks == 0)
    return 0;

  std::vector<tempo_change> tempos;
  std::uint64_t end = 0;
  bool any_track = false;
  for (std::uint32_t found = 0; found < tracks && file.left(8);) {
    const std::uint32_t id = big_endian(file.data + file.at, 4);
    const std::uint32_t length = big_endian(file.data + file.at + 4, 4);
    file.skip(8);
    // A chunk longer than the file: its track runs to the file's end.
    const std::size_t held = std::min<std::size_t>(length, file.size - file.at);
    if (id == 0x4D54726Bu) {  // "MTrk"
      end = std::max(end, track_end(reader{file.data + file.at, held}, &tempos));
      any_track = true;
      ++found;
    }
    file.skip(static_cast<std::uint32_t>(held));
  }
  if (!any_track)
    return 0;

  double ms = 0;
  if ((division & 0x8000) != 0) {
    // Frames a second and ticks a frame; -29 stands for 29.97.
    const int frames = 256 - static_cast<int>(division >> 8);
    const double rate = frames == 29 ? 29.97 : frames;
    const std::uint32_t per_frame = division & 0xFF;
    if (per_frame == 0 || frames <= 0)
      return 0;
    ms = static_cast<double>(end) * 1000.0 / (rate * per_frame);
  } else {
    // Tempo changes of every track hold for all of them, in the order of
    // their ticks; at the same tick the later track's wins.
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const tempo_change& a, const tempo_change& b) { return a.tick < b.tick; });
    std::uint64_t tick = 0;
    double tempo = default_tempo;
    for (const tempo_change& t : tempos) {
      if (t.tick >= end)
        break;
      ms += static_cast<double>(t.tick - tick) * tempo / division / 1000.0;
      tick = t.tick;
      tempo = t.tempo;
    }
    ms += static_cast<double>(end - tick) * tempo / division / 1000.0;
  }
  return ms >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(std::lround(ms));
}

}  // namespace shindan
