#include "support/png_reader.h"

#include <png.h>

#include <csetjmp>
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

namespace {

struct Input {
  const std::vector<std::uint8_t>* bytes;
  std::size_t at = 0;
  bool warned = false;
};

void ReadInput(png_structp png, png_bytep out, png_size_t length) {
  Input& input = *static_cast<Input*>(png_get_io_ptr(png));
  if (length > input.bytes->size() - input.at) png_error(png, "read past the end");
  std::memcpy(out, input.bytes->data() + input.at, length);
  input.at += length;
}

void Warned(png_structp png, png_const_charp) { static_cast<Input*>(png_get_error_ptr(png))->warned = true; }

// Reads the picture into `result`; false when libpng fails, which jumps back here. The objects it
// fills are the caller's, reached through references, so none is left half-made on this frame.
bool ReadInto(png_structp png, png_infop info, Input& input, PngSamples& result, std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &input, ReadInput);
  png_read_info(png, info);
  result.width = png_get_image_width(png, info);
  result.height = png_get_image_height(png, info);
  result.bit_depth = png_get_bit_depth(png, info);
  result.colour_type = png_get_color_type(png, info);
  result.interlaced = png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7;
  png_set_expand(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  result.channels = png_get_channels(png, info);
  const std::size_t row_bytes = png_get_rowbytes(png, info);
  result.samples.resize(row_bytes * result.height);
  rows.resize(result.height);
  for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = result.samples.data() + y * row_bytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

PngSamples ReadPngSamples(const std::vector<std::uint8_t>& bytes) {
  Input input{&bytes};
  PngSamples result;
  std::vector<png_bytep> rows;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &input, nullptr, Warned);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  const bool read = info != nullptr && ReadInto(png, info, input, result, rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!read || input.warned || input.at != bytes.size()) return PngSamples{};
  return result;
}

}  // namespace tarnvick::testing
