// The three tunes as General MIDI files (format 1). Each is written out as
// melody, chords, bass and drum parts over a fixed chord progression, and
// every note ends by the last bar line so the sequencer's restart from the
// top joins without a gap or a hanging note.
#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "tools/assetgen/assetgen.h"

namespace shindan::assetgen {

namespace {

constexpr std::uint32_t ticks_per_beat = 480;
constexpr std::uint32_t bar_ticks = ticks_per_beat * 4;
constexpr std::uint32_t eighth = ticks_per_beat / 2;
constexpr std::uint32_t sixteenth = ticks_per_beat / 4;

struct note {
  std::uint32_t start;
  std::uint32_t length;
  int key;
  int velocity;
};

struct part {
  std::string name;
  int channel;
  int program;  // -1: drums, no program change
  int volume;
  int pan;
  int reverb;
  std::vector<note> notes;
};

struct tune {
  std::string name;
  int bpm;
  int bars;
  std::vector<part> parts;
};

std::vector<std::string> words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> out;
  std::string w;
  while (in >> w) {
    if (w != "|") {
      out.push_back(w);
    }
  }
  return out;
}

int pitch_class(const std::string& s, std::size_t* used) {
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // a..g
  int pc = base[s.at(0) - 'a'];
  std::size_t i = 1;
  if (i < s.size() && s[i] == '#') {
    ++pc;
    ++i;
  } else if (i < s.size() && s[i] == 'b') {
    --pc;
    ++i;
  }
  *used = i;
  return (pc + 12) % 12;
}

// "c#5" -> 73 (middle C is c4 = 60).
int key_of(const std::string& s) {
  std::size_t used = 0;
  std::string lower = s;
  lower[0] = static_cast<char>(lower[0] | 0x20);
  const int pc = pitch_class(lower, &used);
  const int octave = std::stoi(lower.substr(used));
  return 12 * (octave + 1) + pc;
}

struct chord {
  int root;
  std::vector<int> tones;  // pitch classes, root first
};

chord chord_of(const std::string& name) {
  std::string lower = name;
  lower[0] = static_cast<char>(lower[0] | 0x20);
  std::size_t used = 0;
  const int root = pitch_class(lower, &used);
  const std::string q = name.substr(used);
  std::vector<int> steps;
  if (q.empty()) {
    steps = {0, 4, 7};
  } else if (q == "m") {
    steps = {0, 3, 7};
  } else if (q == "7") {
    steps = {0, 4, 7, 10};
  } else if (q == "m7") {
    steps = {0, 3, 7, 10};
  } else if (q == "maj7") {
    steps = {0, 4, 7, 11};
  } else if (q == "m7b5") {
    steps = {0, 3, 6, 10};
  } else if (q == "sus4") {
    steps = {0, 5, 7};
  } else if (q == "add9") {
    steps = {0, 4, 7, 14};
  } else {
    throw std::runtime_error("unknown chord " + name);
  }
  chord c{root, {}};
  for (int s : steps) {
    c.tones.push_back((root + s) % 12);
  }
  return c;
}

// The lowest key of the pitch class at or above `low`.
int place(int pc, int low) {
  return low + ((pc - low) % 12 + 12) % 12;
}

int humanise(int velocity, std::uint32_t tick, int key) {
  const float jitter = hash01(static_cast<int>(tick), key, 5) - 0.5f;
  return std::clamp(velocity + static_cast<int>(jitter * 10), 1, 127);
}

void add(part& p, std::uint32_t start, std::uint32_t length, int key, int velocity) {
  p.notes.push_back(note{start, length, key, humanise(velocity, start, key)});
}

// "a4:2 c5:2 r:1 ..." with lengths in eighths, starting at the bar.
void melody(part& p, int bar, const std::string& text, int velocity, int transpose = 0) {
  std::uint32_t tick = static_cast<std::uint32_t>(bar) * bar_ticks;
  for (const std::string& w : words(text)) {
    const auto colon = w.find(':');
    const std::string name = w.substr(0, colon);
    const auto length = static_cast<std::uint32_t>(std::stod(w.substr(colon + 1)) * eighth);
    if (name != "r") {
      add(p, tick, length - length / 16, key_of(name) + transpose, velocity);
    }
    tick += length;
  }
}

// Sustained chords, one a bar, in close position from `low`.
void pad(part& p, int bar, const std::string& progression, int low, int velocity) {
  for (const std::string& name : words(progression)) {
    for (int pc : chord_of(name).tones) {
      add(p, static_cast<std::uint32_t>(bar) * bar_ticks, bar_ticks - 20, place(pc, low), velocity);
    }
    ++bar;
  }
}

// One bar of bass in eighths: R root, O octave, 5 fifth, 3 third, '-' holds
// the note before, '.' rests.
void bass(part& p, int bar, const std::string& progression, const std::string& pattern, int low, int velocity,
          float staccato = 1.0f) {
  for (const std::string& name : words(progression)) {
    const chord c = chord_of(name);
    const int root = place(c.root, low);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      int key = -1;
      switch (pattern[i]) {
        case 'R':
          key = root;
          break;
        case 'O':
          key = root + 12;
          break;
        case '5':
          key = root + 7;
          break;
        case '3':
          key = place(c.tones[1], root);
          break;
        default:
          break;
      }
      if (key < 0) {
        continue;
      }
      std::size_t steps = 1;
      while (i + steps < pattern.size() && pattern[i + steps] == '-') {
        ++steps;
      }
      const auto length = static_cast<std::uint32_t>(steps * eighth * staccato) - 10;
      const int accent = i == 0 ? 12 : 0;
      add(p, static_cast<std::uint32_t>(bar) * bar_ticks + static_cast<std::uint32_t>(i) * eighth, length, key,
          velocity + accent);
    }
    ++bar;
  }
}

