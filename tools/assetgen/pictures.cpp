// Every picture of the pack. Black is the colour key on screen, so pictures
// meant to be opaque keep their darkest pixels at a near-black the 16-bit
// conversion cannot turn into the key.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/assetgen/assetgen.h"

namespace shindan::assetgen {

namespace {

constexpr float pi = 3.14159265f;

const rgb near_black{8, 8, 12};
const rgb ink_pale{228, 230, 242};
const rgb ink_soft{196, 200, 218};
const rgb glow_blue{70, 130, 230};
const rgb glow_red{170, 30, 50};
const rgb line_blue{84, 98, 140};
const rgb warm_ink{236, 178, 150};

float smooth(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

void diamond(canvas& c, float cx, float cy, float r, rgb colour, bool filled) {
  if (filled) {
    for (int y = static_cast<int>(cy - r - 1); y <= static_cast<int>(cy + r + 1); ++y) {
      for (int x = static_cast<int>(cx - r - 1); x <= static_cast<int>(cx + r + 1); ++x) {
        const float d = std::abs(x + 0.5f - cx) + std::abs(y + 0.5f - cy);
        blend(c, x, y, colour, std::clamp(r + 0.5f - d, 0.0f, 1.0f));
      }
    }
    return;
  }
  draw_line(c, cx - r, cy, cx, cy - r, 1.0f, colour, 1);
  draw_line(c, cx, cy - r, cx + r, cy, 1.0f, colour, 1);
  draw_line(c, cx + r, cy, cx, cy + r, 1.0f, colour, 1);
  draw_line(c, cx, cy + r, cx - r, cy, 1.0f, colour, 1);
}

// A horizontal hairline that fades towards `fade_end`.
void fading_line(canvas& c, int x0, int x1, int y, rgb colour, bool fade_right) {
  for (int x = x0; x < x1; ++x) {
    const float t = static_cast<float>(x - x0) / std::max(1, x1 - x0 - 1);
    blend(c, x, y, colour, fade_right ? 1 - t : t);
  }
}

// How the pack sets its texts: in the Japanese faces, or every text in one
// Latin serif, a little larger, since its small letters stand lower than
// the full-height Japanese characters.
struct typography {
  bool latin = false;
  face body = face::mincho;
  face prompt = face::gothic;
};
typography type;

int sized(int japanese, int latin) {
  return type.latin ? latin : japanese;
}

// Every text that would have to shrink past easy reading to fit its region,
// one a line; the pack is refused rather than drawn with them.
std::string text_trouble;

void note_trouble(const std::string& what) {
  text_trouble += (text_trouble.empty() ? "" : "\n  ") + what;
}

// One line of text in its box; lines that only fit far below their size
// are noted as trouble.
std::pair<int, int> text_line(canvas& c, int x, int y, int w, int h, const std::string& utf8, text_style style,
                              align a) {
  const int room = style.outline ? 4 : 2;
  if (fit_size(style.font, style.size, w - room, utf8) * 5 < style.size * 4) {
    note_trouble("\"" + utf8 + "\" is too long for its picture");
  }
  return draw_line_of_text(c, x, y, w, h, utf8, style, a);
}

text_style plain(int size, rgb colour) {
  text_style s;
  s.font = type.body;
  s.size = size;
  s.colour = colour;
  return s;
}

text_style glowing(int size, rgb colour, rgb glow, float strength, int radius) {
  text_style s = plain(size, colour);
  s.glow = glow;
  s.glow_strength = strength;
  s.glow_radius = radius;
  return s;
}

bool need(const pack_inputs& in, const std::string& key, std::size_t count, std::string* why) {
  auto it = in.texts.find(key);
  if (it == in.texts.end() || it->second.size() != count) {
    *why = "texts: \"" + key + "\" needs " + std::to_string(count) + " line(s)";
    return false;
  }
  return true;
}

const std::vector<std::string>& lines_of(const pack_inputs& in, const std::string& key) {
  return in.texts.at(key);
}

// ---- title screen

canvas title_picture(const std::string& text) {
  canvas c = make_canvas(480, 60);
  auto [left, width] =
      text_line(c, 0, 0, 480, 60, text, glowing(sized(42, 40), ink_pale, glow_red, 1.1f, 4), align::centre);
  fading_line(c, 16, left - 18, 30, line_blue, false);
  fading_line(c, left + width + 18, 464, 30, line_blue, true);
  diamond(c, left - 10.5f, 30.5f, 3, glow_red, true);
  diamond(c, left + width + 10.5f, 30.5f, 3, glow_red, true);
  return c;
}

canvas stacked_lines(int width, int row_height, const std::vector<std::string>& lines,
                     const std::vector<text_style>& styles, align a) {
  canvas c = make_canvas(width, row_height * static_cast<int>(lines.size()));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text_line(c, 0, static_cast<int>(i) * row_height, width, row_height, lines[i],
              styles[std::min(i, styles.size() - 1)], a);
  }
  return c;
}

// Introduction messages lie over the ripples: an outline keeps them legible.
canvas message_picture(int width, int height, const std::vector<std::string>& lines) {
  canvas c = make_canvas(width, height);
  const int row = height / static_cast<int>(lines.size());
  text_style s = glowing(sized(19, 21), ink_pale, glow_blue, 0.5f, 3);
  s.outline = true;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text_line(c, 0, static_cast<int>(i) * row, width, row, lines[i], s, align::centre);
  }
  return c;
}

// Ripples on dark water: the background of the introduction.
canvas hamon_picture() {
  canvas c = make_canvas(640, 480);
  struct source {
    float x, y, wavelength, phase, strength, reach;
  };
  const source sources[] = {
      {320, 250, 26, 0.0f, 1.0f, 260}, {112, 388, 19, 1.3f, 0.55f, 150}, {548, 108, 22, 2.1f, 0.5f, 170}};
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const float t = y / 479.0f;
      rgb base = mix(rgb{8, 12, 24}, rgb{10, 24, 40}, t);
      const float fog = fractal_noise(x / 150.0f, y / 90.0f, 11, 3);
      base = mix(base, rgb{20, 34, 56}, fog * 0.35f);
      float ring = 0;
      for (const source& s : sources) {
        const float dx = x - s.x;
        const float dy = (y - s.y) * 1.6f;  // seen at a slant
        const float r = std::sqrt(dx * dx + dy * dy);
        const float wave = 0.5f + 0.5f * std::cos(2 * pi * r / s.wavelength - s.phase);
        ring += std::pow(wave, 10.0f) * s.strength * std::exp(-r / s.reach) * smooth(0, 18, r);
      }
      const float vx = (x - 320) / 360.0f;
      const float vy = (y - 240) / 300.0f;
      const float vignette = std::clamp(1.1f - (vx * vx + vy * vy), 0.35f, 1.0f);
      rgb p = mix(base, rgb{90, 150, 200}, std::min(ring, 1.0f) * 0.55f);
      at(c, x, y) = scale(p, vignette);
    }
  }
  make_opaque(c, 0, 0, 640, 480, near_black);
  return c;
}

