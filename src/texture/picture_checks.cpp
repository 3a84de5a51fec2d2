// Checks of pictures before stb_image. What they make sure of, format by format:
// - PNG: the file begins with the signature and the IHDR chunk, whose colour type, depth and
//   methods are valid; every chunk lies within the file, an IEND chunk ends them, and every
//   critical chunk is one of IHDR, PLTE, IDAT and IEND. (A file cut short would otherwise make
//   stb_image read zeros as an unknown critical chunk, whose name it writes into a buffer all
//   threads share; an iPhone CgBI file is refused as well.) The image data is inflated here, by
//   zlib, into a small buffer, and must give exactly the bytes of the picture's rows: stb_image's
//   own inflater takes the distance codes 30 and 31 for a distance of 0, copying bytes it has not
//   yet written, and would grow its buffer for a stream that holds more than the picture (a small
//   file inflating into gigabytes). Neither the chunks' checksums nor the stream's Adler-32 are
//   verified, as stb_image verifies none.
// - TGA: image types 1, 2, 3, 9, 10 and 11 only, true colour of 15, 16, 24 or 32 bits, grey of 8
//   (or 16: grey and alpha), colour-mapped with 8- or 16-bit indices into a map of 15-, 16-, 24-
//   or 32-bit entries starting at entry 0 (stb_image would take a first entry index for bytes to
//   skip); and the file holds every pixel (stb_image would leave the rest unwritten, or zero).
// - BMP: a header stb_image knows (12, 40, 56, 108 or 124 bytes), pixel data after it and within
//   the file.
// Each format's rules exclude the marks of the other two (a PNG's signature, a BMP's "BM"), so
// that stb_image, which tells formats apart by content, takes a file for the format checked.
#include "texture/picture_checks.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "texture/byte_order.h"
#include "texture/picture_texture.h"

namespace tarnvick {
namespace {

std::uint32_t Read16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }

constexpr std::array<std::uint8_t, 8> kPngSignature = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::size_t kChunkFrame = 12;  // length, type and checksum
constexpr std::size_t kHeaderData = 13;

bool IsChunk(const std::uint8_t* type, std::string_view name) { return std::memcmp(type, name.data(), 4) == 0; }

// The samples of a pixel of a PNG colour type whose depth is valid for it; 0 for none.
int PngSamples(int colour_type, int depth) {
  const bool low = depth == 1 || depth == 2 || depth == 4;
  switch (colour_type) {
    case 0: return low || depth == 8 || depth == 16 ? 1 : 0;
    case 2: return depth == 8 || depth == 16 ? 3 : 0;
    case 3: return low || depth == 8 ? 1 : 0;
    case 4: return depth == 8 || depth == 16 ? 2 : 0;
    case 6: return depth == 8 || depth == 16 ? 4 : 0;
    default: return 0;
  }
}

// The bytes the rows of a width x height picture take once inflated: each row a filter byte and
// its samples, in the seven passes of Adam7 when interlaced (each holds pixels: the sides are 8 or more).
std::uint64_t PngRowBytes(std::uint64_t width, std::uint64_t height, std::uint64_t bits_per_pixel, bool interlaced) {
  const auto rows = [&](std::uint64_t x, std::uint64_t y, std::uint64_t dx, std::uint64_t dy) {
    return (1 + (((width - x + dx - 1) / dx) * bits_per_pixel + 7) / 8) * ((height - y + dy - 1) / dy);
  };
  if (!interlaced) return rows(0, 0, 1, 1);
  return rows(0, 0, 8, 8) + rows(4, 0, 8, 8) + rows(0, 4, 4, 8) + rows(2, 0, 4, 4) + rows(0, 2, 2, 4) +
         rows(1, 0, 2, 2) + rows(0, 1, 1, 2);
}

// The image data of the IDAT chunks, fed in turn, inflated and counted against the rows' bytes.
class PngDataCheck {
 public:
  explicit PngDataCheck(std::uint64_t row_bytes) : row_bytes_(row_bytes) {
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();  // a raw stream: its header is read here
  }
  PngDataCheck(const PngDataCheck&) = delete;
  PngDataCheck& operator=(const PngDataCheck&) = delete;
  ~PngDataCheck() { inflateEnd(&stream_); }

