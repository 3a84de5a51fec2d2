// PNG, TGA and BMP through stb_image, built here with those three formats alone, from memory
// only, without floating-point (HDR) paths. Always asked for four channels: grey becomes equal
// red, green and blue, and a picture without alpha gets 255.
//
// stb_image tells formats apart by their content, trying PNG, then BMP, then TGA, whose header
// has no mark. The checks below accept a file only in the form of its extension, and their rules
// exclude the other two formats' marks, so stb_image always takes the format the extension names:
// a PNG's signature or a BMP's "BM" is never read as a TGA header, nor is garbage named .png or .bmp.
//
// What stb_image does not check, checked here before it runs:
// - PNG: the file begins with the signature and the IHDR chunk; every chunk lies within the file,
//   an IEND chunk ends them, and every critical chunk is one of IHDR, PLTE, IDAT and IEND. (A
//   file cut short would otherwise make stb_image read zeros as an unknown critical chunk, whose
//   name it writes into a buffer shared by all threads; an iPhone CgBI file is refused as well.)
//   Colour-space chunks (gAMA, sRGB, iCCP, cHRM) are ignored by stb_image: samples are taken as
//   they are. 16-bit samples keep their high byte. Checksums are not verified.
// - TGA: image types 1, 2, 3, 9, 10 and 11 only, true colour of 15, 16, 24 or 32 bits, grey of 8
//   (or 16: grey and alpha), colour-mapped with 8- or 16-bit indices into a map of 15-, 16-, 24-
//   or 32-bit entries starting at entry 0 (stb_image would take a first entry index for bytes to
//   skip); and the file holds every pixel (stb_image would leave the rest unwritten, or zero).
//   15- and 16-bit pixels have no alpha. A right-to-left picture (bit 4 of the descriptor) is
//   mirrored here; stb_image turns bottom-up pictures top row first.
// - BMP: a header stb_image knows (12, 40, 56, 108 or 124 bytes), pixel data after it and within
//   the file. A 32-bit picture whose alpha is 0 everywhere is taken as opaque (stb_image's rule).
//
// Thread safety: stb_image keeps its failure reason per thread; its process-wide settings
// (flipping, unpremultiplying, the iPhone conversion, HDR gamma) are never set, so they keep
// their defaults (off); its one shared buffer, the name of an unknown critical PNG chunk, is never
// reached because such files are refused first.
//
// Memory: stb_image grows two buffers by doubling, a PNG's compressed data (never past twice the
// file) and the inflated rows (sized for a picture that is not interlaced, grown by an interlaced
// one's or by a stream that holds more). Growth is refused past twice the file or twice the rows
// the largest form of the picture's size needs, so a small file cannot inflate into gigabytes.
#include "texture/stb_picture.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>

#include "texture/byte_order.h"
#include "texture/picture_texture.h"

namespace tarnvick {
namespace {

thread_local std::size_t stb_growth_limit = 0;
thread_local bool stb_growth_refused = false;

void* GrowStbBuffer(void* buffer, std::size_t size) {
  if (size > stb_growth_limit) {
    stb_growth_refused = true;
    return nullptr;
  }
  return std::realloc(buffer, size);
}

}  // namespace
}  // namespace tarnvick

#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STB_IMAGE_STATIC
#define STBI_MALLOC(size) std::malloc(size)
#define STBI_FREE(buffer) std::free(buffer)
#define STBI_REALLOC_SIZED(buffer, old_size, size) tarnvick::GrowStbBuffer(buffer, size)
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace tarnvick {
namespace {

struct Size {
  std::int64_t width = 0;
  std::int64_t height = 0;
};

// What stb_image is handed, once the checks pass.
struct Checked {
  Size size;
  bool mirrored = false;  // the rows run right to left
};

Failure CannotDecode(std::string_view reason) {
  return Fail(ErrorKind::kBadPicture, "cannot decode picture: " + std::string(reason));
}

std::uint32_t Read16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }

// --- PNG

constexpr std::array<std::uint8_t, 8> kPngSignature = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::size_t kChunkFrame = 12;  // length, type and checksum

bool IsChunk(const std::uint8_t* type, std::string_view name) { return std::memcmp(type, name.data(), 4) == 0; }

Result<Size> ReadPngSize(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kPngSignature.size() || !std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin())) {
    return CannotDecode("not a PNG file");
  }
  const std::uint8_t* const chunk = bytes.data() + kPngSignature.size();
  if (bytes.size() < kPngSignature.size() + kChunkFrame + 13 || ReadBig32(chunk) != 13 || !IsChunk(chunk + 4, "IHDR")) {
    return CannotDecode("PNG does not begin with its IHDR chunk");
  }
  return Size{ReadBig32(chunk + 8), ReadBig32(chunk + 12)};
}

