// The preview image of a run, an 8-bit RGB PNG 1024 pixels wide: the palette as a band of 8 x 8
// squares (16 a row) at the top, 128 pixels high, then a tile of 256 x 144 for each converted
// texture, four to a row, at most 64, the worst converted first: a caption strip 16 pixels high
// (the texture's PSNR and its path), then the source's level 0 on the left and the WAL's level 0
// through the palette on the right, each scaled to fit 128 x 128.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/conversion_error.h"
#include "io/error.h"
#include "palette/palette.h"
#include "texture/texture.h"
#include "texture/wal_texture.h"

namespace tarnvick {

class Preview {
 public:
  static constexpr std::size_t kWidth = 1024;
  static constexpr std::size_t kBand = 128;
  static constexpr std::size_t kHalf = 128;  // each half of a tile's picture is kHalf x kHalf
  static constexpr std::size_t kCaption = 16;  // the caption strip above the picture
  static constexpr std::size_t kTileHeight = kCaption + kHalf;
  static constexpr std::size_t kMostTiles = 64;
  // The longest caption; a longer one keeps its end, after "...".
  static constexpr std::size_t kCaptionCharacters = 31;

  struct Tile {
    ConversionError error;
    std::vector<std::uint8_t> source;  // kHalf x kHalf RGB
    std::vector<std::uint8_t> wal;     // kHalf x kHalf RGB
    std::string label;                 // the source's path relative to the start directory
  };

  // The caption of a tile: its PSNR ("32.02 dB", "inf dB"), two spaces and its label, at most
  // kCaptionCharacters long, bytes outside 32 to 126 as '?'.
  static std::string Caption(const Tile& tile);

  // The tile of one converted texture. Each half is level 0 scaled by nearest neighbour: with
  // m = max(w, h), W = max(1, w * 128 / m) and H = max(1, h * 128 / m), pixel (x, y) with x < W and
  // y < H takes pixel (x * w / W, y * h / H); the rest is black. With `transparent`, transparent
  // pixels (of M32 sources, and of the transparent index) show as a checkerboard of two greys.
  static Tile MakeTile(const Texture& source, const WalTexture& wal, const Palette& palette, bool transparent);

  // Keeps `tile` if it is among the 64 with the largest mean squared error offered so far; tiles
  // are offered in walk order, and on equal errors the earlier comes first.
  void Offer(Tile tile);

  // The PNG file of the preview with `palette`; fails only with kOutOfMemory (from zlib).
  Result<std::vector<std::uint8_t>> Encode(const Palette& palette) const;

 private:
  std::vector<Tile> tiles_;  // largest error first
};

}  // namespace tarnvick
