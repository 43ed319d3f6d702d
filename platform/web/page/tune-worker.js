// Decodes the rendered tunes (Ogg Opus) away from the page's thread, a
// packet at a time with WebCodecs.
//
// decodeAudioData decodes on a thread of its own, but hands the result to
// the page as one copy of the whole tune: a task of several hundred
// milliseconds on a slow phone, in the middle of the title. Here the samples
// come back as plain arrays (handed over, not copied), which the page then
// copies into its buffer a second at a time. Where the browser has no
// WebCodecs in a worker, or the file is not a plain Ogg Opus stream, the
// answer is null and the page uses decodeAudioData after all.
//
// Asked { id, bytes }, it answers { id, rate, planes } (one Float32Array a
// channel) or { id, planes: null }.
'use strict';

const OPUS_RATE = 48000;
// Packets handed to the decoder before the worker waits for its queue to
// drain: enough to keep it busy, few enough that feeding them is short.
const FEED = 32;

function samePacket(pieces) {
  if (pieces.length === 1)
    return pieces[0];
  const packet = new Uint8Array(pieces.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of pieces) {
    packet.set(p, at);
    at += p.length;
  }
  return packet;
}

// A page starts with "OggS" and version 0.
function pageAt(bytes, at) {
  return at + 27 <= bytes.length && bytes[at] === 0x4f && bytes[at + 1] === 0x67 && bytes[at + 2] === 0x67 &&
    bytes[at + 3] === 0x53 && bytes[at + 4] === 0;
}

// A page's granule position, or -1 where it has none (all ones: no packet
// ends on it).
function granuleAt(bytes, at) {
  const page = new DataView(bytes.buffer, bytes.byteOffset + at, 27);
  const low = page.getUint32(6, true);
  const high = page.getUint32(10, true);
  return low === 0xffffffff && high === 0xffffffff ? -1 : high * 0x100000000 + low;
}

// The packets of a single Ogg stream, one page read at a time as they are
// asked for, so that a long tune is not all read in one go; it ends early,
// with ogg.broken set, at anything it cannot read.
function* oggPackets(bytes, ogg) {
  let pieces = [];
  let serial = null;
  let at = 0;
  while (at < bytes.length) {
    if (!pageAt(bytes, at))
      break;
    const s = new DataView(bytes.buffer, bytes.byteOffset + at + 14, 4).getUint32(0, true);
    if (serial === null)
      serial = s;
    else if (s !== serial)
      break;
    const segments = bytes[at + 26];
    let body = at + 27 + segments;
    for (let i = 0; i < segments; ++i) {
      const size = bytes[at + 27 + i];
      if (body + size > bytes.length) {
        ogg.broken = true;
        return;
      }
      pieces.push(bytes.subarray(body, body + size));
      body += size;
      // A lacing value of 255 continues the packet, on this page or the next.
      if (size < 255) {
        yield samePacket(pieces);
        pieces = [];
      }
    }
    at = body;
  }
  ogg.broken = at < bytes.length || pieces.length > 0;
}

// The granule position of the stream's last page: its length in samples,
// pre-skip included; -1 when the file does not end on a whole page.
function streamEnd(bytes) {
  const from = Math.max(0, bytes.length - 27 - 255 * 256);
  for (let at = bytes.length - 27; at >= from; --at) {
    if (!pageAt(bytes, at))
      continue;
    const segments = bytes[at + 26];
    let size = 27 + segments;
    for (let i = 0; i < segments && at + 27 + i < bytes.length; ++i)
      size += bytes[at + 27 + i];
    if (at + size === bytes.length)
      return granuleAt(bytes, at);
  }
  return -1;
}

// The length of each frame of a packet in microseconds, from its
// table-of-contents byte.
function frameMicros(toc) {
  const config = toc >> 3;
  return config < 12 ? [10000, 20000, 40000, 60000][config & 3]
    : config < 16 ? [10000, 20000][config & 1]
    : [2500, 5000, 10000, 20000][config & 3];
}

