// Texture contents that look like textures (bricks, gradients, noise, flat colours), mip chains
// made from them by box filtering, and whole M8 and M32 files of such contents: the material of
// the sample library and of the benchmark library.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "texture_encoder.h"

namespace tarnvick::samples {

using Rgb = std::array<std::uint8_t, 3>;
// The colour of level-0 pixel (x, y).
using Pattern = std::function<Rgb(std::uint32_t x, std::uint32_t y)>;

// A small deterministic hash, so that every run writes the same bytes.
std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed);
std::uint8_t Clamp(int v);
Rgb Shade(const Rgb& c, int delta);

Pattern Bricks(Rgb brick, Rgb mortar, std::uint32_t seed);
Pattern Gradient(Rgb from, Rgb to, std::uint32_t w, std::uint32_t h);
Pattern Noise(Rgb base, int spread, std::uint32_t seed);
Pattern Flat(Rgb colour);

// Level 0 from the pattern; every further level a 2 x 2 box filter of the one before.
std::vector<Rgb> MipChain(const Pattern& pattern, const std::uint32_t* width,
                          const std::uint32_t* height, int levels);

// An M32 file of w x h with a full mip chain of the pattern.
M32File MakeM32(const std::string& name, std::uint32_t w, std::uint32_t h, const Pattern& pattern,
                std::uint32_t flags);
// An M8 file whose palette is a ramp through the given colours and whose indices follow the
// brightness of the pattern.
M8File MakeM8(const std::string& name, std::int32_t version, std::uint32_t w, std::uint32_t h,
              Rgb dark, Rgb light, const Pattern& brightness);

}  // namespace tarnvick::samples
