// Grey static over a region of the back buffer: each pixel a level drawn
// from the program's generator, as many levels as the blue channel holds.
// The displays of every build take the fast path, which computes the same
// sequence many states at a time in vector lanes.
#include <algorithm>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// 256-bit vectors only where the compiler keeps their stack slots aligned:
// MinGW's GCC does not (its Windows stack is 16-byte aligned).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#include <immintrin.h>
#define SHINDAN_AVX2_NOISE 1
#endif

#include "app/shell.h"
#include "gfx/gfx.h"
#include "gfx/pixel_view.h"

namespace shindan {

#if defined(SHINDAN_AVX2_NOISE)
bool noise_uses_avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#else
bool noise_uses_avx2 = false;
#endif

namespace {

constexpr std::uint32_t rand_multiplier = 214013u;
constexpr std::uint32_t rand_increment = 2531011u;

// k steps of the generator taken as one: state * mul + add (mod 2^32).
struct rand_jump {
  std::uint32_t mul = 1;
  std::uint32_t add = 0;
};

// Only the vector paths jump; a build for a processor without them (the
// 32-bit Windows program, for machines before SSE2) has no caller.
[[maybe_unused]] rand_jump jump_of(std::uint32_t steps) {
  rand_jump j;
  for (std::uint32_t i = 0; i < steps; ++i) {
    j.mul *= rand_multiplier;
    j.add = j.add * rand_multiplier + rand_increment;
  }
  return j;
}

// The grey of noise level v as the pixel format builds it.
std::uint16_t noise_pixel(const pixel_format_record& f, std::uint32_t v) {
  const auto red = static_cast<std::uint16_t>(v * f.red_per_blue);
  const auto green = static_cast<std::uint16_t>(v * f.green_per_blue);
  const auto blue = static_cast<std::uint16_t>(v);
  return static_cast<std::uint16_t>((red << f.red_shift) | (green << f.green_shift) | (blue << f.blue_shift));
}

// The general case: any number of levels, any layout of the channels.
void fill_noise_rows(const pixel_format_record& f, std::uint16_t* row_start, std::int64_t stride, std::int64_t columns,
                     std::int64_t rows) {
  const int levels = f.blue_mask + 1;
  for (std::int64_t row = 0; row < rows; ++row) {
    for (std::int64_t column = 0; column < columns; ++column)
      row_start[column] = noise_pixel(f, static_cast<std::uint32_t>(shindan::rand() % levels));
    if (row + 1 < rows)
      row_start += stride;
  }
}

// The usual case: the levels are a power of two and the grey of level v is v
// times the grey of level 1, so a pixel is just bits 16 up of the state, masked
// and multiplied. Many states are carried side by side, each jumping as many
// steps at a time as there are lanes, which gives exactly the serial sequence;
// the shared state ends where the serial loop would have left it.
//
// In the vector lanes a state s = high * 2^16 + low is kept as its two 16-bit
// halves: s * a + c has the low half low * a_low + c_low, and the high half
// high * a_low + low * a_high + (upper half of low * a_low) + c_high + the
// carry out of the low half, all modulo 2^16.
struct noise_fill {
  std::uint16_t level_bits = 0;
  std::uint16_t grey_one = 0;
};

#if defined(__SSE2__)
struct sse_jump {
  __m128i mul_low, mul_high, add_low, add_high_plus_one;
};

// Eight lanes; lane i jumps by jumps[i].
sse_jump sse_jump_of(const rand_jump* jumps) {
  alignas(16) std::uint16_t ml[8], mh[8], al[8], ah[8];
  for (int i = 0; i < 8; ++i) {
    ml[i] = static_cast<std::uint16_t>(jumps[i].mul);
    mh[i] = static_cast<std::uint16_t>(jumps[i].mul >> 16);
    al[i] = static_cast<std::uint16_t>(jumps[i].add);
    ah[i] = static_cast<std::uint16_t>((jumps[i].add >> 16) + 1);
  }
  return {_mm_load_si128(reinterpret_cast<const __m128i*>(ml)), _mm_load_si128(reinterpret_cast<const __m128i*>(mh)),
          _mm_load_si128(reinterpret_cast<const __m128i*>(al)), _mm_load_si128(reinterpret_cast<const __m128i*>(ah))};
}

inline void sse_step(__m128i* low, __m128i* high, const sse_jump& j) {
  const __m128i product_low = _mm_mullo_epi16(*low, j.mul_low);
  const __m128i new_low = _mm_add_epi16(product_low, j.add_low);
  // -1 where the low half did not carry: only then does the saturating sum
  // equal the wrapped one.
  const __m128i no_carry = _mm_cmpeq_epi16(_mm_adds_epu16(product_low, j.add_low), new_low);
  __m128i h = _mm_add_epi16(_mm_mullo_epi16(*high, j.mul_low), _mm_mullo_epi16(*low, j.mul_high));
  h = _mm_add_epi16(h, _mm_add_epi16(_mm_mulhi_epu16(*low, j.mul_low), j.add_high_plus_one));
  *high = _mm_add_epi16(h, no_carry);
  *low = new_low;
}

// Sixteen pixels per block: two sets of eight lanes, jumping sixteen steps.
struct sse_noise {
  sse_jump first[2];
  sse_jump block;
};

sse_noise sse_noise_of() {
  rand_jump lanes[16];
  for (std::uint32_t i = 0; i < 16; ++i)
    lanes[i] = jump_of(i + 1);
  rand_jump block[8];
  for (rand_jump& b : block)
    b = lanes[15];
  return {{sse_jump_of(lanes), sse_jump_of(lanes + 8)}, sse_jump_of(block)};
}

// Fills blocks * 16 pixels from *state and moves the state on past them.
void noise_blocks_sse2(const sse_noise& k, const noise_fill& fill, std::uint16_t* out, std::int64_t blocks,
                       std::uint32_t* state) {
  const __m128i level_mask = _mm_set1_epi16(static_cast<short>(fill.level_bits));
  const __m128i grey = _mm_set1_epi16(static_cast<short>(fill.grey_one));
  const __m128i start_low = _mm_set1_epi16(static_cast<short>(*state & 0xFFFFu));
  const __m128i start_high = _mm_set1_epi16(static_cast<short>(*state >> 16));
  __m128i low0 = start_low, high0 = start_high, low1 = start_low, high1 = start_high;
  sse_step(&low0, &high0, k.first[0]);
  sse_step(&low1, &high1, k.first[1]);
  for (std::int64_t b = 0;;) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_mullo_epi16(_mm_and_si128(high0, level_mask), grey));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_mullo_epi16(_mm_and_si128(high1, level_mask), grey));
    out += 16;
    if (++b == blocks)
      break;
    sse_step(&low0, &high0, k.block);
    sse_step(&low1, &high1, k.block);
  }
  *state = (static_cast<std::uint32_t>(_mm_extract_epi16(high1, 7)) << 16) |
           static_cast<std::uint32_t>(_mm_extract_epi16(low1, 7));
}
#endif

