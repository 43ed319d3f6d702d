// Byte writers for bitmaps and WAVs, and the readers of the asset texts.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/assetgen/assetgen.h"

namespace shindan::assetgen {

static void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

static void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

static std::uint8_t channel_byte(float v) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

std::vector<std::uint8_t> bmp_bytes(const canvas& c) {
  const std::uint32_t row_bytes = (static_cast<std::uint32_t>(c.width) * 3 + 3) & ~3u;
  const std::uint32_t image_bytes = row_bytes * static_cast<std::uint32_t>(c.height);
  std::vector<std::uint8_t> out;
  out.reserve(54 + image_bytes);
  out.push_back('B');
  out.push_back('M');
  put32(out, 54 + image_bytes);
  put32(out, 0);
  put32(out, 54);
  put32(out, 40);
  put32(out, static_cast<std::uint32_t>(c.width));
  put32(out, static_cast<std::uint32_t>(c.height));  // positive: bottom row first
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);  // no compression
  put32(out, image_bytes);
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  for (int y = c.height - 1; y >= 0; --y) {
    const rgb* row = &c.pixels[static_cast<std::size_t>(y) * c.width];
    for (int x = 0; x < c.width; ++x) {
      out.push_back(channel_byte(row[x].b));
      out.push_back(channel_byte(row[x].g));
      out.push_back(channel_byte(row[x].r));
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(c.width) * 3; pad < row_bytes; ++pad) {
      out.push_back(0);
    }
  }
  return out;
}

std::vector<std::uint8_t> wav_bytes(const std::vector<float>& samples, int rate) {
  const std::uint32_t data_bytes = static_cast<std::uint32_t>(samples.size()) * 2;
  std::vector<std::uint8_t> out;
  out.reserve(44 + data_bytes);
  for (char ch : std::string("RIFF")) {
    out.push_back(static_cast<std::uint8_t>(ch));
  }
  put32(out, 36 + data_bytes);
  for (char ch : std::string("WAVEfmt ")) {
    out.push_back(static_cast<std::uint8_t>(ch));
  }
  put32(out, 16);
  put16(out, 1);  // PCM
  put16(out, 1);  // mono
  put32(out, static_cast<std::uint32_t>(rate));
  put32(out, static_cast<std::uint32_t>(rate) * 2);
  put16(out, 2);
  put16(out, 16);
  for (char ch : std::string("data")) {
    out.push_back(static_cast<std::uint8_t>(ch));
  }
  put32(out, data_bytes);
  for (float s : samples) {
    const long v = std::clamp(std::lround(s * 32767.0f), -32768L, 32767L);
    put16(out, static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))));
  }
  return out;
}

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool read_text_file(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::ostringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
}

std::vector<std::uint32_t> utf8_code_points(const std::string& utf8) {
  std::vector<std::uint32_t> out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<std::uint8_t>(utf8[i]);
    int extra = 0;
    std::uint32_t cp = b;
    if (b >= 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else if (b >= 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if (b >= 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if (b >= 0x80) {
      out.push_back(0xFFFD);  // a stray continuation byte
      ++i;
      continue;
    }
    bool good = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= utf8.size() || (static_cast<std::uint8_t>(utf8[i + k]) & 0xC0) != 0x80) {
        good = false;
        break;
      }
      cp = (cp << 6) | (static_cast<std::uint8_t>(utf8[i + k]) & 0x3F);
    }
    if (!good) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

// Lines without their end (LF or CR LF), a leading byte-order mark removed.
static std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string body = text;
  if (body.size() >= 3 && body.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    body.erase(0, 3);
  }
  std::string line;
  std::istringstream in(body);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

static std::string trim(const std::string& s) {
  const auto start = s.find_first_not_of(" \t");
  if (start == std::string::npos) {
    return "";
  }
  const auto end = s.find_last_not_of(" \t");
  return s.substr(start, end - start + 1);
}

bool parse_questions(const std::string& text, std::vector<question_text>* out, std::string* why) {
  std::vector<question_text> qs;
  int line_no = 0;
  auto fail = [&](const std::string& reason) {
    *why = "line " + std::to_string(line_no) + ": " + reason;
    return false;
  };
  for (const std::string& raw : split_lines(text)) {
    ++line_no;
    const std::string line = trim(raw);
    if (line.empty() || line[0] == '#') {
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') {
        return fail("unclosed block name");
      }
      const std::string id = line.substr(1, line.size() - 2);
      char expected[16];
      std::snprintf(expected, sizeof expected, "q%03d", static_cast<int>(qs.size()) + 1);
      if (id != expected) {
        return fail("expected [" + std::string(expected) + "], found [" + id + "]");
      }
      qs.push_back(question_text{id, {}, {}});
      continue;
    }
    if (qs.empty()) {
      return fail("text before the first block");
    }
    if (line.size() < 2 || line[1] != '=' || (line[0] != 'Q' && line[0] != 'A')) {
      return fail("expected Q= or A=");
    }
    const std::string value = trim(line.substr(2));
    if (value.empty()) {
      return fail("empty line of text");
    }
    question_text& q = qs.back();
    if (line[0] == 'Q') {
      if (!q.answers.empty()) {
        return fail("question line after an answer");
      }
      // Whether the lines fit their picture is measured when it is drawn.
      if (q.lines.size() == 6) {
        return fail("more than 6 question lines");
      }
      q.lines.push_back(value);
    } else {
      if (q.answers.size() == 3) {
        return fail("more than 3 answers");
      }
      q.answers.push_back(value);
    }
  }
  for (const question_text& q : qs) {
    if (q.lines.empty() || q.answers.size() != 3) {
      *why = q.id + ": needs 1 to 6 Q lines and exactly 3 A lines";
      return false;
    }
  }
  if (qs.size() != 60) {
    *why = "expected 60 questions, found " + std::to_string(qs.size());
    return false;
  }
  *out = std::move(qs);
  return true;
}

bool parse_texts(const std::string& text, text_table* out, std::string* why) {
  text_table table;
  int line_no = 0;
  for (const std::string& raw : split_lines(text)) {
    ++line_no;
    const std::string line = trim(raw);
    if (line.empty() || line[0] == '#') {
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      *why = "line " + std::to_string(line_no) + ": expected key=text";
      return false;
    }
    table[trim(line.substr(0, eq))].push_back(trim(line.substr(eq + 1)));
  }
  *out = std::move(table);
  return true;
}

}  // namespace shindan::assetgen
