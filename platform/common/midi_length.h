// When a standard MIDI file's music ends: the moment its last track reaches
// its end-of-track event, tempo changes followed. The Windows sequencer
// reports a tune's end there, however long the notes ring on; the other
// builds read the same moment from the file, so every edition loops a tune at
// the same place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace shindan {

// Milliseconds from the start to the end of the last track (a track cut short
// ends at its last whole event); 0 when the bytes hold no MIDI music it can
// read. A RIFF "RMID" file is read through its "data" chunk.
std::uint32_t midi_end_ms(const std::uint8_t* data, std::size_t size);

}  // namespace shindan
