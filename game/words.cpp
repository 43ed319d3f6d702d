// The words file's reader. The file comes from the pack and may be missing,
// cut short or edited by hand: nothing in it can stop the game, and only
// valid UTF-8 leaves it.
#include <cstring>

#include "app/utf8.h"
#include "game/narration.h"

namespace shindan {

const char words_file_name[] = "words.txt";

namespace {

constexpr std::uint32_t replacement = 0xFFFD;

// One sequence from p: its code point and length, or replacement and 1.
std::uint32_t decode(const unsigned char* p, std::size_t left, std::size_t* used) {
  *used = 1;
  const unsigned char b = p[0];
  if (b < 0x80)
    return b;
  std::size_t length = 0;
  std::uint32_t c = 0, least = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2, c = b & 0x1Fu, least = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3, c = b & 0x0Fu, least = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4, c = b & 0x07u, least = 0x10000;
  } else {
    return replacement;
  }
  if (left < length)
    return replacement;
  for (std::size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80)
      return replacement;
    c = (c << 6) | (p[i] & 0x3Fu);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    return replacement;
  *used = length;
  return c;
}

std::string trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string valid_utf8(const char* bytes, std::size_t size) {
  std::string out;
  out.reserve(size);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  for (std::size_t at = 0; at < size;) {
    std::size_t used = 1;
    std::uint32_t c = decode(p + at, size - at, &used);
    // A voice or a screen reader would take a line break or an escape for
    // the end of the message or a command of its own.
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029)
      c = ' ';
    append_utf8(&out, c);
    at += used;
  }
  return out;
}

std::string parse_words(const char* bytes, std::size_t size, words_record* words) {
  words->lines.clear();
  std::string problem;
  std::size_t at = 0;
  // A byte order mark from an editor is no part of the first key.
  if (size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0)
    at = 3;
  for (int line_number = 1; at < size; ++line_number) {
    const void* found = std::memchr(bytes + at, '\n', size - at);
    const std::size_t end = found ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes) : size;
    std::size_t length = end - at;
    if (length > 0 && bytes[at + length - 1] == '\r')
      --length;
    const std::string raw(bytes + at, length);
    at = end + 1;
    const std::string line = trim(raw);
    if (line.empty() || line[0] == '#')
      continue;
    const std::size_t equals = line.find('=');
    const std::string key = equals == std::string::npos ? std::string() : trim(line.substr(0, equals));
    if (key.empty()) {
      if (problem.empty())
        problem = "line " + std::to_string(line_number) + " is not key=text";
      continue;
    }
    const std::string text = line.substr(equals + 1);
    std::string clean = valid_utf8(text.data(), text.size());
    if (clean != text && problem.empty())
      problem = "line " + std::to_string(line_number) + " holds bytes that are no UTF-8 text (replaced)";
    words->lines[valid_utf8(key.data(), key.size())].push_back(trim(clean));
  }
  return problem;
}

const std::string& word(const words_record& words, const std::string& key, std::size_t index) {
  static const std::string none;
  const auto it = words.lines.find(key);
  if (it == words.lines.end() || index >= it->second.size())
    return none;
  return it->second[index];
}

}  // namespace shindan
