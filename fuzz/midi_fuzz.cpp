// Fuzz target: any bytes as a MIDI file whose end of track is read. The
// reader must stay inside the bytes, whatever lengths and quantities they
// claim, and always answer.
#include <cstddef>
#include <cstdint>

#include "platform/common/midi_length.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  shindan::midi_end_ms(data, size);
  return 0;
}