Result<void> CheckPngChunks(std::span<const std::uint8_t> bytes) {
  for (std::size_t at = kPngSignature.size();;) {
    if (bytes.size() - at < kChunkFrame) return CannotDecode("PNG ends before its IEND chunk");
    const std::uint64_t length = ReadBig32(bytes.data() + at);
    const std::uint8_t* const type = bytes.data() + at + 4;
    if (length > bytes.size() - at - kChunkFrame) return CannotDecode("PNG chunk runs past the end of the file");
    if (IsChunk(type, "IEND")) return {};
    const bool critical = (type[0] & 0x20) == 0;  // the first letter in upper case
    if (critical && !IsChunk(type, "IHDR") && !IsChunk(type, "PLTE") && !IsChunk(type, "IDAT")) {
      const bool letters = std::all_of(type, type + 4, [](std::uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; });
      return CannotDecode(letters ? "unknown critical PNG chunk " + std::string(type, type + 4)
                                  : std::string("PNG chunk type is not four letters"));
    }
    at += kChunkFrame + static_cast<std::size_t>(length);
  }
}

Result<Checked> CheckPng(std::span<const std::uint8_t> bytes) {
  const Result<Size> size = ReadPngSize(bytes);
  if (!size) return Failure{size.error()};
  if (Result<void> rule = CheckPictureSize(size->width, size->height); !rule) return Failure{rule.error()};
  if (Result<void> chunks = CheckPngChunks(bytes); !chunks) return Failure{chunks.error()};
  return Checked{*size, false};
}

// --- TGA

constexpr std::size_t kTgaHeaderSize = 18;

Result<void> CheckTgaForm(int image_type, int pixel_bits, int map_type, std::uint32_t first_entry,
                          std::uint32_t map_length, int entry_bits) {
  const bool mapped = image_type == 1 || image_type == 9;
  const bool grey = image_type == 3 || image_type == 11;
  if (mapped && map_type != 1) return CannotDecode("TGA colour-mapped picture without a colour map");
  if (!mapped && map_type != 0) return CannotDecode("TGA colour map in a picture without indices is not supported");
  const bool pixels_ok = mapped ? pixel_bits == 8 || pixel_bits == 16
                         : grey ? pixel_bits == 8 || pixel_bits == 16
                                : pixel_bits == 15 || pixel_bits == 16 || pixel_bits == 24 || pixel_bits == 32;
  if (!pixels_ok) {
    return CannotDecode("TGA image type " + std::to_string(image_type) + " with " + std::to_string(pixel_bits) +
                        "-bit pixels is not supported");
  }
  if (!mapped) return {};
  if (entry_bits != 15 && entry_bits != 16 && entry_bits != 24 && entry_bits != 32) {
    return CannotDecode("TGA colour map of " + std::to_string(entry_bits) + "-bit entries is not supported");
  }
  if (first_entry != 0) return CannotDecode("TGA colour map not starting at entry 0 is not supported");
  if (map_length == 0) return CannotDecode("TGA colour map is empty");
  return {};
}

// Whether the pixel data from `at` holds all `pixels` pixels of `pixel_bytes` each, run-length
// coded (a count byte, then one pixel for a run or count pixels as they are) or not.
bool HoldsTgaPixels(std::span<const std::uint8_t> bytes, std::size_t at, std::uint64_t pixels, std::size_t pixel_bytes,
                    bool run_length) {
  if (at > bytes.size()) return false;
  if (!run_length) return pixels * pixel_bytes <= bytes.size() - at;
  for (std::uint64_t done = 0; done < pixels;) {
    if (at == bytes.size()) return false;
    const std::uint8_t count_byte = bytes[at++];
    const std::uint64_t count = std::min<std::uint64_t>((count_byte & 0x7F) + 1, pixels - done);
    const std::uint64_t data = (count_byte & 0x80) != 0 ? pixel_bytes : count * pixel_bytes;
    if (data > bytes.size() - at) return false;
    at += static_cast<std::size_t>(data);
    done += count;
  }
  return true;
}

Result<Checked> CheckTga(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kTgaHeaderSize) return CannotDecode("TGA header ends early");
  const std::uint8_t* const head = bytes.data();
  const int map_type = head[1];
  const int image_type = head[2];
  if (map_type > 1 || (image_type != 1 && image_type != 2 && image_type != 3 && image_type != 9 &&
                       image_type != 10 && image_type != 11)) {
    return CannotDecode("not a TGA file of image type 1, 2, 3, 9, 10 or 11");
  }
  const Size size{Read16(head + 12), Read16(head + 14)};
  if (Result<void> rule = CheckPictureSize(size.width, size.height); !rule) return Failure{rule.error()};
  const std::uint32_t map_length = Read16(head + 5);
  const int entry_bits = head[7];
  const int pixel_bits = head[16];
  if (Result<void> form = CheckTgaForm(image_type, pixel_bits, map_type, Read16(head + 3), map_length, entry_bits);
      !form) {
    return Failure{form.error()};
  }
  const std::size_t map_bytes = map_type == 1 ? std::size_t{map_length} * static_cast<std::size_t>((entry_bits + 7) / 8) : 0;
  const std::size_t pixels_at = kTgaHeaderSize + head[0] + map_bytes;
  if (!HoldsTgaPixels(bytes, pixels_at, static_cast<std::uint64_t>(size.width * size.height),
                      static_cast<std::size_t>((pixel_bits + 7) / 8), image_type >= 9)) {
    return CannotDecode("TGA pixel data ends early");
  }
  return Checked{size, (head[17] & 0x10) != 0};
}

