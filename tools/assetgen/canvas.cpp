// Float canvases, coverage planes, value noise and FreeType text.
#include <ft2build.h>

#include <algorithm>
#include <cmath>
#include FT_FREETYPE_H

#include "tools/assetgen/assetgen.h"

namespace shindan::assetgen {

rgb mix(rgb a, rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
rgb scale(rgb a, float k) {
  return {a.r * k, a.g * k, a.b * k};
}

canvas make_canvas(int width, int height) {
  canvas c;
  c.width = width;
  c.height = height;
  c.pixels.assign(static_cast<std::size_t>(width) * height, rgb{});
  return c;
}

rgb& at(canvas& c, int x, int y) {
  return c.pixels[static_cast<std::size_t>(y) * c.width + x];
}

static bool inside(const canvas& c, int x, int y) {
  return x >= 0 && y >= 0 && x < c.width && y < c.height;
}

void blend(canvas& c, int x, int y, rgb colour, float alpha) {
  if (!inside(c, x, y) || alpha <= 0) {
    return;
  }
  alpha = std::min(alpha, 1.0f);
  rgb& p = at(c, x, y);
  p = mix(p, colour, alpha);
}

void add_light(canvas& c, int x, int y, rgb colour, float amount) {
  if (!inside(c, x, y) || amount <= 0) {
    return;
  }
  rgb& p = at(c, x, y);
  p.r += colour.r * amount;
  p.g += colour.g * amount;
  p.b += colour.b * amount;
}

void fill_rect(canvas& c, int x, int y, int w, int h, rgb colour) {
  for (int j = y; j < y + h; ++j) {
    for (int i = x; i < x + w; ++i) {
      if (inside(c, i, j)) {
        at(c, i, j) = colour;
      }
    }
  }
}

void draw_line(canvas& c, float x0, float y0, float x1, float y1, float thickness, rgb colour, float alpha) {
  // Distance-to-segment coverage: soft edges without a rasteriser.
  const float half = thickness / 2;
  const int left = static_cast<int>(std::floor(std::min(x0, x1) - half - 1));
  const int right = static_cast<int>(std::ceil(std::max(x0, x1) + half + 1));
  const int top = static_cast<int>(std::floor(std::min(y0, y1) - half - 1));
  const int bottom = static_cast<int>(std::ceil(std::max(y0, y1) + half + 1));
  const float dx = x1 - x0;
  const float dy = y1 - y0;
  const float len2 = dx * dx + dy * dy;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      const float px = x + 0.5f;
      const float py = y + 0.5f;
      float t = len2 > 0 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0;
      t = std::clamp(t, 0.0f, 1.0f);
      const float ex = x0 + dx * t - px;
      const float ey = y0 + dy * t - py;
      const float d = std::sqrt(ex * ex + ey * ey);
      const float cover = std::clamp(half + 0.5f - d, 0.0f, 1.0f);
      blend(c, x, y, colour, cover * alpha);
    }
  }
}

void make_opaque(canvas& c, int x, int y, int w, int h, rgb floor_colour) {
  for (int j = y; j < y + h; ++j) {
    for (int i = x; i < x + w; ++i) {
      if (!inside(c, i, j)) {
        continue;
      }
      rgb& p = at(c, i, j);
      // Below 8 in every channel the 16-bit conversion leaves 0: the key.
      if (p.r < 8.5f && p.g < 8.5f && p.b < 8.5f) {
        p = rgb{std::max(p.r, floor_colour.r), std::max(p.g, floor_colour.g), std::max(p.b, floor_colour.b)};
      }
    }
  }
}

void paste(canvas& dst, const canvas& src, int x, int y) {
  for (int j = 0; j < src.height; ++j) {
    for (int i = 0; i < src.width; ++i) {
      if (inside(dst, x + i, y + j)) {
        at(dst, x + i, y + j) = src.pixels[static_cast<std::size_t>(j) * src.width + i];
      }
    }
  }
}

plane make_plane(int width, int height) {
  plane p;
  p.width = width;
  p.height = height;
  p.v.assign(static_cast<std::size_t>(width) * height, 0.0f);
  return p;
}

float& at(plane& p, int x, int y) {
  return p.v[static_cast<std::size_t>(y) * p.width + x];
}

