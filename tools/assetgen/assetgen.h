// The asset pack generator: every picture, sound effect and tune the game
// opens, drawn and composed by code so the pack can be rebuilt byte for byte.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace shindan::assetgen {

// ---- colour and canvases (float channels 0..255, black = transparent)
struct rgb {
  float r = 0, g = 0, b = 0;
};
rgb mix(rgb a, rgb b, float t);
rgb scale(rgb a, float k);

struct canvas {
  int width = 0;
  int height = 0;
  std::vector<rgb> pixels;  // top row first
};
canvas make_canvas(int width, int height);
rgb& at(canvas& c, int x, int y);
// Blends colour over the pixel with coverage alpha (0..1); outside: ignored.
void blend(canvas& c, int x, int y, rgb colour, float alpha);
// Adds light (for the additive effects that are drawn onto the screen).
void add_light(canvas& c, int x, int y, rgb colour, float amount);
void fill_rect(canvas& c, int x, int y, int w, int h, rgb colour);
void draw_line(canvas& c, float x0, float y0, float x1, float y1, float thickness, rgb colour, float alpha);
// Pixels of the rectangle that would vanish as the colour key (too dark to
// survive the 16-bit conversion) are lifted to the given near-black colour.
void make_opaque(canvas& c, int x, int y, int w, int h, rgb floor_colour);
// Copies src into dst at (x, y).
void paste(canvas& dst, const canvas& src, int x, int y);

// ---- coverage planes (text masks, glows)
struct plane {
  int width = 0;
  int height = 0;
  std::vector<float> v;
};
plane make_plane(int width, int height);
float& at(plane& p, int x, int y);
float get(const plane& p, int x, int y);  // 0 outside
plane blur(const plane& p, int radius);   // box blur, three passes
plane dilate(const plane& p, int radius);
// Paints colour through the plane's coverage at offset (x, y), times strength.
void paint(canvas& c, const plane& p, int x, int y, rgb colour, float strength);
void paint_light(canvas& c, const plane& p, int x, int y, rgb colour, float strength);

// ---- text through FreeType
// The Japanese pack sets its texts in mincho and its small prompts in gothic;
// a pack in a Latin script sets every text in one serif, the latin face. The
// figures and the scale keep the gothic digits in every pack.
enum class face : std::uint8_t { mincho, gothic, latin };
// An empty latin path leaves that face unopened.
bool init_fonts(const std::string& mincho_path, const std::string& gothic_path, const std::string& latin_path);
void close_fonts();
// Width in pixels of one line at the pixel size.
int text_width(face f, int size, const std::string& utf8);
// The line's coverage, with room for effects: `margin` pixels on every side;
// the pen starts at (margin, margin + ascent).
struct text_mask {
  plane coverage;
  int margin = 0;
  int ascent = 0;  // baseline below the top of the text area
  int advance = 0;
};
text_mask render_text(face f, int size, const std::string& utf8, int margin);
// The largest size up to `preferred` whose line fits max_width.
int fit_size(face f, int preferred, int max_width, const std::string& utf8);
// Breaks a paragraph at its spaces into as few lines no wider than max_width
// as will do, evened out so that the last line is not left short, with the
// breaks between phrases where the words allow. A word wider than max_width
// stays whole on a line of its own. `awkward`, when given, receives how badly
// the breaks that could not be placed well part their words (0: none).
std::vector<std::string> wrap_words(face f, int size, const std::string& utf8, int max_width, float* awkward = nullptr);

// How a line of text is finished.
struct text_style {
  face font = face::mincho;
  int size = 18;
  rgb colour{220, 220, 230};
  rgb glow{0, 0, 0};  // added light around the letters (none when black)
  float glow_strength = 0;
  int glow_radius = 3;
  bool outline = false;  // an opaque near-black edge for reading over pictures
};
enum class align : std::uint8_t { left, centre };
// Draws one line in the box (x, y, w, h), vertically centred; the size
// shrinks to fit. Answers the x where the text started and its width.
std::pair<int, int> draw_line_of_text(canvas& c, int x, int y, int w, int h, const std::string& utf8, text_style style,
                                      align a);

// ---- deterministic noise
float hash01(int x, int y, int seed);
float value_noise(float x, float y, int seed);
float fractal_noise(float x, float y, int seed, int octaves);

// ---- file writers
// 24-bit bottom-up Windows bitmap with a 40-byte info header.
std::vector<std::uint8_t> bmp_bytes(const canvas& c);
// 16-bit PCM mono WAV.
std::vector<std::uint8_t> wav_bytes(const std::vector<float>& samples, int rate);
bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes);

// ---- texts
struct question_text {
  std::string id;  // "q001"
  std::vector<std::string> lines;
  std::vector<std::string> answers;
};
// Parses the question file; on failure answers false with a reason.
bool parse_questions(const std::string& text, std::vector<question_text>* out, std::string* why);
// key=value lines, '#' comments; a key may repeat to give several lines.
using text_table = std::map<std::string, std::vector<std::string>>;
bool parse_texts(const std::string& text, text_table* out, std::string* why);
bool read_text_file(const std::string& path, std::string* out);
std::vector<std::uint32_t> utf8_code_points(const std::string& utf8);

// ---- the pack
struct pack_inputs {
  bool latin = false;  // texts in a Latin script: the latin face, words wrapped at spaces
  text_table texts;
  std::vector<question_text> questions;
};
using file_set = std::map<std::string, std::vector<std::uint8_t>>;
// Each adds its files (name -> bytes); false with a reason when a text is missing.
bool make_pictures(const pack_inputs& in, file_set* out, std::string* why);
void make_sounds(file_set* out);
// "words.txt": the pictures' texts and speech's own words, in UTF-8.
bool make_words(const pack_inputs& in, file_set* out, std::string* why);
void make_tunes(file_set* out);

constexpr int sample_rate = 22050;

// ---- the program's icon
struct icon_picture {
  canvas colour;  // over black, as a bitmap shows it
  plane alpha;    // the disc's coverage
};
// zoom scales the disc and ring about the centre.
icon_picture draw_icon(int size, float zoom = 1.0f);
// Opaque, the disc small enough for any mask shape a launcher cuts.
icon_picture draw_maskable_icon(int size);
// 8-bit RGBA PNG with straight (not premultiplied) colour.
std::vector<std::uint8_t> png_bytes(const icon_picture& icon);
// The sizes desktops look for in the hicolor icon theme.
constexpr int icon_sizes[] = {16, 32, 48, 64, 128, 256};
// "icon.bmp", 64x64, for the window.
void make_window_icon(file_set* out);
// "hicolor/NxN/apps/shindan.png" for every size, and the web page's
// "web/icon-192.png", "web/icon-512.png" and "web/icon-maskable-512.png";
// false when one cannot be encoded.
bool make_theme_icons(file_set* out);

}  // namespace shindan::assetgen