  Result<void> Feed(std::span<const std::uint8_t> data) {
    for (; header_seen_ < 2 && !data.empty(); data = data.subspan(1)) header_[header_seen_++] = data[0];
    if (header_seen_ == 2 && !header_checked_) {
      header_checked_ = true;
      // Deflate (method 8), no preset dictionary, the check bits right: what stb_image requires.
      if ((header_[0] & 15) != 8 || (header_[1] & 32) != 0 || (header_[0] * 256 + header_[1]) % 31 != 0) {
        return CannotDecodePicture("PNG image data is not a zlib stream");
      }
    }
    stream_.next_in = const_cast<Bytef*>(data.data());
    stream_.avail_in = static_cast<uInt>(data.size());
    while (stream_.avail_in > 0 && !ended_) {
      stream_.next_out = scratch_.data();
      stream_.avail_out = static_cast<uInt>(scratch_.size());
      const int status = inflate(&stream_, Z_NO_FLUSH);
      inflated_ += scratch_.size() - stream_.avail_out;
      if (inflated_ > row_bytes_) return CannotDecodePicture("PNG image data holds more than the picture");
      if (status == Z_MEM_ERROR) throw std::bad_alloc();
      if (status == Z_STREAM_END) ended_ = true;
      if (status != Z_OK && status != Z_STREAM_END) {
        return CannotDecodePicture(std::string("PNG image data is corrupt: ") +
                                   (stream_.msg != nullptr ? stream_.msg : "no reason given"));
      }
    }
    return {};
  }

  Result<void> Finish() const {
    if (!ended_ || inflated_ < row_bytes_) return CannotDecodePicture("PNG image data ends early");
    return {};
  }

 private:
  z_stream stream_{};
  std::uint64_t row_bytes_;
  std::uint64_t inflated_ = 0;
  std::array<std::uint8_t, 2> header_{};
  int header_seen_ = 0;
  bool header_checked_ = false;
  bool ended_ = false;
  std::array<Bytef, 16384> scratch_{};
};

Result<void> CheckPngChunks(std::span<const std::uint8_t> bytes, PngDataCheck& data) {
  for (std::size_t at = kPngSignature.size();;) {
    if (bytes.size() - at < kChunkFrame) return CannotDecodePicture("PNG ends before its IEND chunk");
    const std::uint64_t length = ReadBig32(bytes.data() + at);
    const std::uint8_t* const type = bytes.data() + at + 4;
    if (length > bytes.size() - at - kChunkFrame) return CannotDecodePicture("PNG chunk runs past the end of the file");
    if (IsChunk(type, "IEND")) return data.Finish();
    const bool critical = (type[0] & 0x20) == 0;  // the first letter in upper case
    if (critical && !IsChunk(type, "IHDR") && !IsChunk(type, "PLTE") && !IsChunk(type, "IDAT")) {
      const bool letters = std::all_of(type, type + 4, [](std::uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; });
      return CannotDecodePicture(letters ? "unknown critical PNG chunk " + std::string(type, type + 4)
                                         : std::string("PNG chunk type is not four letters"));
    }
    if (IsChunk(type, "IDAT")) {
      if (Result<void> fed = data.Feed(bytes.subspan(at + 8, static_cast<std::size_t>(length))); !fed) return fed;
    }
    at += kChunkFrame + static_cast<std::size_t>(length);
  }
}

constexpr std::size_t kTgaHeaderSize = 18;
constexpr std::size_t kBmpFileHeaderSize = 14;

Result<void> CheckTgaForm(int image_type, int pixel_bits, int map_type, std::uint32_t first_entry,
                          std::uint32_t map_length, int entry_bits) {
  const bool mapped = image_type == 1 || image_type == 9;
  const bool grey = image_type == 3 || image_type == 11;
  if (mapped && map_type != 1) return CannotDecodePicture("TGA colour-mapped picture without a colour map");
  if (!mapped && map_type != 0) return CannotDecodePicture("TGA colour map in a picture without indices is not supported");
  const bool pixels_ok = mapped ? pixel_bits == 8 || pixel_bits == 16
                         : grey ? pixel_bits == 8 || pixel_bits == 16
                                : pixel_bits == 15 || pixel_bits == 16 || pixel_bits == 24 || pixel_bits == 32;
  if (!pixels_ok) {
    return CannotDecodePicture("TGA image type " + std::to_string(image_type) + " with " + std::to_string(pixel_bits) +
                        "-bit pixels is not supported");
  }
  if (!mapped) return {};
  if (entry_bits != 15 && entry_bits != 16 && entry_bits != 24 && entry_bits != 32) {
    return CannotDecodePicture("TGA colour map of " + std::to_string(entry_bits) + "-bit entries is not supported");
  }
  if (first_entry != 0) return CannotDecodePicture("TGA colour map not starting at entry 0 is not supported");
  if (map_length == 0) return CannotDecodePicture("TGA colour map is empty");
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

}  // namespace

Result<CheckedPicture> CheckPngPicture(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kPngSignature.size() || !std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin())) {
    return CannotDecodePicture("not a PNG file");
  }
  const std::uint8_t* const chunk = bytes.data() + kPngSignature.size();
  if (bytes.size() < kPngSignature.size() + kChunkFrame + kHeaderData || ReadBig32(chunk) != kHeaderData ||
      !IsChunk(chunk + 4, "IHDR")) {
    return CannotDecodePicture("PNG does not begin with its IHDR chunk");
  }
  const std::uint32_t width = ReadBig32(chunk + 8), height = ReadBig32(chunk + 12);
  if (Result<void> rule = CheckPictureSize(width, height); !rule) return Failure{rule.error()};
  const int depth = chunk[16], colour_type = chunk[17];
  const int samples = PngSamples(colour_type, depth);
  if (samples == 0) {
    return CannotDecodePicture("PNG of colour type " + std::to_string(colour_type) + " with " + std::to_string(depth) +
                               "-bit samples is not valid");
  }
  if (chunk[18] != 0 || chunk[19] != 0 || chunk[20] > 1) {
    return CannotDecodePicture("PNG of an unknown compression, filter or interlace method");
  }
  PngDataCheck data(PngRowBytes(width, height, static_cast<std::uint64_t>(samples * depth), chunk[20] == 1));
  if (Result<void> chunks = CheckPngChunks(bytes, data); !chunks) return Failure{chunks.error()};
  return CheckedPicture{width, height, false};
}