// A packet's length in microseconds.
function packetMicros(packet) {
  if (packet.length < 1)
    return 0;
  const code = packet[0] & 3;
  const frames = code === 0 ? 1 : code < 3 ? 2 : packet.length > 1 ? packet[1] & 0x3f : 0;
  return frames * frameMicros(packet[0]);
}

// The frames of a packet, by its table-of-contents code; null where they do
// not add up.
function packetFrames(packet) {
  const code = packet[0] & 3;
  const body = packet.subarray(1);
  if (code === 0)
    return [body];
  if (code === 1)
    return body.length % 2 === 0 ? [body.subarray(0, body.length / 2), body.subarray(body.length / 2)] : null;
  if (code === 2) {
    if (body.length < 1)
      return null;
    const [size, used] = body[0] < 252 ? [body[0], 1] : [body[0] + 4 * (body[1] || 0), 2];
    return used + size <= body.length ? [body.subarray(used, used + size), body.subarray(used + size)] : null;
  }
  if (body.length < 1)
    return null;
  const count = body[0] & 0x3f;
  let at = 1;
  let padding = 0;
  if (body[0] & 0x40) {
    for (let more = true; more;) {
      if (at >= body.length)
        return null;
      const b = body[at++];
      padding += b === 255 ? 254 : b;
      more = b === 255;
    }
  }
  const end = body.length - padding;
  const sizes = [];
  if (body[0] & 0x80) {
    for (let i = 0; i < count - 1; ++i) {
      if (at >= end)
        return null;
      if (body[at] < 252) {
        sizes.push(body[at++]);
      } else {
        sizes.push(body[at] + 4 * (body[at + 1] || 0));
        at += 2;
      }
    }
    sizes.push(end - at - sizes.reduce((a, b) => a + b, 0));
  } else {
    for (let i = 0; i < count; ++i)
      sizes.push((end - at) / count);
  }
  if (count < 1 || sizes.some((n) => n < 0 || !Number.isInteger(n)))
    return null;
  const frames = [];
  for (const n of sizes) {
    frames.push(body.subarray(at, at + n));
    at += n;
  }
  return at === end ? frames : null;
}

function frameLength(size) {
  return size < 252 ? [size] : [252 + ((size - 252) & 3), (size - 252 - ((size - 252) & 3)) >> 2];
}

// Consecutive packets of the same kind joined into packets of up to 120 ms
// (the longest a packet holds). The decoder decodes the same frames in the
// same order, so the samples are the same; but each packet costs the
// browser a round of its own, and a tune of twenty-millisecond packets
// decoded several times slower than the same tune in six-times-longer ones.
function* joinedPackets(packets) {
  let kind = -1;
  let frames = [];
  let micros = 0;
  const joined = () => {
    if (frames.length === 1)
      return frames[0].packet;
    const lengths = frames.slice(0, -1).flatMap((f) => frameLength(f.data.length));
    const size = 2 + lengths.length + frames.reduce((n, f) => n + f.data.length, 0);
    const packet = new Uint8Array(size);
    packet[0] = (kind << 2) | 3;
    packet[1] = 0x80 | frames.length;  // frames of their own sizes, no padding
    packet.set(lengths, 2);
    let at = 2 + lengths.length;
    for (const f of frames) {
      packet.set(f.data, at);
      at += f.data.length;
    }
    return packet;
  };
  for (const packet of packets) {
    const parts = packet.length > 0 ? packetFrames(packet) : null;
    const each = parts ? frameMicros(packet[0]) : 0;
    if (frames.length > 0 && (!parts || packet[0] >> 2 !== kind || micros + each * parts.length > 120000 ||
        frames.length + parts.length > 48)) {
      yield joined();
      frames = [];
      micros = 0;
    }
    if (!parts) {
      yield packet;
      continue;
    }
    kind = packet[0] >> 2;
    for (const data of parts)
      frames.push({ data, packet });
    micros += each * parts.length;
  }
  if (frames.length > 0)
    yield joined();
}

