// The loaded-texture model: what every user needs to know about any texture, whatever its file
// format. Each file format derives its own class that knows how to read its file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "texture/texture_type.h"

namespace tarnvick {

class Texture {
 public:
  Texture() = default;
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;
  virtual ~Texture() = default;

  // Reads the file at `path`. On success the fields below are set and `pixels` holds the pixels
  // of all levels; on failure `load_error()` says why and no file is left open.
  virtual bool Load(const std::string& path) = 0;

  const std::string& load_error() const { return load_error_; }

  std::int32_t byte_extent = 0;    // bytes of `pixels` the colour gatherer scans
  std::uint32_t level0_width = 0;  // width of mip level 0, in pixels
  std::uint32_t level0_height = 0;
  TextureType type = TextureType::kNone;
  std::uint8_t bits_per_pixel = 0;  // 24 or 32
  std::uint8_t level_count = 0;     // mip levels the file carries (M8 only)
  // Pixels of all mip levels, level 0 first; each pixel's colour bytes are red, green, blue.
  std::vector<std::uint8_t> pixels;

 protected:
  bool Fail(std::string reason) {
    load_error_ = std::move(reason);
    return false;
  }

 private:
  std::string load_error_;
};

}  // namespace tarnvick
