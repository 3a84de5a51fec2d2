// A WAL's flags and contents cut to the bits Quake 2 defines, so that a bit the source carries
// cannot take on a meaning later engines gave it.
#pragma once

#include <cstdint>

#include "texture/wal_texture.h"

namespace tarnvick {

// Light, slick, sky, warp, trans33, trans66, flowing, nodraw, hint and skip.
inline constexpr std::uint32_t kQuake2SurfaceFlags = 0x3FF;
// Solid to mist, and area portal to ladder.
inline constexpr std::uint32_t kQuake2Contents = 0x3FFF807F;
// The surface bit later Quake 2 engines read as alpha test; the original engine ignores it.
inline constexpr std::uint32_t kAlphaTestFlag = 0x2000000;

// Keeps only Quake 2's bits of the flags and contents of `wal` (its value stays); with
// `transparent`, a WAL that holds the transparent index also gets the alpha test bit.
void KeepQuake2Flags(WalTexture& wal, bool transparent);

}  // namespace tarnvick