// A red or indigo seal: loaded by the game but never shown.
canvas seal_picture(const std::string& glyph, rgb ink, bool round, int seed) {
  canvas c = make_canvas(64, 64);
  plane shape = make_plane(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const float dx = x + 0.5f - 32;
      const float dy = y + 0.5f - 32;
      float edge;
      if (round) {
        edge = std::abs(std::sqrt(dx * dx + dy * dy) - 27.5f);
      } else {
        edge = std::abs(std::max(std::abs(dx), std::abs(dy)) - 27.5f);
      }
      at(shape, x, y) = std::clamp(2.2f - edge, 0.0f, 1.0f);
    }
  }
  text_mask m = render_text(face::mincho, 40, glyph, 0);
  const int ox = (64 - m.advance) / 2;
  const int oy = (64 - m.coverage.height) / 2;
  for (int y = 0; y < m.coverage.height; ++y) {
    for (int x = 0; x < m.coverage.width; ++x) {
      if (ox + x >= 0 && ox + x < 64 && oy + y >= 0 && oy + y < 64) {
        float& v = at(shape, ox + x, oy + y);
        v = std::max(v, get(m.coverage, x, y));
      }
    }
  }
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      // Worn stamp: the ink misses the paper here and there.
      const float wear = smooth(0.18f, 0.32f, fractal_noise(x / 5.0f, y / 5.0f, seed, 3));
      blend(c, x, y, ink, at(shape, x, y) * wear);
    }
  }
  return c;
}

// ---- question screen