float get(const plane& p, int x, int y) {
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) {
    return 0;
  }
  return p.v[static_cast<std::size_t>(y) * p.width + x];
}

static plane box_pass(const plane& p, int radius, bool horizontal) {
  plane out = make_plane(p.width, p.height);
  const float n = 2.0f * radius + 1;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      float sum = 0;
      for (int k = -radius; k <= radius; ++k) {
        sum += horizontal ? get(p, x + k, y) : get(p, x, y + k);
      }
      at(out, x, y) = sum / n;
    }
  }
  return out;
}

plane blur(const plane& p, int radius) {
  plane out = p;
  for (int pass = 0; pass < 3; ++pass) {
    out = box_pass(box_pass(out, radius, true), radius, false);
  }
  return out;
}

plane dilate(const plane& p, int radius) {
  plane out = make_plane(p.width, p.height);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      float best = 0;
      for (int j = -radius; j <= radius; ++j) {
        for (int i = -radius; i <= radius; ++i) {
          if (i * i + j * j <= radius * radius + radius) {
            best = std::max(best, get(p, x + i, y + j));
          }
        }
      }
      at(out, x, y) = best;
    }
  }
  return out;
}

void paint(canvas& c, const plane& p, int x, int y, rgb colour, float strength) {
  for (int j = 0; j < p.height; ++j) {
    for (int i = 0; i < p.width; ++i) {
      blend(c, x + i, y + j, colour, get(p, i, j) * strength);
    }
  }
}

void paint_light(canvas& c, const plane& p, int x, int y, rgb colour, float strength) {
  for (int j = 0; j < p.height; ++j) {
    for (int i = 0; i < p.width; ++i) {
      add_light(c, x + i, y + j, colour, get(p, i, j) * strength);
    }
  }
}

// ---- noise

float hash01(int x, int y, int seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                    static_cast<std::uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / 16777216.0f;
}

float value_noise(float x, float y, int seed) {
  const float fx = std::floor(x);
  const float fy = std::floor(y);
  const int ix = static_cast<int>(fx);
  const int iy = static_cast<int>(fy);
  float tx = x - fx;
  float ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const float a = hash01(ix, iy, seed);
  const float b = hash01(ix + 1, iy, seed);
  const float c = hash01(ix, iy + 1, seed);
  const float d = hash01(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fractal_noise(float x, float y, int seed, int octaves) {
  float sum = 0;
  float amp = 0.5f;
  float norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += value_noise(x, y, seed + o * 17) * amp;
    norm += amp;
    x *= 2.03f;
    y *= 2.03f;
    amp *= 0.5f;
  }
  return sum / norm;
}

// ---- text

static FT_Library ft_library = nullptr;
static FT_Face ft_faces[3] = {nullptr, nullptr, nullptr};

bool init_fonts(const std::string& mincho_path, const std::string& gothic_path, const std::string& latin_path) {
  if (FT_Init_FreeType(&ft_library) != 0) {
    return false;
  }
  if (FT_New_Face(ft_library, mincho_path.c_str(), 0, &ft_faces[0]) != 0) {
    return false;
  }
  if (FT_New_Face(ft_library, gothic_path.c_str(), 0, &ft_faces[1]) != 0) {
    return false;
  }
  return latin_path.empty() || FT_New_Face(ft_library, latin_path.c_str(), 0, &ft_faces[2]) == 0;
}

void close_fonts() {
  for (FT_Face& f : ft_faces) {
    if (f != nullptr) {
      FT_Done_Face(f);
      f = nullptr;
    }
  }
  if (ft_library != nullptr) {
    FT_Done_FreeType(ft_library);
    ft_library = nullptr;
  }
}

// Light hinting: full hinting breaks the thin horizontal strokes of the
// mincho face (the long-vowel bar falls apart at small sizes).
static FT_Face select_face(face f, int size) {
  FT_Face ft = ft_faces[static_cast<int>(f)];
  FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(size));
  return ft;
}

int text_width(face f, int size, const std::string& utf8) {
  FT_Face ft = select_face(f, size);
  long pen = 0;
  for (std::uint32_t cp : utf8_code_points(utf8)) {
    if (FT_Load_Char(ft, cp, FT_LOAD_TARGET_LIGHT) == 0) {
      pen += ft->glyph->advance.x;
    }
  }
  return static_cast<int>((pen + 63) / 64);
}

