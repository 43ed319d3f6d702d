// Effects computed pixel by pixel on the locked back buffer: translucent and
// additive drawing of pictures, and grey static. Pixels are split into
// channels with the masks read from the back buffer, so 5-6-5 and 5-5-5
// displays give the same picture.
#include <algorithm>
#include <bit>
#include <cmath>
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

namespace shindan {

pixel_format_record pixel_format;
#if defined(SHINDAN_AVX2_NOISE)
bool noise_uses_avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#else
bool noise_uses_avx2 = false;
#endif

namespace {

// Trailing zero bits of a channel mask; a missing channel counts as unshifted.
std::uint16_t mask_shift(std::uint16_t mask) {
  return mask == 0 ? 0 : static_cast<std::uint16_t>(std::countr_zero(mask));
}

// A locked surface seen as rows of 16-bit pixels.
struct pixel_view {
  std::uint16_t* pixels = nullptr;
  std::int64_t stride = 0;  // pixels per row
  std::int64_t width = 0;   // pixels of a row that may be touched
  std::int64_t height = 0;
};

pixel_view view_of(const plat_pixels& locked) {
  pixel_view view;
  if (locked.pixels == nullptr || locked.pitch <= 0) {
    return view;
  }
  view.pixels = static_cast<std::uint16_t*>(locked.pixels);
  view.stride = locked.pitch / 2;
  view.width = std::min<std::int64_t>(locked.width, view.stride);
  view.height = locked.height;
  return view;
}

// One picture blend: the region of the picture that reaches the screen, and
// both surfaces locked for the duration of the loop.
struct blend_area {
  pixel_view target;
  pixel_view source;
  std::int64_t x = 0, y = 0;       // first target pixel
  std::int64_t left = 0, top = 0;  // first source pixel
  std::int64_t columns = 0, rows = 0;
};

// Clips, checks the slot and locks the back buffer and then the picture.
// On true both are locked and must be released by end_blend.
bool begin_blend(std::int32_t x, std::int32_t y, image_slot* slot, std::int32_t left, std::int32_t top,
                 std::int32_t right, std::int32_t bottom, blend_area* area) {
  plat_rect clipped;
  if (!clip_to_screen(&x, &y, &clipped, left, top, right, bottom)) {
    return false;
  }
  if (slot == nullptr || slot->surface == nullptr || display.back_buffer == nullptr) {
    return false;
  }
  plat_pixels target;
  if (plat_lock(display.back_buffer, &target) != plat_result::ok) {
    return false;
  }
  plat_pixels source;
  if (plat_lock(slot->surface, &source) != plat_result::ok) {
    plat_unlock(display.back_buffer);
    return false;
  }
  area->target = view_of(target);
  area->source = view_of(source);

  // The picture's memory is read directly, so the region is also kept inside
  // the picture (and the target inside the back buffer). Moving the region's
  // start moves the target point with it, so rows and columns stay aligned.
  std::int64_t dx = x, dy = y;
  std::int64_t l = clipped.left, t = clipped.top, r = clipped.right, b = clipped.bottom;
  if (l < 0) {
    dx -= l;
    l = 0;
  }
  if (t < 0) {
    dy -= t;
    t = 0;
  }
  r = std::min(r, area->source.width);
  b = std::min(b, area->source.height);
  std::int64_t columns = std::min(r - l, area->target.width - dx);
  std::int64_t rows = std::min(b - t, area->target.height - dy);
  area->x = dx;
  area->y = dy;
  area->left = l;
  area->top = t;
  area->columns = std::max<std::int64_t>(columns, 0);
  area->rows = std::max<std::int64_t>(rows, 0);
  return true;
}

void end_blend(image_slot* slot) {
  plat_unlock(slot->surface);
  plat_unlock(display.back_buffer);
}

// Runs blend(d, s) over every non-black source pixel of the area.
template <typename Blend>
void blend_pixels(const blend_area& area, Blend blend) {
  if (area.rows == 0 || area.columns == 0) {
    return;
  }
  std::uint16_t* target_row = area.target.pixels + area.y * area.target.stride + area.x;
  const std::uint16_t* source_row = area.source.pixels + area.top * area.source.stride + area.left;
  for (std::int64_t row = 0; row < area.rows; ++row) {
    for (std::int64_t column = 0; column < area.columns; ++column) {
      const std::uint16_t s = source_row[column];
      if (s != 0) {
        target_row[column] = blend(target_row[column], s);
      }
    }
    if (row + 1 < area.rows) {
      target_row += area.target.stride;
      source_row += area.source.stride;
    }
  }
}

// Products of channel values with the transparency are tabled for formats
// whose channels have at most this many values (5-6-5 has 64).
constexpr unsigned max_product_levels = 256;

#if defined(__SSE2__)
// The additive blend eight pixels at a time; answers how many pixels of the
// row it did (whole groups of eight). Each field is added where it stands with
// unsigned saturation at 0xFFFF, then held at its mask: a sum past 0xFFFF is
// past the mask too, so this is the per-field rule exactly. Black source
// pixels leave the target as it was.
std::int64_t add_row_sse2(std::uint16_t* target, const std::uint16_t* source, std::int64_t columns,
                          const pixel_format_record& f) {
  const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
  const __m128i masks[3] = {_mm_set1_epi16(static_cast<short>(f.red_mask)),
                            _mm_set1_epi16(static_cast<short>(f.green_mask)),
                            _mm_set1_epi16(static_cast<short>(f.blue_mask))};
  const __m128i zero = _mm_setzero_si128();
  std::int64_t column = 0;
  for (; column + 8 <= columns; column += 8) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + column));
    const __m128i black = _mm_cmpeq_epi16(s, zero);
    if (_mm_movemask_epi8(black) == 0xFFFF)
      continue;
    __m128i* out = reinterpret_cast<__m128i*>(target + column);
    const __m128i d = _mm_loadu_si128(out);
    __m128i sum = zero;
    for (const __m128i& mask : masks) {
      const __m128i v = _mm_adds_epu16(_mm_and_si128(d, mask), _mm_and_si128(s, mask));
      // Unsigned minimum through the signed one, both sides shifted by 0x8000.
      const __m128i held = _mm_xor_si128(_mm_min_epi16(_mm_xor_si128(v, bias), _mm_xor_si128(mask, bias)), bias);
      sum = _mm_or_si128(sum, held);
    }
    _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(black, d), _mm_andnot_si128(black, sum)));
  }
  return column;
}
#endif