// Twelve frames of a slow hypnotic swirl; played forwards and back.
canvas mainback_picture() {
  canvas c = make_canvas(640, 480 * 12);
  for (int f = 0; f < 12; ++f) {
    const float p = f / 11.0f;
    const float turn = p * 0.55f;
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        const float dx = x - 320.0f;
        const float dy = y - 236.0f;
        const float r = std::sqrt(dx * dx + dy * dy) + 1;
        const float theta = std::atan2(dy, dx);
        rgb colour = mix(rgb{16, 11, 32}, rgb{9, 15, 30}, y / 479.0f);
        const float arms = std::pow(0.5f + 0.5f * std::cos(5 * theta + 7.5f * std::log(r / 30) - turn * 2 * pi), 3);
        const float envelope = smooth(60, 230, r) * (1 - smooth(300, 460, r) * 0.6f);
        colour = mix(colour, rgb{52, 36, 96}, arms * envelope * 0.55f);
        const float fog = fractal_noise((x + p * 48) / 170.0f, (y - p * 14) / 120.0f, 5, 3);
        colour = mix(colour, rgb{30, 48, 82}, smooth(0.45f, 0.8f, fog) * 0.6f);
        const float vx = dx / 380.0f;
        const float vy = dy / 300.0f;
        colour = scale(colour, std::clamp(1.12f - (vx * vx + vy * vy) * 0.7f, 0.45f, 1.0f));
        at(c, x, 480 * f + y) = colour;
      }
    }
    // Motes of light drifting upwards as the swing goes on.
    for (int i = 0; i < 26; ++i) {
      const float mx = hash01(i, 1, 77) * 640;
      const float my = hash01(i, 2, 77) * 480 - p * (10 + 26 * hash01(i, 3, 77));
      const float size = 1.2f + 2.0f * hash01(i, 4, 77);
      const float shine = 0.35f + 0.5f * hash01(i, 5, 77);
      for (int y = static_cast<int>(my - 8); y <= static_cast<int>(my + 8); ++y) {
        for (int x = static_cast<int>(mx - 8); x <= static_cast<int>(mx + 8); ++x) {
          if (y < 0 || y >= 480 || x < 0 || x >= 640) {
            continue;
          }
          const float d2 = (x - mx) * (x - mx) + (y - my) * (y - my);
          add_light(c, x, 480 * f + y, rgb{90, 110, 160}, shine * std::exp(-d2 / (size * size)));
        }
      }
    }
  }
  make_opaque(c, 0, 0, c.width, c.height, near_black);
  return c;
}

// The appearance effect: a ring of light that opens and breaks up; drawn
// ever larger about the centre, so the last frames leave the middle clear.
canvas qdisp_picture() {
  canvas c = make_canvas(320, 216 * 8);
  for (int f = 0; f < 8; ++f) {
    const float radius = 0.86f - 0.03f * f;
    const float width = 0.1f / (1 + 0.35f * f);  // thin, since later frames are drawn larger
    const float strength = 1.0f - 0.06f * f;
    for (int y = 0; y < 216; ++y) {
      for (int x = 0; x < 320; ++x) {
        const float dx = (x + 0.5f - 160) / 150;
        const float dy = (y + 0.5f - 108) / 101;
        const float rho = std::sqrt(dx * dx + dy * dy);
        const float theta = std::atan2(dy, dx);
        float ring = std::exp(-std::pow((rho - radius) / width, 2.0f));
        if (f >= 3) {
          const float gaps = 0.5f + 0.5f * std::cos(10 * theta + f * 0.9f);
          ring *= smooth(0.08f * (f - 2), 0.08f * (f - 2) + 0.25f, gaps);
        }
        float inner = 0;
        if (f >= 1 && f <= 5) {
          inner = 0.6f * std::exp(-std::pow((rho - radius * 0.55f) / (width * 0.5f), 2.0f)) * (1 - f / 6.0f);
        }
        float core = 0;
        if (f < 3) {
          core = std::pow(std::max(0.0f, 1 - rho / radius), 1.6f) * (1 - f / 3.0f);
        }
        const float v = std::min(1.0f, (ring + inner) * strength + core);
        if (v < 0.12f) {
          continue;
        }
        const rgb tint = mix(rgb{150, 205, 255}, rgb{175, 140, 255}, std::clamp(rho - 0.5f, 0.0f, 1.0f));
        const rgb hot = mix(tint, rgb{240, 246, 255}, std::clamp(v * v, 0.0f, 1.0f));
        at(c, x, 216 * f + y) = scale(hot, 0.1f + 0.9f * v);
      }
    }
  }
  return c;
}

float triangle_distance(float px, float py) {
  // Distance to a right-pointing chevron: two strokes meeting at the tip.
  auto seg = [](float px, float py, float ax, float ay, float bx, float by) {
    const float dx = bx - ax;
    const float dy = by - ay;
    const float t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    const float ex = ax + dx * t - px;
    const float ey = ay + dy * t - py;
    return std::sqrt(ex * ex + ey * ey);
  };
  return std::min(seg(px, py, 12, 7, 25, 16), seg(px, py, 12, 25, 25, 16));
}

