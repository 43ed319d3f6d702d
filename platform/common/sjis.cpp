// Shift-JIS conversion through the C library's iconv ("CP932": the Windows
// code page, in which 0x5C is the backslash and 0x7E the tilde, as the
// program's strings expect, not the yen and overline of plain Shift-JIS).
#include "platform/common/sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/utf8.h"
#include "platform/platform.h"

namespace shindan {

namespace {

// Converts to UTF-32 in the host's byte order; every other form is built on
// this one. Descriptors are opened once and reset for each string.
// Some C libraries (the browser build's) know the code page only by its
// common name; their Shift-JIS reads ASCII bytes as ASCII all the same.
iconv_t open_converter() {
  iconv_t cd = iconv_open("UTF-32LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1))
    cd = iconv_open("UTF-32LE", "SHIFT_JIS");
  return cd;
}

std::u32string convert(const char* text, std::size_t length) {
  static iconv_t cd = open_converter();
  std::u32string out;
  if (!text || length == 0)
    return out;
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter on this system: ASCII still reads right.
    for (std::size_t i = 0; i < length; ++i)
      out.push_back(static_cast<unsigned char>(text[i]) < 0x80 ? static_cast<char32_t>(text[i]) : U'\uFFFD');
    return out;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(text);
  std::size_t in_left = length;
  while (in_left > 0) {
    char buffer[256];
    char* to = buffer;
    std::size_t to_left = sizeof buffer;
    const std::size_t r = iconv(cd, &in, &in_left, &to, &to_left);
    const int error = errno;
    for (char* p = buffer; p + 4 <= to; p += 4) {
      const auto* b = reinterpret_cast<const unsigned char*>(p);
      out.push_back(
          static_cast<char32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24)));
    }
    if (r != static_cast<std::size_t>(-1))
      break;
    if (error == E2BIG)
      continue;
    // An invalid or cut-off sequence: mark it and go on after its first byte.
    out.push_back(U'\uFFFD');
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

std::u32string sjis_to_utf32(const char* text, std::size_t length) {
  return convert(text, length);
}

std::string sjis_to_utf8(const char* text, std::size_t length) {
  std::string out;
  for (char32_t c : convert(text, length))
    append_utf8(&out, c);
  return out;
}

bool sjis_path(const char* name, std::string* out) {
  if (!name || !out)
    return false;
  *out = sjis_to_utf8(name, std::strlen(name));
  return out->find("\xEF\xBF\xBD") == std::string::npos;
}

std::FILE* plat_open_file_sjis(const char* name, const char* mode) {
  std::string host_name;
  if (!mode || !sjis_path(name, &host_name))
    return nullptr;
  return std::fopen(host_name.c_str(), mode);
}

}  // namespace shindan