// ---- noise

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

void read_pixel_format() {
  plat_pixels info;
  if (display.back_buffer != nullptr) {
    plat_describe(display.back_buffer, &info);
  }
  pixel_format.red_mask = static_cast<std::uint16_t>(info.red_mask);
  pixel_format.green_mask = static_cast<std::uint16_t>(info.green_mask);
  pixel_format.blue_mask = static_cast<std::uint16_t>(info.blue_mask);
  pixel_format.pitch = info.pitch;
  pixel_format.red_shift = mask_shift(pixel_format.red_mask);
  pixel_format.green_shift = mask_shift(pixel_format.green_mask);
  pixel_format.blue_shift = mask_shift(pixel_format.blue_mask);

  const unsigned red_levels = pixel_format.red_mask >> pixel_format.red_shift;
  const unsigned green_levels = pixel_format.green_mask >> pixel_format.green_shift;
  const unsigned blue_levels = pixel_format.blue_mask >> pixel_format.blue_shift;
  // Without a blue channel there is no grey ramp to scale against.
  pixel_format.red_per_blue = static_cast<std::uint16_t>(blue_levels == 0 ? 0 : red_levels / blue_levels);
  pixel_format.green_per_blue = static_cast<std::uint16_t>(blue_levels == 0 ? 0 : green_levels / blue_levels);
}

