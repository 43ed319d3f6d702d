// Builds RIFF/WAVE files byte by byte for the sound tests, in a temporary
// directory of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace shindan::test {

using bytes = std::vector<std::uint8_t>;

void put_u16(bytes* out, std::uint32_t value);
void put_u32(bytes* out, std::uint32_t value);
void put_text(bytes* out, const char* four);

// A chunk with its identifier, a size field (the body's size unless given)
// and the body, padded to an even length as RIFF asks.
bytes chunk(const char* id, const bytes& body);
bytes chunk_claiming(const char* id, std::uint32_t claimed_size, const bytes& body);
// The 16 bytes of a PCM format record.
bytes format_body(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);
// "RIFF" size form, then the chunks.
bytes riff(const char* form, const std::vector<bytes>& chunks);
bytes wave(const std::vector<bytes>& chunks);

// A fresh temporary directory, removed at exit; files are written into it.
std::string temp_path(const std::string& name);
std::string write_file(const std::string& name, const bytes& contents);

}  // namespace shindan::test