Result<CheckedPicture> CheckTgaPicture(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kTgaHeaderSize) return CannotDecodePicture("TGA header ends early");
  const std::uint8_t* const head = bytes.data();
  const int map_type = head[1];
  const int image_type = head[2];
  if (map_type > 1 || (image_type != 1 && image_type != 2 && image_type != 3 && image_type != 9 &&
                       image_type != 10 && image_type != 11)) {
    return CannotDecodePicture("not a TGA file of image type 1, 2, 3, 9, 10 or 11");
  }
  const std::uint32_t width = Read16(head + 12), height = Read16(head + 14);
  if (Result<void> rule = CheckPictureSize(width, height); !rule) return Failure{rule.error()};
  const std::uint32_t map_length = Read16(head + 5);
  const int entry_bits = head[7];
  const int pixel_bits = head[16];
  if (Result<void> form = CheckTgaForm(image_type, pixel_bits, map_type, Read16(head + 3), map_length, entry_bits);
      !form) {
    return Failure{form.error()};
  }
  const std::size_t map_bytes = map_type == 1 ? std::size_t{map_length} * static_cast<std::size_t>((entry_bits + 7) / 8) : 0;
  const std::size_t pixels_at = kTgaHeaderSize + head[0] + map_bytes;
  if (!HoldsTgaPixels(bytes, pixels_at, std::uint64_t{width} * height,
                      static_cast<std::size_t>((pixel_bits + 7) / 8), image_type >= 9)) {
    return CannotDecodePicture("TGA pixel data ends early");
  }
  return CheckedPicture{width, height, (head[17] & 0x10) != 0};
}

Result<CheckedPicture> CheckBmpPicture(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kBmpFileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M') return CannotDecodePicture("not a BMP file");
  const std::uint8_t* const head = bytes.data();
  const std::uint32_t info_size = ReadU32(head + 14);
  if (info_size != 12 && info_size != 40 && info_size != 56 && info_size != 108 && info_size != 124) {
    return CannotDecodePicture("BMP header of " + std::to_string(info_size) + " bytes is not supported");
  }
  if (bytes.size() < kBmpFileHeaderSize + info_size) return CannotDecodePicture("BMP header ends early");
  const bool core = info_size == 12;
  // A negative height stands for rows stored from the top; the height is its magnitude.
  const std::int64_t width = core ? std::int64_t{Read16(head + 18)} : std::int64_t{static_cast<std::int32_t>(ReadU32(head + 18))};
  const std::int64_t height =
      core ? std::int64_t{Read16(head + 20)} : std::abs(std::int64_t{static_cast<std::int32_t>(ReadU32(head + 22))});
  if (Result<void> rule = CheckPictureSize(width, height); !rule) return Failure{rule.error()};
  const CheckedPicture checked{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), false};
  const std::uint32_t bits = Read16(head + (core ? 24 : 28));
  const std::uint32_t compression = core ? 0 : ReadU32(head + 30);
  const bool laid_out = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  // Other compressions and depths stb_image refuses itself, with its reason.
  if (!laid_out || (compression != 0 && compression != 3)) return checked;
  const bool masks_after = compression == 3 && (info_size == 40 || info_size == 56);
  const std::uint64_t header_end = kBmpFileHeaderSize + info_size + (masks_after ? 12 : 0);
  const std::uint64_t data_at = ReadU32(head + 10);
  if (data_at < header_end) return CannotDecodePicture("BMP pixel data begins inside its header");
  const std::uint64_t row_bytes = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  if (data_at > bytes.size() || row_bytes * static_cast<std::uint64_t>(height) > bytes.size() - data_at) {
    return CannotDecodePicture("BMP pixel data ends early");
  }
  return checked;
}

}  // namespace tarnvick