// Broken chords: each step plays chord tone `order[i]` (counting upwards
// through the octaves from `low`), every `step` ticks through the bar.
void arpeggio(part& p, int bar, const std::string& progression, std::uint32_t step, const std::vector<int>& order,
              int low, int velocity) {
  for (const std::string& name : words(progression)) {
    const chord c = chord_of(name);
    std::vector<int> ladder;
    int floor = low;
    for (int octave = 0; octave < 3; ++octave) {
      for (int pc : c.tones) {
        ladder.push_back(place(pc, floor));
      }
      floor += 12;
    }
    std::sort(ladder.begin(), ladder.end());
    for (std::uint32_t t = 0, i = 0; t < bar_ticks; t += step, ++i) {
      const int key = ladder[static_cast<std::size_t>(order[i % order.size()]) % ladder.size()];
      const int lilt = (t % ticks_per_beat == 0) ? 8 : 0;
      add(p, static_cast<std::uint32_t>(bar) * bar_ticks + t, step * 2 - 10, key, velocity + lilt);
    }
    ++bar;
  }
}

struct drum_line {
  int key;
  std::string hits;  // 16 steps: '.' none, 'o' soft, 'x' normal, 'X' accented
};

void drums(part& p, int bar, int count, const std::vector<drum_line>& lines) {
  for (int b = bar; b < bar + count; ++b) {
    for (const drum_line& line : lines) {
      for (std::size_t i = 0; i < line.hits.size() && i < 16; ++i) {
        const char h = line.hits[i];
        const int velocity = h == 'o' ? 42 : h == 'x' ? 72 : h == 'X' ? 100 : 0;
        if (velocity > 0) {
          add(p, static_cast<std::uint32_t>(b) * bar_ticks + static_cast<std::uint32_t>(i) * sixteenth, 60, line.key,
              velocity);
        }
      }
    }
  }
}

// ---- the file

void put_vlq(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t bytes[5];
  int n = 0;
  bytes[n++] = v & 0x7F;
  while ((v >>= 7) != 0) {
    bytes[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
  }
  while (n > 0) {
    out.push_back(bytes[--n]);
  }
}

void put_be(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
  }
}

