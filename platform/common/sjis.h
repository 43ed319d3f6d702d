// Shift-JIS (code page 932) text of the program turned into what the host
// takes: UTF-8 for file names, code points for the text renderer.
#pragma once

#include <cstddef>
#include <string>

namespace shindan {

// Bytes that are no Shift-JIS character become U+FFFD, one per bad byte, so
// a broken string still converts as far as it can and never stops early.
std::string sjis_to_utf8(const char* text, std::size_t length);
std::u32string sjis_to_utf32(const char* text, std::size_t length);
// A zero-terminated Shift-JIS file name as the host file system takes it;
// false when some byte of it is no character, since opening a name cut or
// patched up would reach another file.
bool sjis_path(const char* name, std::string* out);

}  // namespace shindan
