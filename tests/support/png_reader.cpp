#include "support/png_reader.h"

#include <png.h>

#include <cstring>

#include "support/temp_dir.h"

namespace tarnvick::testing {

RgbImage ReadPng(const std::string& path, bool alpha) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  RgbImage result;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return result;
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  result.channels = alpha ? 4 : 3;
  result.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, result.rgb.data(), 0, nullptr)) return RgbImage{};
  result.width = image.width;
  result.height = image.height;
  return result;
}

}  // namespace tarnvick::testing