// --- BMP

constexpr std::size_t kBmpFileHeaderSize = 14;

Result<Checked> CheckBmp(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kBmpFileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M') return CannotDecode("not a BMP file");
  const std::uint8_t* const head = bytes.data();
  const std::uint32_t info_size = ReadU32(head + 14);
  if (info_size != 12 && info_size != 40 && info_size != 56 && info_size != 108 && info_size != 124) {
    return CannotDecode("BMP header of " + std::to_string(info_size) + " bytes is not supported");
  }
  if (bytes.size() < kBmpFileHeaderSize + info_size) return CannotDecode("BMP header ends early");
  const bool core = info_size == 12;
  // A negative height stands for rows stored from the top; the height is its magnitude.
  const Size size{core ? std::int64_t{Read16(head + 18)} : std::int64_t{static_cast<std::int32_t>(ReadU32(head + 18))},
                  core ? std::int64_t{Read16(head + 20)}
                       : std::abs(std::int64_t{static_cast<std::int32_t>(ReadU32(head + 22))})};
  if (Result<void> rule = CheckPictureSize(size.width, size.height); !rule) return Failure{rule.error()};
  const std::uint32_t bits = Read16(head + (core ? 24 : 28));
  const std::uint32_t compression = core ? 0 : ReadU32(head + 30);
  const bool laid_out = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  // Other compressions and depths stb_image refuses itself, with its reason.
  if (!laid_out || (compression != 0 && compression != 3)) return Checked{size, false};
  const bool masks_after = compression == 3 && (info_size == 40 || info_size == 56);
  const std::uint64_t header_end = kBmpFileHeaderSize + info_size + (masks_after ? 12 : 0);
  const std::uint64_t data_at = ReadU32(head + 10);
  if (data_at < header_end) return CannotDecode("BMP pixel data begins inside its header");
  const std::uint64_t row_bytes = (static_cast<std::uint64_t>(size.width) * bits + 31) / 32 * 4;
  if (data_at > bytes.size() || row_bytes * static_cast<std::uint64_t>(size.height) > bytes.size() - data_at) {
    return CannotDecode("BMP pixel data ends early");
  }
  return Checked{size, false};
}

struct StbFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

Result<std::unique_ptr<Texture>> DecodeStbPicture(TextureType kind, std::span<const std::uint8_t> bytes) {
  const Result<Checked> checked = kind == TextureType::kPng   ? CheckPng(bytes)
                                  : kind == TextureType::kTga ? CheckTga(bytes)
                                                              : CheckBmp(bytes);
  if (!checked) return Failure{checked.error()};
  // stb_image counts the bytes it reads in an int.
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return CannotDecode("file is over 2 GiB");

  // The inflated rows are sized for a picture that is not interlaced; an interlaced one's take a
  // little more, and the buffer then doubles once.
  const std::size_t rows = 8 * static_cast<std::size_t>(checked->size.width + 1) * static_cast<std::size_t>(checked->size.height);
  stb_growth_limit = 2 * std::max(bytes.size(), rows) + 4096;
  stb_growth_refused = false;
  // A few failures set no reason (a deflate block of the reserved type): cleared first, a reason
  // left by an earlier picture on this thread is never taken for this one's.
  stbi__g_failure_reason = nullptr;
  int width = 0;
  int height = 0;
  int channels = 0;
  const std::unique_ptr<stbi_uc, StbFree> decoded(
      stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4));
  if (decoded == nullptr) {
    if (stb_growth_refused) return CannotDecode("PNG image data holds more than the picture");
    const char* const reason = stbi_failure_reason();
    if (reason != nullptr && std::string_view(reason) == "outofmem") throw std::bad_alloc();
    return CannotDecode(reason != nullptr ? reason : "corrupt data");
  }
  // The checks above and stb_image read the size from the same bytes; what is copied below relies
  // on their agreeing.
  if (width != checked->size.width || height != checked->size.height) {
    return CannotDecode("decoded size differs from the header's");
  }

  const auto w = static_cast<std::uint32_t>(width);
  const auto h = static_cast<std::uint32_t>(height);
  std::unique_ptr<Texture> texture = NewPictureTexture(kind, w, h);
  const std::size_t row_bytes = std::size_t{w} * 4;
  for (std::size_t y = 0; y < h; ++y) {
    const stbi_uc* const from = decoded.get() + y * row_bytes;
    std::uint8_t* const to = texture->pixels.data() + y * row_bytes;
    if (!checked->mirrored) {
      std::memcpy(to, from, row_bytes);
      continue;
    }
    for (std::size_t x = 0; x < w; ++x) std::memcpy(to + 4 * x, from + 4 * (w - 1 - x), 4);
  }
  return texture;
}

}  // namespace tarnvick