// The answer cursors glow additively; mirrored for the right-hand one.
canvas cursor_picture(bool mirrored) {
  canvas c = make_canvas(32, 32 * 8);
  for (int f = 0; f < 8; ++f) {
    const float phase = 2 * pi * f / 8;
    const float pulse = 0.62f + 0.38f * std::cos(phase);
    const float nudge = 2.0f * std::sin(phase);
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const float px = (mirrored ? 31 - x : x) + 0.5f - nudge;
        const float py = y + 0.5f;
        const float d = triangle_distance(px, py);
        const float trail = triangle_distance(px + 7, py);
        const float v = pulse * (std::exp(-d * d / 2.0f) + 0.45f * std::exp(-d / 3.0f)) +
                        0.3f * pulse * std::exp(-trail * trail / 3.0f);
        if (v < 0.03f) {
          continue;
        }
        at(c, x, 32 * f + y) =
            scale(mix(rgb{60, 120, 255}, rgb{235, 245, 255}, std::min(1.0f, v * v)), std::min(1.0f, v));
      }
    }
  }
  return c;
}

// The confirmation flash over the chosen answer, added onto the screen.
canvas collect_picture() {
  canvas c = make_canvas(320, 32 * 16);
  for (int f = 0; f < 16; ++f) {
    const float t = f / 15.0f;
    const float half_width = 160 * std::min(1.0f, (f + 1) / 4.0f);
    const float fade = std::pow(1 - t, 1.4f);
    const float sweep_x = 10 + 300 * t;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 320; ++x) {
        const float dx = std::abs(x + 0.5f - 160);
        const float dy = (y + 0.5f - 16) / (6 + 10 * t);
        const float across = smooth(half_width, half_width - 14, dx) * smooth(0, 6, x) * smooth(320, 314, x);
        float v = fade * across * (0.35f + 0.65f * std::exp(-dy * dy));
        const float edge = (y == 1 || y == 30) ? 0.6f * fade * across : 0;
        const float sw = (x - sweep_x + (y - 16) * 0.6f) / 4;
        v += edge + 0.45f * (1 - t * 0.6f) * std::exp(-sw * sw) * smooth(15, 6, std::abs(y + 0.5f - 16));
        if (v < 0.02f) {
          continue;
        }
        at(c, x, 32 * f + y) =
            scale(mix(rgb{120, 160, 255}, rgb{255, 255, 255}, std::min(1.0f, v)), std::min(1.0f, v) * 0.95f);
      }
    }
  }
  return c;
}

// Below these sizes question and answer texts stop being easy to read.
constexpr int question_smallest = 15;
constexpr int answer_smallest_japanese = 15;
constexpr int answer_smallest_latin = 16;
// The panel's text area: inside its double frame and clear of the corners.
constexpr int question_width = 276;
constexpr int question_height = 172;

// Japanese lines are set as written, all at the size of the longest.
void draw_japanese_question(canvas& c, const question_text& q) {
  int size = 19;
  for (const std::string& line : q.lines) {
    size = std::min(size, fit_size(type.body, 19, question_width, line));
  }
  const int pitch = size + 12;
  const int block = pitch * static_cast<int>(q.lines.size());
  if (size < question_smallest || block > question_height + 24) {
    note_trouble(q.id + ": the question is too long for its panel");
  }
  int y = (196 - block) / 2;
  for (const std::string& line : q.lines) {
    text_line(c, 14, y, 280, pitch, line, glowing(size, ink_pale, glow_blue, 0.25f, 2), align::centre);
    y += pitch;
  }
}

// A question's paragraphs wrapped at one size, and whether they fit the panel.
struct latin_layout {
  std::vector<std::string> lines;
  std::vector<bool> starts;  // a line that begins a paragraph after the first
  int pitch = 0;
  int gap = 0;
  bool fits = false;
  float awkward = 0;  // breaks that part words belonging together
};

latin_layout lay_out_latin(const question_text& q, int size) {
  latin_layout l;
  bool too_wide = false;
  for (std::size_t p = 0; p < q.lines.size(); ++p) {
    float awkward = 0;
    const std::vector<std::string> wrapped = wrap_words(type.body, size, q.lines[p], question_width, &awkward);
    l.awkward += awkward;
    for (std::size_t i = 0; i < wrapped.size(); ++i) {
      too_wide = too_wide || text_width(type.body, size, wrapped[i]) > question_width;
      l.lines.push_back(wrapped[i]);
      l.starts.push_back(p > 0 && i == 0);
    }
  }
  l.pitch = size * 5 / 4 + 1;
  l.gap = size / 3;
  const int block = l.pitch * static_cast<int>(l.lines.size()) + l.gap * static_cast<int>(q.lines.size() - 1);
  l.fits = !too_wide && block <= question_height;
  return l;
}