struct event {
  std::uint32_t tick;
  int order;  // at one tick: set-up, then note-offs, then note-ons
  std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> meta(std::uint8_t type, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out{0xFF, type};
  put_vlq(out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<std::uint8_t> text_bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

std::vector<std::uint8_t> track_chunk(std::vector<event> events, std::uint32_t end_tick) {
  std::stable_sort(events.begin(), events.end(), [](const event& a, const event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::vector<std::uint8_t> body;
  std::uint32_t now = 0;
  for (const event& e : events) {
    put_vlq(body, e.tick - now);
    now = e.tick;
    body.insert(body.end(), e.bytes.begin(), e.bytes.end());
  }
  put_vlq(body, end_tick - now);
  body.push_back(0xFF);
  body.push_back(0x2F);
  body.push_back(0x00);
  std::vector<std::uint8_t> out = text_bytes("MTrk");
  put_be(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<std::uint8_t> midi_bytes(const tune& t) {
  const std::uint32_t end = static_cast<std::uint32_t>(t.bars) * bar_ticks;
  std::vector<std::uint8_t> out = text_bytes("MThd");
  put_be(out, 6, 4);
  put_be(out, 1, 2);
  put_be(out, static_cast<std::uint32_t>(t.parts.size()) + 1, 2);
  put_be(out, ticks_per_beat, 2);

  std::vector<event> conductor;
  conductor.push_back({0, 0, meta(0x03, text_bytes(t.name))});
  conductor.push_back({0, 0, meta(0x58, {4, 2, 24, 8})});
  const std::uint32_t tempo = 60000000u / static_cast<std::uint32_t>(t.bpm);
  conductor.push_back({0, 0,
                       meta(0x51, {static_cast<std::uint8_t>(tempo >> 16), static_cast<std::uint8_t>(tempo >> 8),
                                   static_cast<std::uint8_t>(tempo)})});
  const std::vector<std::uint8_t> conductor_chunk = track_chunk(conductor, end);
  out.insert(out.end(), conductor_chunk.begin(), conductor_chunk.end());

  for (const part& p : t.parts) {
    std::vector<event> events;
    const auto ch = static_cast<std::uint8_t>(p.channel);
    events.push_back({0, 0, meta(0x03, text_bytes(p.name))});
    if (p.program >= 0) {
      events.push_back({0, 0, {static_cast<std::uint8_t>(0xC0 | ch), static_cast<std::uint8_t>(p.program)}});
    }
    events.push_back({0, 0, {static_cast<std::uint8_t>(0xB0 | ch), 7, static_cast<std::uint8_t>(p.volume)}});
    events.push_back({0, 0, {static_cast<std::uint8_t>(0xB0 | ch), 10, static_cast<std::uint8_t>(p.pan)}});
    events.push_back({0, 0, {static_cast<std::uint8_t>(0xB0 | ch), 91, static_cast<std::uint8_t>(p.reverb)}});
    for (const note& n : p.notes) {
      if (n.start >= end) {
        continue;
      }
      const std::uint32_t stop = std::min(end, n.start + std::max<std::uint32_t>(n.length, 1));
      const auto key = static_cast<std::uint8_t>(std::clamp(n.key, 0, 127));
      events.push_back(
          {n.start, 2, {static_cast<std::uint8_t>(0x90 | ch), key, static_cast<std::uint8_t>(n.velocity)}});
      events.push_back({stop, 1, {static_cast<std::uint8_t>(0x80 | ch), key, 64}});
    }
    const std::vector<std::uint8_t> chunk = track_chunk(events, end);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

// ---- the tunes

// Title: a quiet A-minor ballad. Piano and harp, strings underneath; the
// flute takes the middle section, where the bass and brushes come in.
tune title_theme() {
  const std::string a = "Am F C G Am F Dm E";
  const std::string b = "F G Em Am Dm G C E7";
  const std::string melody_a =
      "a4:2 c5:2 e5:3 d5:1 | c5:4 a4:2 f4:2 | g4:2 c5:2 e5:2 g5:2 | f5:3 e5:1 d5:4 | "
      "e5:2 a5:2 g5:2 e5:2 | f5:3 e5:1 c5:4 | d5:2 f5:2 e5:2 d5:2 | b4:4 g#4:4";
  const std::string melody_a_last =
      "a4:2 c5:2 e5:3 d5:1 | c5:4 a4:2 f4:2 | g4:2 c5:2 e5:2 g5:2 | f5:3 e5:1 d5:4 | "
      "e5:2 a5:2 g5:2 e5:2 | f5:3 e5:1 c5:4 | d5:2 f5:2 a5:3 g#5:1 | e5:2 b4:2 g#4:2 b4:2";
  const std::string melody_b =
      "a5:4 g5:2 f5:2 | g5:4 d5:4 | e5:2 g5:2 b5:3 a5:1 | a5:6 r:2 | "
      "f5:2 e5:2 d5:2 f5:2 | e5:3 d5:1 b4:4 | c5:2 e5:2 g5:2 c6:2 | b5:4 g#5:2 d5:2";
  tune t{"shindan title", 76, 24, {}};
  part piano{"piano", 0, 0, 100, 64, 50, {}};
  part flute{"flute", 1, 73, 88, 72, 60, {}};
  part strings{"strings", 2, 49, 80, 56, 70, {}};
  part harp{"harp", 3, 46, 84, 44, 60, {}};
  part bass_part{"bass", 4, 32, 96, 64, 30, {}};
  part kit{"drums", 9, -1, 70, 64, 40, {}};

  melody(piano, 0, melody_a, 78);
  melody(flute, 8, melody_b, 74);
  melody(piano, 16, melody_a_last, 82);
  melody(flute, 16, melody_a_last, 48, 12);
  pad(strings, 0, a, 52, 46);
  pad(strings, 8, b, 52, 52);
  pad(strings, 16, a, 52, 54);
  arpeggio(harp, 0, a + " " + b + " " + a, eighth, {0, 2, 4, 3, 5, 3, 4, 2}, 45, 50);
  bass(bass_part, 0, a, "R---5---", 33, 70);
  bass(bass_part, 8, b + " " + a, "R--R5-O-", 33, 74);
  drums(kit, 8, 16, {{36, "x.......o.x....."}, {37, "....o.......o..."}, {42, "o.o.o.o.o.o.o.o."}});
  t.parts = {piano, flute, strings, harp, bass_part, kit};
  return t;
}

// Introduction and noise screen: D minor, a pulsing bass and a heartbeat
// under trembling strings; violin, choir and celesta join in turn.
tune tense_theme() {
  const std::string prog = "Dm Bb Gm A Dm Eb Gm A7";
  const std::string violin_1 =
      "a5:8 | bb5:6 a5:2 | g5:8 | e5:4 c#5:4 | d5:4 f5:4 | g5:4 eb5:4 | d5:4 bb4:4 | "
      "c#5:4 e5:2 g5:2";
  const std::string violin_2 =
      "d6:2 a5:2 f5:2 a5:2 | bb5:3 a5:1 f5:4 | g5:2 bb5:2 d6:2 bb5:2 | a5:4 c#6:2 e6:2 | "
      "f6:3 e6:1 d6:4 | eb6:2 bb5:2 g5:2 eb5:2 | d5:2 g5:2 bb5:2 d6:2 | c#6:4 a5:4";
  tune t{"shindan unease", 100, 32, {}};
  part bass_part{"bass", 0, 33, 100, 64, 20, {}};
  part tremolo{"tremolo strings", 1, 44, 84, 50, 70, {}};
  part violin{"violin", 2, 40, 92, 76, 70, {}};
  part choir{"choir", 3, 52, 72, 60, 90, {}};
  part timpani{"timpani", 4, 47, 90, 64, 50, {}};
  part celesta{"celesta", 5, 8, 70, 88, 80, {}};
  part kit{"drums", 9, -1, 84, 64, 30, {}};

  for (int s = 0; s < 4; ++s) {
    bass(bass_part, 8 * s, prog, "RRORRROR", 38, s < 2 ? 68 : 78, 0.55f);
    pad(tremolo, 8 * s, prog, 50, s == 0 ? 50 : 62);
    for (int b = 0; b < 8; ++b) {
      add(timpani, static_cast<std::uint32_t>(8 * s + b) * bar_ticks, ticks_per_beat,
          place(chord_of(words(prog)[static_cast<std::size_t>(b)]).root, 38), b == 0 ? 96 : 70);
    }
  }
  melody(violin, 8, violin_1, 76);
  melody(violin, 24, violin_2, 84);
  pad(choir, 16, prog + " " + prog, 62, 48);
  arpeggio(celesta, 16, prog, eighth, {3, 5, 4, 6, 3, 5, 4, 7}, 69, 44);
  drums(kit, 0, 16, {{36, "X..x............"}, {36, "........o..o...."}});
  drums(kit, 16, 15, {{36, "X..x....x..x...."}, {42, "o.o.o.o.o.o.o.o."}, {45, "............x..."}});
  drums(kit, 31, 1, {{36, "X..x............"}, {45, "........x.x.X.X."}, {42, "o.o.o.o........."}});
  t.parts = {bass_part, tremolo, violin, choir, timpani, celesta, kit};
  return t;
}

// Analysis: E minor, a music box turning over a warm pad, vibraphone on
// top, and a clock-like tick.
tune analysis_theme() {
  const std::string a = "Em Cmaj7 Am7 B7 Em C D B7";
  const std::string b = "Am D G C Am F#m7b5 B7 B7";
  const std::string melody_a =
      "b4:2 e5:2 g5:2 f#5:2 | e5:4 b4:4 | c5:2 e5:2 a5:2 g5:2 | f#5:6 d#5:2 | "
      "e5:2 g5:2 b5:2 a5:2 | g5:3 e5:1 c5:4 | d5:2 f#5:2 a5:2 f#5:2 | d#5:4 b4:4";
  const std::string melody_b =
      "a5:3 g5:1 e5:4 | f#5:3 e5:1 d5:4 | g5:2 b5:2 d6:2 b5:2 | c6:4 g5:4 | "
      "a5:2 c6:2 b5:2 a5:2 | a5:2 e5:2 c5:2 e5:2 | d#5:4 f#5:4 | b4:8";
  tune t{"shindan analysis", 80, 24, {}};
  part box{"music box", 0, 10, 78, 80, 70, {}};
  part warm{"pad", 1, 89, 76, 52, 80, {}};
  part bass_part{"fretless bass", 2, 35, 96, 64, 30, {}};
  part vibes{"vibraphone", 3, 11, 92, 70, 60, {}};
  part strings{"strings", 4, 48, 70, 48, 80, {}};
  part kit{"drums", 9, -1, 66, 64, 40, {}};

  const std::string all = a + " " + b + " " + a;
  arpeggio(box, 0, all, sixteenth, {4, 6, 5, 7}, 52, 46);
  pad(warm, 0, all, 48, 48);
  bass(bass_part, 0, a, "R---5-R-", 28, 72);
  bass(bass_part, 8, b + " " + a, "R--R5-O-", 28, 76);
  melody(vibes, 0, melody_a, 72);
  melody(vibes, 8, melody_b, 78);
  melody(vibes, 16, melody_a, 80);
  melody(strings, 16, melody_a, 44, -12);
  drums(kit, 0, 8, {{42, "o.o.o.o.o.o.o.o."}, {36, "x..............."}});
  drums(kit, 8, 16, {{42, "o.o.o.o.o.o.o.o."}, {36, "x.......x......."}, {37, "....o.......o..."}});
  t.parts = {box, warm, bass_part, vibes, strings, kit};
  return t;
}

}  // namespace

void make_tunes(file_set* out) {
  (*out)["bgm01.mid"] = midi_bytes(title_theme());
  (*out)["bgm02.mid"] = midi_bytes(tense_theme());
  (*out)["bgm03.mid"] = midi_bytes(analysis_theme());
}

}  // namespace shindan::assetgen