// The stream's head, when it is one the decoder takes as it is: one or two
// channels, in the plain channel order.
function readHead(packet) {
  const magic = 'OpusHead';
  if (!packet || packet.length < 19 || [...magic].some((c, i) => packet[i] !== c.charCodeAt(0)) ||
      (packet[8] & 0xf0) !== 0)
    return null;
  const view = new DataView(packet.buffer, packet.byteOffset, packet.length);
  const head = {
    channels: packet[9],
    preSkip: view.getUint16(10, true),
    gain: view.getInt16(16, true),
    family: packet[18],
  };
  return head.family === 0 && head.channels >= 1 && head.channels <= 2 ? head : null;
}

function drained(decoder) {
  return new Promise((resolve) => {
    // Not every browser with WebCodecs says when its queue moves on.
    const timer = setTimeout(resolve, 20);
    decoder.addEventListener('dequeue', () => {
      clearTimeout(timer);
      resolve();
    }, { once: true });
  });
}

// The whole tune's samples, as decodeAudioData would give them at the
// stream's own rate; null where this way cannot decode it.
async function decodeOpus(bytes) {
  if (typeof AudioDecoder === 'undefined' || typeof EncodedAudioChunk === 'undefined')
    return null;
  const ogg = { broken: false };
  const packets = oggPackets(bytes, ogg);
  const first = packets.next().value;
  const head = readHead(first);
  const tags = packets.next().value;
  const audio = packets.next().value;
  const length = head ? streamEnd(bytes) - head.preSkip : 0;
  if (!head || !tags || !audio || length < 1)
    return null;
  const config = {
    codec: 'opus',
    sampleRate: OPUS_RATE,
    numberOfChannels: head.channels,
    description: first,
  };
  try {
    if (!(await AudioDecoder.isConfigSupported(config)).supported)
      return null;
  } catch (_) {
    return null;
  }
  let planes;
  try {
    planes = Array.from({ length: head.channels }, () => new Float32Array(length));
  } catch (_) {
    return null;
  }
  // The first samples out of the decoder only prime it (the pre-skip); the
  // last page's position says where the tune's samples end. Some decoders
  // drop the pre-skip themselves, given the head: their first output is
  // then shorter than the first packet.
  let firstFrames = 0;  // set as the first packet goes in, before any output
  let skip = null;
  let written = 0;
  let failed = false;
  const decoder = new AudioDecoder({
    output(data) {
      try {
        if (skip === null)
          skip = data.numberOfFrames < firstFrames ? 0 : head.preSkip;
        const from = Math.min(skip, data.numberOfFrames);
        skip -= from;
        const count = Math.min(data.numberOfFrames - from, length - written);
        for (let c = 0; c < planes.length && count > 0; ++c) {
          data.copyTo(planes[c].subarray(written, written + count),
            { planeIndex: c, format: 'f32-planar', frameOffset: from, frameCount: count });
        }
        written += Math.max(0, count);
      } catch (_) {
        failed = true;
      } finally {
        data.close();
      }
    },
    error() {
      failed = true;
    },
  });
  try {
    decoder.configure(config);
    let timestamp = 0;
    const all = (function* () {
      yield audio;
      yield* packets;
    })();
    for (const data of joinedPackets(all)) {
      if (failed)
        break;
      if (timestamp === 0)
        firstFrames = packetMicros(data) * OPUS_RATE / 1e6;
      decoder.decode(new EncodedAudioChunk({ type: 'key', timestamp, data }));
      timestamp += packetMicros(data);
      if (decoder.decodeQueueSize >= FEED) {
        while (decoder.decodeQueueSize > FEED / 4 && !failed)
          await drained(decoder);
      }
    }
    await decoder.flush();
  } catch (_) {
    failed = true;
  } finally {
    if (decoder.state !== 'closed')
      decoder.close();
  }
  if (failed || ogg.broken || written !== length)
    return null;
  if (head.gain !== 0) {
    const scale = 10 ** (head.gain / (20 * 256));
    for (const plane of planes) {
      for (let i = 0; i < plane.length; ++i)
        plane[i] *= scale;
    }
  }
  return planes;
}

self.addEventListener('message', (e) => {
  const { id, bytes } = e.data;
  decodeOpus(bytes).catch(() => null).then((planes) => {
    self.postMessage({ id, rate: OPUS_RATE, planes }, planes ? planes.map((p) => p.buffer) : []);
  });
});