// Latin text runs longer: each Q line is a paragraph, wrapped at its spaces,
// at the largest size whose lines all fit the panel, or one size smaller
// where that lets its lines break between phrases. Paragraphs are
// parted by a little extra space.
void draw_latin_question(canvas& c, const question_text& q) {
  int size = 21;
  latin_layout layout = lay_out_latin(q, size);
  while (!layout.fits && size > question_smallest) {
    layout = lay_out_latin(q, --size);
  }
  if (!layout.fits) {
    note_trouble(q.id + ": the question is too long for its panel");
  }
  const int floor = std::max(question_smallest, size - 1);
  for (int smaller = size - 1; layout.awkward > 0 && smaller >= floor; --smaller) {
    latin_layout other = lay_out_latin(q, smaller);
    if (other.fits && other.awkward < layout.awkward) {
      layout = other;
      size = smaller;
    }
  }
  const std::vector<std::string>& lines = layout.lines;
  const std::vector<bool>& starts = layout.starts;
  const int pitch = layout.pitch;
  const int gap = layout.gap;
  const int block = pitch * static_cast<int>(lines.size()) + gap * static_cast<int>(q.lines.size() - 1);
  int y = (196 - block) / 2;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (starts[i]) {
      y += gap;
    }
    text_line(c, 14, y, 280, pitch, lines[i], glowing(size, ink_pale, glow_blue, 0.25f, 2), align::centre);
    y += pitch;
  }
}

void draw_question_text(canvas& c, const question_text& q) {
  if (type.latin) {
    draw_latin_question(c, q);
  } else {
    draw_japanese_question(c, q);
  }
}

canvas question_picture(const question_text& q) {
  canvas c = make_canvas(308, 280);
  // The question panel.
  for (int y = 0; y < 196; ++y) {
    for (int x = 0; x < 308; ++x) {
      const float n = fractal_noise(x / 40.0f, y / 30.0f, 21, 3);
      at(c, x, y) = mix(mix(rgb{18, 20, 38}, rgb{11, 13, 26}, y / 195.0f), rgb{26, 30, 52}, n * 0.5f);
    }
  }
  auto frame = [&](int inset, rgb colour) {
    draw_line(c, inset + 0.5f, inset + 0.5f, 307.5f - inset, inset + 0.5f, 1, colour, 1);
    draw_line(c, inset + 0.5f, 195.5f - inset, 307.5f - inset, 195.5f - inset, 1, colour, 1);
    draw_line(c, inset + 0.5f, inset + 0.5f, inset + 0.5f, 195.5f - inset, 1, colour, 1);
    draw_line(c, 307.5f - inset, inset + 0.5f, 307.5f - inset, 195.5f - inset, 1, colour, 1);
  };
  frame(2, line_blue);
  frame(5, rgb{46, 52, 82});
  for (float cx : {5.5f, 302.5f}) {
    for (float cy : {5.5f, 190.5f}) {
      diamond(c, cx, cy, 4, rgb{120, 170, 240}, true);
    }
  }
  draw_question_text(c, q);
  // The three answer bands. Latin answers share one size, so that a long one
  // does not stand out smaller than its neighbours.
  int latin_answer_size = sized(17, 19);
  for (const std::string& answer : q.answers) {
    latin_answer_size = std::min(latin_answer_size, fit_size(type.body, sized(17, 19), 280, answer));
  }
  for (int a = 0; a < 3; ++a) {
    const int top = 196 + 28 * a;
    for (int yy = top; yy < top + 28; ++yy) {
      for (int x = 0; x < 308; ++x) {
        at(c, x, yy) = mix(rgb{20, 24, 42}, rgb{12, 13, 24}, x / 307.0f);
      }
    }
    fading_line(c, 0, 308, top, rgb{58, 66, 104}, true);
    fading_line(c, 0, 308, top + 27, rgb{30, 34, 56}, true);
    fill_rect(c, 0, top + 3, 2, 22, rgb{90, 120, 190});
    diamond(c, 13.5f, top + 14.0f, 4.5f, rgb{150, 185, 240}, false);
    diamond(c, 13.5f, top + 14.0f, 1.5f, rgb{150, 185, 240}, true);
    if (fit_size(type.body, sized(17, 19), 280, q.answers[a]) <
        sized(answer_smallest_japanese, answer_smallest_latin)) {
      note_trouble(q.id + ": answer " + std::to_string(a + 1) + " is too long for its band");
    }
    const text_style style = plain(type.latin ? latin_answer_size : 17, ink_soft);
    text_line(c, 24, top, 282, 28, q.answers[a], style, align::left);
  }
  make_opaque(c, 0, 0, 308, 280, near_black);
  return c;
}

// ---- analysis screen