#if defined(SHINDAN_AVX2_NOISE)
// The same with sixteen lanes a register, for processors that have AVX2:
// thirty-two pixels per block.
struct avx_jump {
  __m256i mul_low, mul_high, add_low, add_high_plus_one;
};

__attribute__((target("avx2"))) avx_jump avx_jump_of(const rand_jump* jumps) {
  alignas(32) std::uint16_t ml[16], mh[16], al[16], ah[16];
  for (int i = 0; i < 16; ++i) {
    ml[i] = static_cast<std::uint16_t>(jumps[i].mul);
    mh[i] = static_cast<std::uint16_t>(jumps[i].mul >> 16);
    al[i] = static_cast<std::uint16_t>(jumps[i].add);
    ah[i] = static_cast<std::uint16_t>((jumps[i].add >> 16) + 1);
  }
  return {
      _mm256_load_si256(reinterpret_cast<const __m256i*>(ml)), _mm256_load_si256(reinterpret_cast<const __m256i*>(mh)),
      _mm256_load_si256(reinterpret_cast<const __m256i*>(al)), _mm256_load_si256(reinterpret_cast<const __m256i*>(ah))};
}

__attribute__((target("avx2"))) inline void avx_step(__m256i* low, __m256i* high, const avx_jump& j) {
  const __m256i product_low = _mm256_mullo_epi16(*low, j.mul_low);
  const __m256i new_low = _mm256_add_epi16(product_low, j.add_low);
  const __m256i no_carry = _mm256_cmpeq_epi16(_mm256_adds_epu16(product_low, j.add_low), new_low);
  __m256i h = _mm256_add_epi16(_mm256_mullo_epi16(*high, j.mul_low), _mm256_mullo_epi16(*low, j.mul_high));
  h = _mm256_add_epi16(h, _mm256_add_epi16(_mm256_mulhi_epu16(*low, j.mul_low), j.add_high_plus_one));
  *high = _mm256_add_epi16(h, no_carry);
  *low = new_low;
}

struct avx_noise {
  avx_jump first[2];
  avx_jump block;
};

__attribute__((target("avx2"))) avx_noise avx_noise_of() {
  rand_jump lanes[32];
  for (std::uint32_t i = 0; i < 32; ++i)
    lanes[i] = jump_of(i + 1);
  rand_jump block[16];
  for (rand_jump& b : block)
    b = lanes[31];
  return {{avx_jump_of(lanes), avx_jump_of(lanes + 16)}, avx_jump_of(block)};
}

