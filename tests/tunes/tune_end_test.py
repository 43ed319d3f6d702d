#!/usr/bin/env python3
"""The browser's renderings of the tunes end where the MIDI end of track
says, with one second of release after it: the end read from the file
(tempo changes, RMID wrapping, bytes that are no music), a rendering cut
with a fade or padded with silence, and a short tune rendered by web-pack
whose end of track is known.

  tune_end_test.py SCRIPTS_DIR
"""

import array
import importlib.machinery
import importlib.util
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

sys.dont_write_bytecode = True
SCRIPTS = os.path.abspath(sys.argv.pop(1))
sys.path.insert(0, SCRIPTS)
import tune_end  # noqa: E402

RATE = 48000


def vlq(n):
    out = [n & 0x7F]
    while n > 0x7F:
        n >>= 7
        out.insert(0, (n & 0x7F) | 0x80)
    return bytes(out)


def chunk(name, body):
    return name + struct.pack(">I", len(body)) + body


def midi(tracks, division=96):
    return chunk(b"MThd", struct.pack(">HHH", 1, len(tracks), division)) + b"".join(
        chunk(b"MTrk", t) for t in tracks)


END = b"\xff\x2f\x00"


def note_and_rest(note_ticks, rest_ticks):
    """One middle C of note_ticks, then rest_ticks of nothing before the end
    of track (at the default 120 beats a minute, 96 ticks are half a
    second)."""
    return vlq(0) + b"\x90\x3c\x64" + vlq(note_ticks) + b"\x80\x3c\x00" + vlq(rest_ticks) + END


def write_wav(path, samples, channels=2):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(array.array("h", samples).tobytes())


def read_wav(path):
    with wave.open(path, "rb") as w:
        return w.getnchannels(), w.getframerate(), array.array("h", w.readframes(w.getnframes()))


class EndOfTrack(unittest.TestCase):
    def test_the_last_track_end_counts_through_every_tempo_change(self):
        # A quarter-second note and a rest up to 1.5 s: the rest counts.
        self.assertAlmostEqual(tune_end.midi_end_seconds(midi([note_and_rest(48, 240)])), 1.5)
        # A tempo track (a beat at 60 a minute, then 240 a minute) that ends
        # first times a second track of three beats: 1 s + 0.5 s.
        tempos = vlq(0) + b"\xff\x51\x03\x0f\x42\x40" + vlq(96) + b"\xff\x51\x03\x03\xd0\x90" + vlq(0) + END
        music = vlq(0) + b"\x90\x3c\x64" + vlq(288) + b"\x3c\x00" + vlq(0) + END  # running status
        self.assertAlmostEqual(tune_end.midi_end_seconds(midi([tempos, music])), 1.5)
        # Wrapped in a RIFF RMID file.
        smf = midi([note_and_rest(48, 240)])
        body = b"RMID" + b"LIST" + struct.pack("<I", 3) + b"abc\0" + b"data" + struct.pack("<I", len(smf)) + smf
        self.assertAlmostEqual(tune_end.midi_end_seconds(b"RIFF" + struct.pack("<I", len(body)) + body), 1.5)

    def test_bytes_that_are_no_music_answer_none(self):
        for data in (b"", b"MThd", b"RIFF\0\0\0\0WAVE", midi([]), midi([note_and_rest(48, 0)], division=0)):
            self.assertIsNone(tune_end.midi_end_seconds(data), data)


class Release(unittest.TestCase):
    def cut(self, seconds, end):
        """A tone of the given length cut for an end of track at end."""
        with tempfile.TemporaryDirectory() as tmp:
            source, out = os.path.join(tmp, "in.wav"), os.path.join(tmp, "out.wav")
            write_wav(source, [8000, -8000] * round(seconds * RATE))
            tune_end.cut_at_release(source, end, out)
            return read_wav(out)

    def test_a_long_ring_is_cut_a_second_after_the_end_with_a_fade(self):
        channels, rate, samples = self.cut(4.0, 1.5)
        self.assertEqual((channels, rate, len(samples)), (2, RATE, round(2.5 * RATE) * 2))
        # Untouched up to the fade, then falling to nearly nothing.
        before_fade = round((2.5 - tune_end.FADE) * RATE) * 2 - 2
        self.assertEqual(samples[before_fade], 8000)
        self.assertLess(abs(samples[-2]), 8000 * 0.05)
        self.assertGreater(abs(samples[-2]), 0)

    def test_a_short_ring_is_padded_with_silence(self):
        channels, rate, samples = self.cut(1.75, 1.5)
        self.assertEqual(len(samples), round(2.5 * RATE) * 2)
        self.assertEqual(samples[round(1.75 * RATE) * 2 - 2], 8000)  # nothing faded
        self.assertEqual(set(samples[round(1.75 * RATE) * 2:]), {0})
        # With no end of track known, the rendering's own end counts.
        channels, rate, samples = self.cut(1.0, None)
        self.assertEqual(len(samples), 2 * RATE * 2)


def load_web_pack():
    loader = importlib.machinery.SourceFileLoader("web_pack", os.path.join(SCRIPTS, "web-pack"))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader("web_pack", loader))
    loader.exec_module(module)
    return module


class Rendering(unittest.TestCase):
    def test_a_short_tune_is_rendered_to_its_end_of_track_and_a_second(self):
        web_pack = load_web_pack()
        try:
            web_pack.soundfont()
        except SystemExit:
            self.skipTest("no General-MIDI soundfont")
        with tempfile.TemporaryDirectory() as tmp:
            tune = os.path.join(tmp, "tune.mid")
            with open(tune, "wb") as f:
                f.write(midi([note_and_rest(48, 240)]))
            opus = os.path.join(tmp, "tune.opus")
            with open(opus, "wb") as f:
                f.write(web_pack.render_tune(tune, None))
            decoded = os.path.join(tmp, "tune.wav")
            subprocess.run(["opusdec", "--quiet", "--rate", str(RATE), opus, decoded], check=True)
            channels, rate, samples = read_wav(decoded)
        self.assertAlmostEqual(len(samples) / channels / rate, 2.5, delta=0.01)
        # The note sounds at the start; the end of the release is silent.
        self.assertGreater(max(abs(s) for s in samples[:RATE * channels // 4]), 1000)
        self.assertLess(max(abs(s) for s in samples[-RATE * channels // 10:]), 100)


if __name__ == "__main__":
    unittest.main()