canvas bunseki_picture(const std::string& text) {
  canvas c = make_canvas(192, 32 * 9);
  for (int f = 0; f < 9; ++f) {
    canvas frame = make_canvas(192, 32);
    auto [left, width] =
        text_line(frame, 0, 0, 192, 32, text, glowing(sized(24, 26), ink_pale, glow_blue, 0.8f, 3), align::centre);
    fading_line(frame, 4, left - 8, 16, line_blue, false);
    fading_line(frame, left + width + 8, 188, 16, line_blue, true);
    if (f > 0) {
      // A glint crosses the band from left to right.
      const float gx = -30 + 252 * (f - 1) / 7.0f;
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 192; ++x) {
          rgb& p = at(frame, x, y);
          const float lit = std::max({p.r, p.g, p.b}) / 255.0f;
          const float d = (x - gx - (y - 16) * 0.5f) / 10;
          add_light(frame, x, y, rgb{120, 170, 255}, lit * std::exp(-d * d));
        }
      }
    }
    paste(c, frame, 0, 32 * f);
  }
  return c;
}

// The analysis screen is one composition around the gauges' zero at screen
// x 424: the band and the help lines centre on the screen's middle, each row
// lines its label, figure and bar up on one centre line about y 123 + 36k,
// and blue stands for below zero and red for above, on the scale and signs.
// The screen places the labels at x 2, the figures at 188 and the bars from
// 424, so the pictures carry the margins and the alignment themselves.

// A label row: a marker, then the trait's name, with a hairline under both.
// The name must end well before x 176, where a three-digit figure's sign
// cell starts on screen; the markers sit a comfortable 14 px in from the
// screen's edge.
canvas result_picture(const std::vector<std::string>& labels, const std::string& mark) {
  canvas c = make_canvas(224, 28 * 17);
  constexpr int marker_centre = 14;
  constexpr int name_left = 26;
  constexpr int name_right = 174;
  for (int set = 0; set < 2; ++set) {
    for (int k = 0; k < 8; ++k) {
      const int top = 28 * (1 + 8 * set + k);
      if (set == 0) {
        diamond(c, marker_centre + 0.5f, top + 12.5f, 3.5f, rgb{110, 160, 235}, true);
        text_line(c, name_left - 1, top, name_right - name_left, 26, labels[k],
                  glowing(sized(18, 19), rgb{214, 230, 248}, glow_blue, 0.3f, 2), align::left);
        fading_line(c, marker_centre - 4, name_right, top + 25, rgb{54, 80, 130}, true);
      } else {
        fill_rect(c, marker_centre - 7, top + 5, 15, 15, rgb{150, 28, 40});
        text_line(c, marker_centre - 7, top + 5, 15, 15, mark, plain(sized(13, 14), rgb{250, 228, 220}), align::centre);
        text_line(c, name_left + 3, top, name_right - name_left - 3, 26, labels[k],
                  glowing(sized(18, 19), warm_ink, glow_red, 0.45f, 2), align::left);
        fading_line(c, marker_centre - 7, name_right, top + 25, rgb{130, 40, 52}, true);
      }
    }
  }
  return c;
}

// The scale over the gauges, drawn at screen x 194. Every bar's first slice
// lies at x 424 whatever its sign, and a slice lights its left column
// (gage_picture), so a bar of +v lights 424 up to 424 + 2(v - 1) and one of
// -v lights 424 down to 424 - 2(v - 1): both meet the zero line at 424.
// Tick v stands at 424 + 2v, evenly spaced and mirrored about zero.
canvas memori_picture() {
  canvas c = make_canvas(450, 40);
  constexpr int zero = 424 - 194;
  for (int x = zero - 200; x <= zero + 200; ++x) {
    const float t = (x - (zero - 200)) / 400.0f;
    blend(c, x, 36, mix(rgb{70, 110, 190}, rgb{190, 80, 90}, t), 1);
    blend(c, x, 37, mix(rgb{30, 44, 80}, rgb{80, 34, 44}, t), 0.8f);
  }
  for (int v = -100; v <= 100; v += 10) {
    const int x = zero + 2 * v;
    const rgb side = v < 0 ? rgb{120, 140, 200} : rgb{200, 130, 140};
    if (v == 0) {
      fill_rect(c, x, 20, 1, 16, rgb{240, 242, 252});
      for (int y = 22; y < 36; ++y) {  // a soft halo keeps the hairline from looking thin
        blend(c, x - 1, y, rgb{120, 130, 170}, 0.5f);
        blend(c, x + 1, y, rgb{120, 130, 170}, 0.5f);
      }
    } else if (v % 50 == 0) {
      fill_rect(c, x, 26, 1, 10, mix(side, rgb{240, 240, 250}, 0.4f));
    } else {
      fill_rect(c, x, 31, 1, 5, scale(side, 0.8f));
    }
  }
  const int marks[] = {-100, -50, 0, 50, 100};
  const char* names[] = {
      "\xE2\x88\x92"
      "100",
      "\xE2\x88\x92"
      "50",
      "0", "+50", "+100"};
  for (int i = 0; i < 5; ++i) {
    const int centre = zero + 2 * marks[i];
    const rgb colour = marks[i] < 0 ? rgb{150, 180, 240} : (marks[i] > 0 ? rgb{240, 160, 160} : ink_pale);
    text_style s = plain(12, colour);
    s.font = face::gothic;
    // The digits, not the sign, centre on the tick.
    const int w = text_width(face::gothic, 12, names[i]);
    const int sign = marks[i] == 0 ? 0 : text_width(face::gothic, 12, marks[i] < 0 ? "\xE2\x88\x92" : "+");
    draw_line_of_text(c, centre - (w - sign) / 2 - sign - 1, 3, w + 6, 16, names[i], s, align::left);
  }
  return c;
}