__attribute__((target("avx2"))) void noise_blocks_avx2(const avx_noise& k, const noise_fill& fill, std::uint16_t* out,
                                                       std::int64_t blocks, std::uint32_t* state) {
  const __m256i level_mask = _mm256_set1_epi16(static_cast<short>(fill.level_bits));
  const __m256i grey = _mm256_set1_epi16(static_cast<short>(fill.grey_one));
  const __m256i start_low = _mm256_set1_epi16(static_cast<short>(*state & 0xFFFFu));
  const __m256i start_high = _mm256_set1_epi16(static_cast<short>(*state >> 16));
  __m256i low0 = start_low, high0 = start_high, low1 = start_low, high1 = start_high;
  avx_step(&low0, &high0, k.first[0]);
  avx_step(&low1, &high1, k.first[1]);
  for (std::int64_t b = 0;;) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_mullo_epi16(_mm256_and_si256(high0, level_mask), grey));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16),
                        _mm256_mullo_epi16(_mm256_and_si256(high1, level_mask), grey));
    out += 32;
    if (++b == blocks)
      break;
    avx_step(&low0, &high0, k.block);
    avx_step(&low1, &high1, k.block);
  }
  *state = (static_cast<std::uint32_t>(static_cast<std::uint16_t>(_mm256_extract_epi16(high1, 15))) << 16) |
           static_cast<std::uint32_t>(static_cast<std::uint16_t>(_mm256_extract_epi16(low1, 15)));
}

#endif

void fill_noise_rows_fast(const noise_fill& fill, std::uint16_t* row_start, std::int64_t stride, std::int64_t columns,
                          std::int64_t rows) {
  std::uint32_t state = shell.rand_state;
#if defined(SHINDAN_AVX2_NOISE)
  if (noise_uses_avx2 && columns >= 32) {
    const avx_noise wide = avx_noise_of();
    const std::int64_t wide_blocks = columns / 32;
    for (std::int64_t row = 0;;) {
      noise_blocks_avx2(wide, fill, row_start, wide_blocks, &state);
      for (std::int64_t column = wide_blocks * 32; column < columns; ++column) {
        state = state * rand_multiplier + rand_increment;
        row_start[column] = static_cast<std::uint16_t>(((state >> 16) & fill.level_bits) * fill.grey_one);
      }
      if (++row == rows)
        break;
      row_start += stride;
    }
    shell.rand_state = state;
    return;
  }
#endif
#if defined(__SSE2__)
  const std::int64_t blocks = columns / 16;
  const sse_noise k = blocks > 0 ? sse_noise_of() : sse_noise{};
#endif
  for (std::int64_t row = 0; row < rows; ++row) {
    std::int64_t column = 0;
#if defined(__SSE2__)
    if (blocks > 0) {
      noise_blocks_sse2(k, fill, row_start, blocks, &state);
      column = blocks * 16;
    }
#endif
    for (; column < columns; ++column) {
      state = state * rand_multiplier + rand_increment;
      row_start[column] = static_cast<std::uint16_t>(((state >> 16) & fill.level_bits) * fill.grey_one);
    }
    if (row + 1 < rows)
      row_start += stride;
  }
  shell.rand_state = state;
}

// The fast fill applies when the levels are a power of two and each level's
// grey is a plain multiple of the first one (no channel spills into another),
// which holds for the 5-6-5 and 5-5-5 displays.
bool noise_is_linear(const pixel_format_record& f, noise_fill* fill) {
  const std::uint32_t levels = static_cast<std::uint32_t>(f.blue_mask) + 1;
  if (!std::has_single_bit(levels))
    return false;
  const std::uint32_t level_bits = (levels - 1) & 0x7FFFu;
  if (level_bits > 1023)
    return false;
  const std::uint16_t grey_one = noise_pixel(f, 1);
  for (std::uint32_t v = 0; v <= level_bits; ++v) {
    if (noise_pixel(f, v) != static_cast<std::uint16_t>(v * grey_one))
      return false;
  }
  fill->level_bits = static_cast<std::uint16_t>(level_bits);
  fill->grey_one = grey_one;
  return true;
}

}  // namespace

bool fill_noise(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  if (x > screen_width - 1 || y > screen_height - 1 || x < 0 || y < 0) {
    return false;
  }
  std::int64_t columns = width;
  std::int64_t rows = height;
  if (x + columns > screen_width) {
    columns = screen_width - x;
  }
  if (y + rows > screen_height) {
    rows = screen_height - y;
  }
  if (display.back_buffer == nullptr) {
    return false;
  }
  plat_pixels locked;
  if (plat_lock(display.back_buffer, &locked) != plat_result::ok) {
    return false;
  }
  const pixel_view target = view_of(locked);
  columns = std::min(columns, target.width - x);
  rows = std::min(rows, target.height - y);

  if (columns > 0 && rows > 0) {
    const pixel_format_record f = pixel_format;
    std::uint16_t* row_start = target.pixels + y * target.stride + x;
    noise_fill fill;
    if (noise_is_linear(f, &fill)) {
      fill_noise_rows_fast(fill, row_start, target.stride, columns, rows);
    } else {
      fill_noise_rows(f, row_start, target.stride, columns, rows);
    }
  }
  plat_unlock(display.back_buffer);
  return true;
}

}  // namespace shindan
