// The eight sound effects, synthesised: bells, blips, sweeps and static.
// Every effect starts and ends at silence through short ramps, so nothing
// clicks when DirectSound starts or cuts it.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/assetgen.h"

namespace shindan::assetgen {

namespace {

constexpr float pi = 3.14159265f;
constexpr float rate = static_cast<float>(sample_rate);

using samples = std::vector<float>;

samples silence(float seconds) {
  return samples(static_cast<std::size_t>(seconds * rate), 0.0f);
}

// A struck tone: sine partials at the given ratios, each decaying faster
// the higher it lies, after a few milliseconds of attack.
void strike(samples& out, float start, float freq, float amp, float decay, const std::vector<float>& ratios) {
  const std::size_t first = static_cast<std::size_t>(start * rate);
  for (std::size_t i = first; i < out.size(); ++i) {
    const float t = (i - first) / rate;
    const float attack = std::min(1.0f, t / 0.004f);
    float v = 0;
    float weight = 1;
    for (std::size_t p = 0; p < ratios.size(); ++p) {
      v += weight * std::sin(2 * pi * freq * ratios[p] * t) * std::exp(-t / (decay / (1 + p * 0.9f)));
      weight *= 0.45f;
    }
    out[i] += amp * attack * v;
  }
}

// Deterministic white noise in -1..1.
struct noise_source {
  std::uint32_t state = 0x1234567u;
};
float next_noise(noise_source& n) {
  n.state = n.state * 1664525u + 1013904223u;
  return static_cast<float>(n.state >> 8) / 8388608.0f - 1.0f;
}

struct band_filter {
  float low = 0, band = 0;
};
// Chamberlin state-variable filter; answers the band-pass output.
float band_pass(band_filter& f, float x, float centre, float damping) {
  const float k = 2 * std::sin(pi * std::min(centre, rate / 6) / rate);
  f.low += k * f.band;
  const float high = x - f.low - damping * f.band;
  f.band += k * high;
  return f.band;
}

void finish(samples& s, float peak, float fade_in, float fade_out) {
  float top = 0;
  for (float v : s) {
    top = std::max(top, std::abs(v));
  }
  if (top > 0) {
    for (float& v : s) {
      v *= peak / top;
    }
  }
  const std::size_t in = static_cast<std::size_t>(fade_in * rate);
  const std::size_t out = static_cast<std::size_t>(fade_out * rate);
  for (std::size_t i = 0; i < in && i < s.size(); ++i) {
    s[i] *= static_cast<float>(i) / in;
  }
  for (std::size_t i = 0; i < out && i < s.size(); ++i) {
    const float t = static_cast<float>(i) / out;
    s[s.size() - 1 - i] *= t * t;
  }
}

samples cursor_move() {
  samples s = silence(0.09f);
  strike(s, 0, 1480, 0.6f, 0.02f, {1, 1.5f});
  strike(s, 0.012f, 1980, 0.25f, 0.015f, {1});
  finish(s, 0.45f, 0.001f, 0.01f);
  return s;
}

samples confirm() {
  samples s = silence(0.5f);
  strike(s, 0, 880, 0.7f, 0.16f, {1, 2.76f, 5.4f});
  strike(s, 0.06f, 1318.5f, 0.6f, 0.2f, {1, 2.76f, 5.4f});
  finish(s, 0.7f, 0.002f, 0.05f);
  return s;
}

samples ending() {
  samples s = silence(1.8f);
  strike(s, 0.0f, 659.3f, 0.6f, 0.5f, {1, 2.76f, 5.4f});
  strike(s, 0.2f, 493.9f, 0.6f, 0.6f, {1, 2.76f, 5.4f});
  strike(s, 0.4f, 329.6f, 0.7f, 0.8f, {1, 2.0f, 2.76f});
  for (std::size_t i = 0; i < s.size(); ++i) {
    const float t = i / rate;
    s[i] += 0.25f * std::sin(2 * pi * 82.4f * t) * std::sin(pi * std::min(1.0f, t / 1.8f));
  }
  finish(s, 0.7f, 0.003f, 0.2f);
  return s;
}

samples zoom() {
  samples s = silence(0.9f);
  noise_source n;
  band_filter f;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const float t = i / rate;
    const float centre = 3600 * std::exp(-t * 3.2f) + 180;
    const float swell = std::sin(pi * std::min(1.0f, t / 0.9f));
    s[i] = 0.8f * band_pass(f, next_noise(n), centre, 0.35f) * swell;
    // A low thud beneath the rush.
    const float boom_freq = 70 - 25 * t;
    s[i] += 0.7f * std::sin(2 * pi * boom_freq * t) * std::exp(-t / 0.25f) * std::min(1.0f, t / 0.01f);
  }
  finish(s, 0.8f, 0.004f, 0.08f);
  return s;
}

samples result_chime() {
  samples s = silence(1.1f);
  const float notes[] = {1046.5f, 1318.5f, 1568.0f, 2093.0f};
  for (int i = 0; i < 4; ++i) {
    strike(s, 0.045f * i, notes[i], 0.5f, 0.35f, {1, 2.76f});
  }
  finish(s, 0.7f, 0.002f, 0.1f);
  return s;
}

samples scale_up() {
  samples s = silence(0.75f);
  const float notes[] = {440.0f, 523.3f, 587.3f, 659.3f, 784.0f, 880.0f, 1046.5f, 1318.5f};
  for (int i = 0; i < 8; ++i) {
    strike(s, 0.055f * i, notes[i], 0.45f + 0.03f * i, 0.12f, {1, 2.0f, 3.0f});
  }
  finish(s, 0.65f, 0.002f, 0.08f);
  return s;
}

// Television static: hiss with a flutter and a mains buzz under it.
samples static_burst(float seconds, std::uint32_t seed, bool tearing) {
  samples s = silence(seconds);
  noise_source n{seed};
  float low = 0;
  band_filter whine;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const float t = i / rate;
    const float raw = next_noise(n);
    low += 0.55f * (raw - low);
    const float hiss = raw - 0.6f * low;
    const float flutter = 0.55f + 0.45f * value_noise(t * 28, 0.5f, static_cast<int>(seed));
    float v = hiss * flutter;
    const float buzz = std::sin(2 * pi * 60 * t);
    v += 0.18f * (buzz > 0 ? 1.0f : -1.0f) * (0.5f + 0.5f * std::sin(2 * pi * 0.7f * t));
    if (tearing) {
      // Signal breaking up: the hiss drops in and out, a whine falls away.
      const float gate = value_noise(t * 22, 3.5f, 99) > 0.38f ? 1.0f : 0.25f;
      v *= gate;
      v += 0.5f * band_pass(whine, raw, 2200 * std::exp(-t * 0.9f) + 300, 0.05f);
    }
    s[i] = v;
  }
  finish(s, 0.55f, 0.02f, std::min(0.3f, seconds * 0.15f));
  return s;
}

}  // namespace

void make_sounds(file_set* out) {
  auto put = [&](const char* name, const samples& s) { (*out)[name] = wav_bytes(s, sample_rate); };
  put("c_move.wav", cursor_move());
  put("push.wav", confirm());
  put("end.wav", ending());
  put("intoro.wav", zoom());
  put("result.wav", result_chime());
  put("scale_up.wav", scale_up());
  put("noize01.wav", static_burst(1.6f, 0xC0FFEEu, false));
  put("noize02.wav", static_burst(2.1f, 0xBADA55u, true));
}

}  // namespace shindan::assetgen