// One slice per trait, two columns wide: the left column carries the colour
// and the right one a dark groove, so a bar reads as fine ribbing and ends
// at zero on either side (see memori_picture).
canvas gage_picture() {
  const rgb colours[8] = {{90, 150, 235}, {110, 215, 150}, {242, 150, 60},  {232, 210, 90},
                          {225, 55, 65},  {155, 115, 225}, {232, 105, 182}, {80, 202, 214}};
  canvas c = make_canvas(2, 24 * 8);
  for (int k = 0; k < 8; ++k) {
    for (int row = 0; row < 20; ++row) {
      const float t = row / 19.0f;
      const float shine = 0.72f + 0.5f * std::exp(-std::pow((t - 0.22f) / 0.16f, 2.0f)) - 0.3f * t;
      for (int x = 0; x < 2; ++x) {
        rgb p = scale(colours[k], shine * (x == 0 ? 1.0f : 0.42f));
        p = rgb{std::min(p.r, 255.0f), std::min(p.g, 255.0f), std::min(p.b, 255.0f)};
        at(c, x, 24 * k + 2 + row) = p;
      }
    }
  }
  make_opaque(c, 0, 0, 2, 192, near_black);
  // Rows between the slices stay black: nothing reads them.
  for (int k = 0; k < 8; ++k) {
    for (int row : {0, 1, 22, 23}) {
      at(c, 0, 24 * k + row) = rgb{};
      at(c, 1, 24 * k + row) = rgb{};
    }
  }
  return c;
}

// The figures: firm, evenly set digits that fill their 10-pixel cells, so a
// number reads as one word ("+24", not "+2 4") beside the names, and signs of
// the same weight standing on the digits' middle, in the scale's colours.
canvas figure_picture() {
  canvas c = make_canvas(120, 16);
  constexpr int digit_top = 0;  // as high as the cell allows, level with the names and bars
  int middle = 8;
  for (int d = 0; d < 10; ++d) {
    const std::string digit(1, static_cast<char>('0' + d));
    const text_mask m = render_text(face::gothic, 16, digit, 1);
    // The ink's bounds within the rendered line.
    int left = m.coverage.width, right = -1, top = m.coverage.height, bottom = -1;
    for (int y = 0; y < m.coverage.height; ++y) {
      for (int x = 0; x < m.coverage.width; ++x) {
        if (get(m.coverage, x, y) > 0.2f) {
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
      }
    }
    // Emboldened by one column: the thin strokes of a small gothic digit
    // would read fainter than the names beside them.
    plane bold = make_plane(m.coverage.width + 1, m.coverage.height);
    for (int y = 0; y < m.coverage.height; ++y) {
      for (int x = 0; x <= m.coverage.width; ++x) {
        at(bold, x, y) = std::max(get(m.coverage, x, y), get(m.coverage, x - 1, y));
      }
    }
    const int ink_width = right - left + 2;
    const int ox = 10 * d + (10 - ink_width + 1) / 2 - left;
    const int oy = digit_top - top;
    paint(c, bold, ox, oy, rgb{238, 240, 250}, 1);
    middle = digit_top + (bottom - top) / 2;
  }
  fill_rect(c, 101, middle - 1, 8, 2, rgb{240, 160, 160});
  fill_rect(c, 104, middle - 4, 2, 8, rgb{240, 160, 160});
  fill_rect(c, 111, middle - 1, 8, 2, rgb{150, 180, 240});
  return c;
}

// The help lines, centred on the screen's middle (the picture stands at
// screen x 110, so its centre is at 210) in the band's pale ink and glow.
canvas help_picture(const std::vector<std::string>& lines) {
  canvas c = make_canvas(400, 48);
  text_style first = glowing(sized(16, 18), ink_pale, glow_blue, 0.45f, 2);
  text_style second = glowing(sized(15, 17), warm_ink, glow_red, 0.45f, 2);
  if (!type.latin) {
    first.font = second.font = type.prompt;
  }
  text_line(c, 20, 0, 380, 24, lines[0], first, align::centre);
  text_line(c, 20, 24, 380, 24, lines[1], second, align::centre);
  return c;
}

// The closing wipe: each cell fills from its centre outwards, with a ragged
// edge, until the last frame covers it whole.
canvas mask_picture() {
  canvas c = make_canvas(64 * 8, 48);
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  for (int f = 0; f < 8; ++f) {
    const float threshold = (f + 1) / 8.0f;
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) {
        const float dx = (x + 0.5f - 32) / 32;
        const float dy = (y + 0.5f - 24) / 24;
        const float r = std::sqrt(dx * dx + dy * dy) / std::sqrt(2.0f);
        const float d = std::min(0.999f, 0.82f * r + 0.17f * (bayer[y % 4][x % 4] / 16.0f));
        if (d >= threshold) {
          continue;
        }
        rgb colour{10, 10, 16};
        if (f < 7 && d > threshold - 0.05f) {
          colour = rgb{44, 36, 70};  // the advancing edge
        }
        at(c, 64 * f + x, y) = colour;
      }
    }
  }
  return c;
}

}  // namespace

