#include "texture/png_encoder.h"

#include <png.h>

#include <array>
#include <csetjmp>
#include <new>

namespace tarnvick {
namespace {

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  bool stored = true;
  try {
    out->insert(out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    stored = false;  // an exception must not cross libpng's C frames: it fails the libpng way
  }
  if (!stored) png_error(png, "out of memory");
}

void NoFlush(png_structp) {}

// Encodes `image` into `out`; false when libpng fails (it runs out of memory).
bool EncodeInto(const PngImage& image, std::vector<std::uint8_t>& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, WriteToVector, NoFlush);
  const bool indexed = !image.palette.empty();
  png_set_IHDR(png, info, image.width, image.height, 8, indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::array<png_color, 256> entries{};
  const std::size_t count = image.palette.size() / 3;
  for (std::size_t i = 0; i < count && i < entries.size(); ++i) {
    entries[i] = {image.palette[3 * i], image.palette[3 * i + 1], image.palette[3 * i + 2]};
  }
  if (indexed) png_set_PLTE(png, info, entries.data(), static_cast<int>(count));
  png_write_info(png, info);
  const std::size_t row_bytes = std::size_t{image.width} * (indexed ? 1 : 3);
  for (std::uint32_t row = 0; row < image.height; ++row) {
    png_write_row(png, image.pixels.data() + row_bytes * row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

Result<std::vector<std::uint8_t>> EncodePng(const PngImage& image) {
  std::vector<std::uint8_t> out;
  if (!EncodeInto(image, out)) return Fail(ErrorKind::kOutOfMemory);
  return out;
}

}  // namespace tarnvick
