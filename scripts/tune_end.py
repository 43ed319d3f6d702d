"""Where a rendered tune must end: the MIDI end of track, read from the file
as the game's own reader reads it (scripts/web-pack renders each tune with
FluidSynth, which plays on until the last notes have died away, seconds
later), and the rendering cut or padded to hold exactly RELEASE seconds after
it, so that the page knows where the loop comes without being told: RELEASE
seconds before the rendering's end.
"""
import array
import struct
import sys
import wave

# Seconds of sound kept after the end of track; the page knows the same.
RELEASE = 1
# The fade that ends a release cut off while it still sounds, in seconds.
FADE = 0.05
# Part of the rendering cache's key: a change here renders every tune anew.
VERSION = ("release %s fade %s" % (RELEASE, FADE)).encode()


def midi_end_seconds(data):
    """Seconds from a standard MIDI file's start to the end of its last track,
    tempo changes followed (as the game's own reader does); None when the
    bytes are no MIDI music it can read."""
    if data[:4] == b"RIFF" and data[8:12] == b"RMID":
        at = 12
        while at + 8 <= len(data):
            size = struct.unpack("<I", data[at + 4:at + 8])[0]
            if data[at:at + 4] == b"data":
                data = data[at + 8:at + 8 + size]
                break
            at += 8 + size + (size & 1)
    if len(data) < 14 or data[:4] != b"MThd":
        return None
    length, _, tracks, division = struct.unpack(">IHHH", data[4:14])
    if length < 6 or 8 + length > len(data) or not division or not tracks:
        return None
    at, end, tempos, found = 8 + length, 0, [], 0

    def quantity(track, i):
        value = 0
        for _ in range(4):
            if i >= len(track):
                return None, i
            value = (value << 7) | (track[i] & 0x7F)
            i += 1
            if not track[i - 1] & 0x80:
                return value, i
        return None, i

    def track_end(track):
        tick = whole = 0
        i, running = 0, 0
        while True:
            delta, i = quantity(track, i)
            if delta is None or i >= len(track):
                return whole
            tick += delta
            status = track[i]
            i += 1
            if status in (0xFF, 0xF0, 0xF7):
                kind = None
                if status == 0xFF:
                    if i >= len(track):
                        return whole
                    kind, i = track[i], i + 1
                size, i = quantity(track, i)
                if size is None or i + size > len(track):
                    return whole
                if kind == 0x2F:
                    return tick
                if kind == 0x51 and size == 3:
                    tempos.append((tick, int.from_bytes(track[i:i + 3], "big")))
                i += size
                running = 0
            else:
                if status < 0x80:
                    if not running:
                        return whole
                    i -= 1
                    status = running
                elif status >= 0xF0:
                    return whole
                running = status
                i += 1 if status & 0xF0 in (0xC0, 0xD0) else 2
                if i > len(track):
                    return whole
            whole = tick

    while found < tracks and at + 8 <= len(data):
        size = struct.unpack(">I", data[at + 4:at + 8])[0]
        body = data[at + 8:at + 8 + size]
        if data[at:at + 4] == b"MTrk":
            end = max(end, track_end(body))
            found += 1
        at += 8 + len(body)
    if not found:
        return None
    if division & 0x8000:
        frames, per_frame = 256 - (division >> 8), division & 0xFF
        if not per_frame:
            return None
        return end / ((29.97 if frames == 29 else frames) * per_frame)
    seconds, tick, tempo = 0.0, 0, 500000
    for at_tick, value in sorted(tempos, key=lambda t: t[0]):
        if at_tick >= end:
            break
        seconds += (at_tick - tick) * tempo / division / 1e6
        tick, tempo = at_tick, value
    return seconds + (end - tick) * tempo / division / 1e6


def cut_at_release(wav, end, out):
    """Copies the rendering from wav to out holding RELEASE seconds after the
    end of track at end seconds (the rendering's own end when None): cut
    with a short fade where it still sounds, padded with silence where it
    stopped sooner."""
    with wave.open(wav, "rb") as w:
        params = w.getparams()
        frames = w.readframes(w.getnframes())
    if params.sampwidth != 2:
        sys.exit("web-pack: FluidSynth wrote %d-byte samples, not 16-bit" % params.sampwidth)
    frame_bytes = params.nchannels * 2
    have = len(frames) // frame_bytes
    keep = round(((have / params.framerate) if end is None else end) * params.framerate) + RELEASE * params.framerate
    samples = array.array("h", frames[:min(have, keep) * frame_bytes])
    if sys.byteorder != "little":
        samples.byteswap()
    if keep < have:
        fade = min(keep, round(FADE * params.framerate))
        for n in range(fade):
            gain = (fade - n) / (fade + 1)
            at = (keep - fade + n) * params.nchannels
            for c in range(params.nchannels):
                samples[at + c] = int(samples[at + c] * gain)
    samples.extend([0] * ((keep - min(have, keep)) * params.nchannels))
    if sys.byteorder != "little":
        samples.byteswap()
    with wave.open(out, "wb") as w:
        w.setnchannels(params.nchannels)
        w.setsampwidth(2)
        w.setframerate(params.framerate)
        w.writeframes(samples.tobytes())