bool draw_image_translucent(std::int32_t x, std::int32_t y, float transparency, image_slot* slot, std::int32_t left,
                            std::int32_t top, std::int32_t right, std::int32_t bottom) {
  float t = transparency;
  if (std::isnan(t)) {
    // An undefined amount shows nothing of the picture rather than garbage.
    t = 1.0f;
  } else if (t > 1.0f) {
    t = 1.0f;
  } else if (t < 0.0f) {
    t = 0.0f;
  }
  const float u = 1.0f - t;

  blend_area area;
  if (!begin_blend(x, y, slot, left, top, right, bottom, &area)) {
    return false;
  }
  const pixel_format_record f = pixel_format;
  const double keep = t;
  const double take = u;
  const unsigned levels = std::max(
      {(f.red_mask >> f.red_shift) + 1u, (f.green_mask >> f.green_shift) + 1u, (f.blue_mask >> f.blue_shift) + 1u});
  if (levels <= max_product_levels) {
    // Every channel value times t and times u, made once per call: the sum
    // of two entries is the very double the per-pixel rule adds up, so the
    // result is the same to the bit, without converting and multiplying
    // six times a pixel.
    double kept[max_product_levels], taken[max_product_levels];
    for (unsigned v = 0; v < levels; ++v) {
      kept[v] = static_cast<double>(v) * keep;
      taken[v] = static_cast<double>(v) * take;
    }
    auto channel = [&kept, &taken](std::uint16_t d, std::uint16_t s, std::uint16_t mask, std::uint16_t shift) {
      return static_cast<std::uint32_t>(kept[(d & mask) >> shift] + taken[(s & mask) >> shift]) << shift;
    };
    blend_pixels(area, [&](std::uint16_t d, std::uint16_t s) {
      return static_cast<std::uint16_t>(channel(d, s, f.red_mask, f.red_shift) |
                                        channel(d, s, f.green_mask, f.green_shift) |
                                        channel(d, s, f.blue_mask, f.blue_shift));
    });
  } else {
    auto channel = [keep, take](std::uint16_t d, std::uint16_t s, std::uint16_t mask, std::uint16_t shift) {
      const double dc = static_cast<double>((d & mask) >> shift);
      const double sc = static_cast<double>((s & mask) >> shift);
      return static_cast<std::uint32_t>(dc * keep + sc * take) << shift;
    };
    blend_pixels(area, [&](std::uint16_t d, std::uint16_t s) {
      return static_cast<std::uint16_t>(channel(d, s, f.red_mask, f.red_shift) |
                                        channel(d, s, f.green_mask, f.green_shift) |
                                        channel(d, s, f.blue_mask, f.blue_shift));
    });
  }
  end_blend(slot);
  return true;
}

bool draw_image_additive(std::int32_t x, std::int32_t y, image_slot* slot, std::int32_t left, std::int32_t top,
                         std::int32_t right, std::int32_t bottom) {
  blend_area area;
  if (!begin_blend(x, y, slot, left, top, right, bottom, &area)) {
    return false;
  }
  const pixel_format_record f = pixel_format;
  // Fields are added where they stand and each saturates at its own mask,
  // so no channel spills into its neighbour.
  auto channel = [](std::uint16_t d, std::uint16_t s, std::uint16_t mask) {
    const std::uint32_t v = static_cast<std::uint32_t>(d & mask) + static_cast<std::uint32_t>(s & mask);
    return v > mask ? static_cast<std::uint32_t>(mask) : v;
  };
  auto blend = [&](std::uint16_t d, std::uint16_t s) {
    return static_cast<std::uint16_t>(channel(d, s, f.red_mask) | channel(d, s, f.green_mask) |
                                      channel(d, s, f.blue_mask));
  };
#if defined(__SSE2__)
  if (area.rows > 0 && area.columns > 0) {
    std::uint16_t* target_row = area.target.pixels + area.y * area.target.stride + area.x;
    const std::uint16_t* source_row = area.source.pixels + area.top * area.source.stride + area.left;
    for (std::int64_t row = 0;;) {
      const std::int64_t done = add_row_sse2(target_row, source_row, area.columns, f);
      for (std::int64_t column = done; column < area.columns; ++column) {
        if (source_row[column] != 0)
          target_row[column] = blend(target_row[column], source_row[column]);
      }
      if (++row == area.rows)
        break;
      target_row += area.target.stride;
      source_row += area.source.stride;
    }
  }
#else
  blend_pixels(area, blend);
#endif
  end_blend(slot);
  return true;
}

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