int fit_size(face f, int preferred, int max_width, const std::string& utf8) {
  int size = preferred;
  while (size > 8 && text_width(f, size, utf8) > max_width) {
    --size;
  }
  return size;
}

static std::vector<std::string> greedy_lines(face f, int size, const std::vector<std::string>& words, int max_width) {
  std::vector<std::string> lines;
  std::string line;
  for (const std::string& word : words) {
    const std::string longer = line.empty() ? word : line + " " + word;
    if (!line.empty() && text_width(f, size, longer) > max_width) {
      lines.push_back(line);
      line = word;
    } else {
      line = longer;
    }
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

// Lowercase letters of a word, without its punctuation or quotes.
static std::string bare_word(const std::string& word) {
  std::string out;
  for (char ch : word) {
    if (ch >= 'A' && ch <= 'Z') {
      out += static_cast<char>(ch - 'A' + 'a');
    } else if (ch >= 'a' && ch <= 'z') {
      out += ch;
    }
  }
  return out;
}

static bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// How well a line break between two words reads, in the units of the
// evenness cost below (ems off the even width): negative where a phrase ends (after
// punctuation, before a conjunction or preposition), positive where it
// would part words that belong together (after an article, a preposition
// or a possessive, before an object pronoun).
static float break_cost(const std::string& before, const std::string& after) {
  static const char* const leaning[] = {
      "a",    "an",       "the", "to",  "of",   "in",    "on",  "at",  "by",      "for",   "with", "from",
      "into", "your",     "my",  "his", "her",  "their", "its", "our", "this",    "that",  "no",   "not",
      "and",  "or",       "but", "if",  "as",   "than",  "so",  "who", "whoever", "which", "very", "every",
      "each", "whatever", "any", "all", "will", "can",   "you", "i",   "we",      "they",  "he",   "she",
  };
  static const char* const objects[] = {"it", "them", "him", "me", "us"};
  static const char* const openers[] = {
      "and", "but",  "or",      "that", "who",   "which",  "to",    "with",  "for",   "from",    "in",      "on",  "at",
      "if",  "when", "because", "so",   "until", "before", "after", "while", "where", "whoever", "whether", "into"};
  for (const char* tail : {".", "!", "?", ".\xE2\x80\x9D", "?\xE2\x80\x9D", "!\xE2\x80\x9D"}) {
    if (ends_with(before, tail)) {
      return -2.5f;
    }
  }
  for (const char* tail : {",", ":", ";", "\xE2\x80\x9D", "\xE2\x80\xA6"}) {
    if (ends_with(before, tail)) {
      return -1.5f;
    }
  }
  const std::string left = bare_word(before), right = bare_word(after);
  float cost = 0;
  for (const char* w : leaning) {
    if (left == w) {
      cost += 4;
    }
  }
  for (const char* w : objects) {
    if (right == w) {
      cost += 3;
    }
  }
  for (const char* w : openers) {
    if (right == w) {
      cost -= 1;
    }
  }
  return cost;
}

std::vector<std::string> wrap_words(face f, int size, const std::string& utf8, int max_width, float* awkward) {
  std::vector<std::string> words;
  std::string word;
  for (char ch : utf8 + " ") {
    if (ch != ' ') {
      word += ch;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  if (words.empty()) {
    return {};
  }
  const std::size_t count = greedy_lines(f, size, words, max_width).size();
  // The narrowest width that still needs no more lines gives the most even
  // lines; the count only grows as the width shrinks, so halving finds it.
  int low = 1;
  int high = max_width;
  while (low < high) {
    const int mid = (low + high) / 2;
    if (greedy_lines(f, size, words, mid).size() <= count) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  // Among the ways of setting the words in that many lines, none wider than
  // max_width, the one whose lines stay nearest that even width and whose
  // breaks fall between phrases.
  const std::size_t n = words.size();
  std::vector<std::vector<std::string>> text(n, std::vector<std::string>(n + 1));
  std::vector<std::vector<float>> line_cost(n, std::vector<float>(n + 1, 0));
  std::vector<std::vector<bool>> fits(n, std::vector<bool>(n + 1, false));
  for (std::size_t i = 0; i < n; ++i) {
    std::string line;
    for (std::size_t j = i + 1; j <= n; ++j) {
      line = j == i + 1 ? words[i] : line + " " + words[j - 1];
      const int w = text_width(f, size, line);
      if (w > max_width && j > i + 1) {
        break;  // longer lines from word i only grow wider
      }
      text[i][j] = line;
      const float off = static_cast<float>(w - high) / static_cast<float>(size);
      fits[i][j] = true;
      line_cost[i][j] = std::abs(off) + (j < n ? break_cost(words[j - 1], words[j]) : 0.0f);
    }
  }
  constexpr float none = 1e30f;
  // best[k][j]: the least cost of the first j words in k lines; from[k][j]
  // where the last of those lines starts.
  std::vector<std::vector<float>> best(count + 1, std::vector<float>(n + 1, none));
  std::vector<std::vector<std::size_t>> from(count + 1, std::vector<std::size_t>(n + 1, 0));
  best[0][0] = 0;
  for (std::size_t k = 1; k <= count; ++k) {
    for (std::size_t j = 1; j <= n; ++j) {
      for (std::size_t i = 0; i < j; ++i) {
        if (best[k - 1][i] < none && fits[i][j]) {
          const float c = best[k - 1][i] + line_cost[i][j];
          if (c < best[k][j]) {
            best[k][j] = c;
            from[k][j] = i;
          }
        }
      }
    }
  }
  if (awkward != nullptr) {
    *awkward = 0;
  }
  if (best[count][n] >= none) {
    return greedy_lines(f, size, words, high);
  }
  std::vector<std::string> lines(count);
  std::size_t j = n;
  for (std::size_t k = count; k > 0; --k) {
    const std::size_t i = from[k][j];
    lines[k - 1] = text[i][j];
    if (awkward != nullptr && j < n) {
      *awkward += std::max(0.0f, break_cost(words[j - 1], words[j]));
    }
    j = i;
  }
  return lines;
}

text_mask render_text(face f, int size, const std::string& utf8, int margin) {
  FT_Face ft = select_face(f, size);
  text_mask m;
  m.margin = margin;
  m.ascent = static_cast<int>((ft->size->metrics.ascender + 63) / 64);
  const int descent = static_cast<int>((-ft->size->metrics.descender + 63) / 64);
  m.advance = text_width(f, size, utf8);
  m.coverage = make_plane(m.advance + 2 * margin + 2, m.ascent + descent + 2 * margin);
  long pen = 0;
  for (std::uint32_t cp : utf8_code_points(utf8)) {
    if (FT_Load_Char(ft, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
      continue;
    }
    const FT_GlyphSlot g = ft->glyph;
    const int ox = margin + static_cast<int>(pen / 64) + g->bitmap_left;
    const int oy = margin + m.ascent - g->bitmap_top;
    for (unsigned row = 0; row < g->bitmap.rows; ++row) {
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        const int x = ox + static_cast<int>(col);
        const int y = oy + static_cast<int>(row);
        if (x < 0 || y < 0 || x >= m.coverage.width || y >= m.coverage.height) {
          continue;
        }
        const float v = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0f;
        at(m.coverage, x, y) = std::max(at(m.coverage, x, y), v);
      }
    }
    pen += g->advance.x;
  }
  return m;
}

std::pair<int, int> draw_line_of_text(canvas& c, int x, int y, int w, int h, const std::string& utf8, text_style style,
                                      align a) {
  const int room = style.outline ? 4 : 2;
  const int size = fit_size(style.font, style.size, w - room, utf8);
  const int margin = std::max(style.glow_radius * 2, 3);
  text_mask m = render_text(style.font, size, utf8, margin);
  const int text_height = m.coverage.height - 2 * margin;
  const int left = a == align::centre ? x + (w - m.advance) / 2 : x + room / 2;
  const int top = y + (h - text_height) / 2;
  const int ox = left - margin;
  const int oy = top - margin;
  if (style.glow_strength > 0) {
    paint_light(c, blur(dilate(m.coverage, 1), style.glow_radius), ox, oy, style.glow, style.glow_strength);
  }
  if (style.outline) {
    paint(c, blur(dilate(m.coverage, 2), 1), ox, oy, rgb{10, 10, 14}, 1.0f);
  }
  paint(c, m.coverage, ox, oy, style.colour, 1.0f);
  return {left, m.advance};
}

}  // namespace shindan::assetgen
