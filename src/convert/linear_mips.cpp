#include "convert/linear_mips.h"

#include <cstddef>
#include <vector>

#include "palette/palette.h"

namespace tarnvick {

// Written out, so that the program computes no powers (whose last bits may differ between
// systems' libraries); the tests check it against the formula.
extern constexpr std::array<std::uint16_t, 256> kLinearLight = {
    0, 20, 40, 60, 80, 99, 119, 139, 159, 179, 199, 219,
    241, 264, 288, 313, 340, 367, 396, 427, 458, 491, 526, 562,
    599, 637, 677, 718, 761, 805, 851, 898, 947, 997, 1048, 1101,
    1156, 1212, 1270, 1330, 1391, 1453, 1517, 1583, 1651, 1720, 1790, 1863,
    1937, 2013, 2090, 2170, 2250, 2333, 2418, 2504, 2592, 2681, 2773, 2866,
    2961, 3058, 3157, 3258, 3360, 3464, 3570, 3678, 3788, 3900, 4014, 4129,
    4247, 4366, 4488, 4611, 4736, 4864, 4993, 5124, 5257, 5392, 5530, 5669,
    5810, 5953, 6099, 6246, 6395, 6547, 6700, 6856, 7014, 7174, 7335, 7500,
    7666, 7834, 8004, 8177, 8352, 8528, 8708, 8889, 9072, 9258, 9445, 9635,
    9828, 10022, 10219, 10417, 10619, 10822, 11028, 11235, 11446, 11658, 11873, 12090,
    12309, 12530, 12754, 12980, 13209, 13440, 13673, 13909, 14146, 14387, 14629, 14874,
    15122, 15371, 15623, 15878, 16135, 16394, 16656, 16920, 17187, 17456, 17727, 18001,
    18277, 18556, 18837, 19121, 19407, 19696, 19987, 20281, 20577, 20876, 21177, 21481,
    21787, 22096, 22407, 22721, 23038, 23357, 23678, 24002, 24329, 24658, 24990, 25325,
    25662, 26001, 26344, 26688, 27036, 27386, 27739, 28094, 28452, 28813, 29176, 29542,
    29911, 30282, 30656, 31033, 31412, 31794, 32179, 32567, 32957, 33350, 33745, 34143,
    34544, 34948, 35355, 35764, 36176, 36591, 37008, 37429, 37852, 38278, 38706, 39138,
    39572, 40009, 40449, 40891, 41337, 41785, 42236, 42690, 43147, 43606, 44069, 44534,
    45002, 45473, 45947, 46423, 46903, 47385, 47871, 48359, 48850, 49344, 49841, 50341,
    50844, 51349, 51858, 52369, 52884, 53401, 53921, 54445, 54971, 55500, 56032, 56567,
    57105, 57646, 58190, 58737, 59287, 59840, 60396, 60955, 61517, 62082, 62650, 63221,
    63795, 64372, 64952, 65535};

namespace {

constexpr int kMadeLevels = 3;

// Weights sum to at most 16320 (the alphas of 64 texels); a block's light sums are divided by
// theirs as a multiplication: for a weight w, M = ceil(2^44 / w); for n up to 65536 w (the most a sum is,
// rounding included), n M / 2^44 exceeds n / w by less than w / 2^28 < 1 / w, so its whole part
// is floor(n / w), and n M stays below 2^64.
constexpr std::uint32_t kMostWeight = 64 * 255;
constexpr int kReciprocalShift = 44;

// The tables made once: the byte whose linear light is nearest to each value 0-65535 (the lower
// byte on a tie), and each weight's reciprocal.
struct Tables {
  std::array<std::uint8_t, 65536> byte_of_light{};
  std::array<std::uint64_t, kMostWeight + 1> reciprocal{};
};

const Tables& MadeTables() {
  static const Tables tables = [] {
    Tables made;
    std::uint32_t c = 0;
    for (std::uint32_t m = 0; m < made.byte_of_light.size(); ++m) {
      // Past the midpoint of the lights of c and c + 1, c + 1 is nearer.
      while (c < 255 && 2 * m > std::uint32_t{kLinearLight[c]} + kLinearLight[c + 1]) ++c;
      made.byte_of_light[m] = static_cast<std::uint8_t>(c);
    }
    for (std::uint64_t w = 1; w <= kMostWeight; ++w) made.reciprocal[w] = ((std::uint64_t{1} << kReciprocalShift) + w - 1) / w;
    return made;
  }();
  return tables;
}

// What a block of level 0 adds up to. A block of 64 texels sums to at most 64 * 255 * 65535,
// within 32 bits. Without alpha, `alpha` stays 0, so the texels weigh 1 each.
struct BlockSums {
  // Red, green and blue: the sum of each texel's weight times its linear light; the weights are
  // the alphas, or 1 each where those sum to 0.
  std::uint32_t red = 0, green = 0, blue = 0;
  std::uint32_t alpha = 0;   // the sum of the alphas
  std::uint32_t opaque = 0;  // texels whose alpha is at least kOpaqueAlpha
};

// The sums of the 2 x 2 texels at `top` and `bottom` (two pixels of two rows).
template <bool kAlpha>
BlockSums SumTexels(const std::uint8_t* top, const std::uint8_t* bottom) {
  BlockSums plain, weighted;
  const auto add = [&](const std::uint8_t* texel) {
    const std::uint32_t red = kLinearLight[texel[0]], green = kLinearLight[texel[1]], blue = kLinearLight[texel[2]];
    plain.red += red;
    plain.green += green;
    plain.blue += blue;
    if constexpr (kAlpha) {
      const std::uint32_t alpha = texel[3];
      weighted.red += alpha * red;
      weighted.green += alpha * green;
      weighted.blue += alpha * blue;
      weighted.alpha += alpha;
      weighted.opaque += alpha >= kOpaqueAlpha ? 1 : 0;
    }
  };
  add(top);
  add(top + 4);
  add(bottom);
  add(bottom + 4);
  if (weighted.alpha != 0) return weighted;
  plain.opaque = weighted.opaque;
  return plain;
}

// The sums of the 2 x 2 blocks at `top` and `bottom`. Where the alphas sum to more than 0, a
// part whose alphas are all 0 (holding its weights-1 sums) adds nothing.
template <bool kAlpha>
BlockSums Merge(const BlockSums* top, const BlockSums* bottom) {
  BlockSums sums;
  for (const BlockSums* part : {top, top + 1, bottom, bottom + 1}) {
    sums.alpha += part->alpha;
    sums.opaque += part->opaque;
  }
  for (const BlockSums* part : {top, top + 1, bottom, bottom + 1}) {
    if (!kAlpha || sums.alpha == 0 || part->alpha != 0) {
      sums.red += part->red;
      sums.green += part->green;
      sums.blue += part->blue;
    }
  }
  return sums;
}

// The pixel of level `level` from its block's `sums`: its colour, and with alpha the block's rank
// `key` (opaque texels, then the sum of alpha); without, alpha 255.
template <bool kAlpha>
void Emit(const BlockSums& sums, int level, const Tables& tables, std::uint8_t* pixel, std::uint32_t* key) {
  const auto& bytes = tables.byte_of_light;
  if constexpr (kAlpha) {
    const std::uint32_t weight = sums.alpha != 0 ? sums.alpha : 1u << (2 * level);
    const std::uint64_t reciprocal = tables.reciprocal[weight];
    const auto mean = [&](std::uint32_t sum) { return ((sum + weight / 2) * reciprocal) >> kReciprocalShift; };
    pixel[0] = bytes[mean(sums.red)];
    pixel[1] = bytes[mean(sums.green)];
    pixel[2] = bytes[mean(sums.blue)];
    *key = sums.opaque << 16 | sums.alpha;
  } else {
    const int shift = 2 * level;
    const std::uint32_t half = 1u << shift >> 1;
    pixel[0] = bytes[(sums.red + half) >> shift];
    pixel[1] = bytes[(sums.green + half) >> shift];
    pixel[2] = bytes[(sums.blue + half) >> shift];
    pixel[3] = 255;
  }
}

// Sets the alphas of a level's pixels (`keys` holding each one's rank key, of blocks of `texels`
// texels): 255 for the `opaque` pixels that rank first, 0 for the rest. The rank keys take few
// values, so counts of each find the last key taken and how many pixels of it are, instead of a
// sort: first counts by opaque texels, then, of the pixels of the last count taken, by alpha.
void MarkCoverage(std::uint8_t* pixels, const std::vector<std::uint32_t>& keys, std::uint64_t opaque,
                  std::uint32_t texels) {
  // A pixel is taken when its key is above last_key, or equal to it and among the first
  // `ties_taken` of those.
  std::int64_t last_key = std::int64_t{1} << 32;
  std::uint64_t ties_taken = 0;
  if (opaque > 0) {
    std::vector<std::uint64_t> counts(texels + 1);
    for (const std::uint32_t key : keys) ++counts[key >> 16];
    std::uint64_t above = 0;
    std::uint32_t last_count = texels;
    while (above + counts[last_count] < opaque) above += counts[last_count--];
    if (above + counts[last_count] == opaque) {
      // All of the last count are taken: every key from its lowest up.
      last_key = (std::int64_t{last_count} << 16) - 1;
    } else {
      std::vector<std::uint64_t> alphas(255 * texels + 1);
      for (const std::uint32_t key : keys) alphas[key & 0xFFFF] += key >> 16 == last_count ? 1 : 0;
      std::uint32_t last_alpha = 255 * texels;
      while (above + alphas[last_alpha] < opaque) above += alphas[last_alpha--];
      last_key = std::int64_t{last_count} << 16 | last_alpha;
      ties_taken = opaque - above;
    }
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    bool taken = keys[i] > last_key;
    if (keys[i] == last_key && ties_taken > 0) {
      taken = true;
      --ties_taken;
    }
    pixels[4 * i + 3] = taken ? 255 : 0;
  }
}

// Levels 1 to 3 made a strip of level 0 at a time, 8 rows high: the strip's level-1 blocks are
// summed from its texels, its level-2 ones from those and its level-3 ones from those, so each
// texel is read once and the sums stay in the cache.
template <bool kAlpha>
void MakeLevels(std::uint8_t* rgba, std::size_t width, std::size_t height) {
  const Tables& tables = MadeTables();
  std::array<std::uint8_t*, kMadeLevels + 1> level{};
  std::array<std::size_t, kMadeLevels + 1> level_width{};
  std::array<std::vector<std::uint32_t>, kMadeLevels + 1> keys;
  level[0] = rgba;
  for (int l = 0; l <= kMadeLevels; ++l) {
    level_width[l] = width >> l;
    if (l > 0) level[l] = level[l - 1] + 4 * level_width[l - 1] * (height >> (l - 1));
    if (kAlpha && l > 0) keys[l].resize(level_width[l] * (height >> l));
  }
  const std::size_t w1 = level_width[1], w2 = level_width[2], w3 = level_width[3];
  std::vector<BlockSums> row1(4 * w1), row2(2 * w2);
  std::uint64_t opaque = 0;
  for (std::size_t y3 = 0; y3 < height / 8; ++y3) {
    for (std::size_t r = 0; r < 4; ++r) {
      const std::size_t y1 = 4 * y3 + r;
      const std::uint8_t* top = level[0] + 4 * width * 2 * y1;
      for (std::size_t x1 = 0; x1 < w1; ++x1) {
        BlockSums& sums = row1[r * w1 + x1];
        sums = SumTexels<kAlpha>(top + 8 * x1, top + 4 * width + 8 * x1);
        const std::size_t at = y1 * w1 + x1;
        Emit<kAlpha>(sums, 1, tables, level[1] + 4 * at, kAlpha ? &keys[1][at] : nullptr);
      }
    }
    for (std::size_t r = 0; r < 2; ++r) {
      const std::size_t y2 = 2 * y3 + r;
      for (std::size_t x2 = 0; x2 < w2; ++x2) {
        BlockSums& sums = row2[r * w2 + x2];
        sums = Merge<kAlpha>(&row1[2 * r * w1 + 2 * x2], &row1[(2 * r + 1) * w1 + 2 * x2]);
        const std::size_t at = y2 * w2 + x2;
        Emit<kAlpha>(sums, 2, tables, level[2] + 4 * at, kAlpha ? &keys[2][at] : nullptr);
      }
    }
    for (std::size_t x3 = 0; x3 < w3; ++x3) {
      const BlockSums sums = Merge<kAlpha>(&row2[2 * x3], &row2[w2 + 2 * x3]);
      opaque += sums.opaque;
      const std::size_t at = y3 * w3 + x3;
      Emit<kAlpha>(sums, 3, tables, level[3] + 4 * at, kAlpha ? &keys[3][at] : nullptr);
    }
  }
  if constexpr (kAlpha) {
    // The level's share of opaque pixels, rounded half up. Both products stay far within 64 bits
    // for any level 0 that fits in memory.
    const std::uint64_t texels = std::uint64_t{width} * height;
    for (int l = 1; l <= kMadeLevels; ++l) {
      const std::uint64_t pixels = keys[l].size();
      MarkCoverage(level[l], keys[l], (opaque * pixels + texels / 2) / texels, 1u << (2 * l));
    }
  }
}

}  // namespace

void MakeMipLevels(std::span<std::uint8_t> rgba, std::uint32_t width, std::uint32_t height, bool transparent) {
  if (transparent) {
    MakeLevels<true>(rgba.data(), width, height);
  } else {
    MakeLevels<false>(rgba.data(), width, height);
  }
}

}  // namespace tarnvick