bool make_pictures(const pack_inputs& in, file_set* out, std::string* why) {
  if (!need(in, "title", 1, why) || !need(in, "credit", 2, why) || !need(in, "prompt", 1, why) ||
      !need(in, "enter", 2, why) || !need(in, "message1", 1, why) || !need(in, "message2", 3, why) ||
      !need(in, "message3", 2, why) || !need(in, "help", 2, why) || !need(in, "band", 1, why) ||
      !need(in, "label", 8, why) || !need(in, "shift_mark", 1, why) || !need(in, "seal", 2, why)) {
    return false;
  }
  if (in.questions.size() != 60) {
    *why = "60 questions are needed";
    return false;
  }
  type = typography{};
  if (in.latin) {
    type = typography{true, face::latin, face::latin};
  }
  text_trouble.clear();
  auto put = [&](const std::string& name, const canvas& c) { (*out)[name] = bmp_bytes(c); };

  put("title.bm", title_picture(lines_of(in, "title")[0]));
  put("create.bm",
      stacked_lines(640, 32, lines_of(in, "credit"), {plain(sized(16, 17), rgb{168, 172, 194})}, align::centre));
  put("chikara.bm", seal_picture(lines_of(in, "seal")[0], rgb{196, 44, 44}, false, 31));
  put("spackye.bm", stacked_lines(416, 32, lines_of(in, "prompt"),
                                  {glowing(sized(18, 20), ink_pale, glow_blue, 0.6f, 3)}, align::centre));
  put("hamon.bm", hamon_picture());
  put("write.bm", seal_picture(lines_of(in, "seal")[1], rgb{70, 80, 170}, true, 37));
  put("initmes1.bm", message_picture(404, 28, lines_of(in, "message1")));
  put("initmes2.bm", message_picture(380, 92, lines_of(in, "message2")));
  put("initmes3.bm", message_picture(452, 60, lines_of(in, "message3")));
  put("mainback.bm", mainback_picture());
  put("qdisp_eff.bm", qdisp_picture());
  put("cursol.bm", cursor_picture(false));
  put("cursol_r.bm", cursor_picture(true));
  put("collect_eff.bm", collect_picture());
  put("result.bm", result_picture(lines_of(in, "label"), lines_of(in, "shift_mark")[0]));
  put("memori.bm", memori_picture());
  put("bunseki.bm", bunseki_picture(lines_of(in, "band")[0]));
  put("gage.bm", gage_picture());
  put("figure.bm", figure_picture());
  // Small Japanese prompts read better in the gothic face.
  text_style prompt_cool = plain(sized(15, 17), ink_soft);
  prompt_cool.font = type.prompt;
  text_style prompt_warm = plain(sized(15, 17), warm_ink);
  prompt_warm.font = type.prompt;
  put("enter.bm", stacked_lines(380, 24, lines_of(in, "enter"), {prompt_cool, prompt_warm}, align::centre));
  put("result_help.bm", help_picture(lines_of(in, "help")));
  for (const question_text& q : in.questions) {
    put(q.id + ".bm", question_picture(q));
  }
  put("Mask.bm", mask_picture());
  if (!text_trouble.empty()) {
    out->clear();
    *why = text_trouble;
    return false;
  }
  return true;
}

}  // namespace shindan::assetgen
