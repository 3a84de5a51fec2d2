#include "texture/png_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>

namespace tarnvick {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr int kFilterTypes = 5;  // none, sub, up, average, Paeth

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Appends a chunk: its length, type, data and the checksum of type and data.
void PutChunk(std::vector<std::uint8_t>& out, std::string_view type, std::span<const std::uint8_t> data) {
  PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t type_at = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  const uLong checksum = crc32(crc32(0L, Z_NULL, 0), out.data() + type_at, static_cast<uInt>(out.size() - type_at));
  PutBigEndian32(out, static_cast<std::uint32_t>(checksum));
}

std::uint8_t Paeth(int left, int up, int up_left) {
  const int estimate = left + up - up_left;
  const int to_left = std::abs(estimate - left);
  const int to_up = std::abs(estimate - up);
  const int to_up_left = std::abs(estimate - up_left);
  if (to_left <= to_up && to_left <= to_up_left) return static_cast<std::uint8_t>(left);
  return static_cast<std::uint8_t>(to_up <= to_up_left ? up : up_left);
}

// Row `row` filtered with `type` into `out` (its type byte first); `previous` is the row above,
// all zero for the first. `step` is the bytes of a pixel. Each type is a loop of its own, which
// the compiler can vectorise.
void FilterRow(int type, std::span<const std::uint8_t> row, std::span<const std::uint8_t> previous,
               std::size_t step, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>(type);
  std::uint8_t* const filtered = out + 1;
  const std::size_t size = row.size();
  const std::size_t first = std::min(step, size);  // the bytes with no pixel to their left
  switch (type) {
    case 1:
      std::copy_n(row.begin(), first, filtered);
      for (std::size_t i = first; i < size; ++i) filtered[i] = static_cast<std::uint8_t>(row[i] - row[i - step]);
      return;
    case 2:
      for (std::size_t i = 0; i < size; ++i) filtered[i] = static_cast<std::uint8_t>(row[i] - previous[i]);
      return;
    case 3:
      for (std::size_t i = 0; i < first; ++i) filtered[i] = static_cast<std::uint8_t>(row[i] - previous[i] / 2);
      for (std::size_t i = first; i < size; ++i) {
        filtered[i] = static_cast<std::uint8_t>(row[i] - (row[i - step] + previous[i]) / 2);
      }
      return;
    case 4:
      for (std::size_t i = 0; i < size; ++i) {
        const int left = i >= step ? row[i - step] : 0;
        const int up_left = i >= step ? previous[i - step] : 0;
        filtered[i] = static_cast<std::uint8_t>(row[i] - Paeth(left, previous[i], up_left));
      }
      return;
    default:
      std::copy_n(row.begin(), size, filtered);
  }
}

// How well a filtered row is likely to compress: the sum of its bytes read as signed, the
// smaller the better.
std::uint64_t Cost(const std::uint8_t* filtered, std::size_t size) {
  std::uint64_t sum = 0;
  for (std::size_t i = 1; i <= size; ++i) sum += static_cast<std::uint64_t>(std::abs(static_cast<std::int8_t>(filtered[i])));
  return sum;
}

// The rows, each after its filter type byte: indexed images unfiltered, RGB and RGBA rows with the
// packing's filter, or the one of least cost (the lowest type on ties).
std::vector<std::uint8_t> FilteredRows(const PngImage& image, bool indexed) {
  const std::size_t step = indexed ? 1 : image.alpha ? 4 : 3;
  const int fixed = indexed ? 0 : image.packing.filter;
  const std::size_t row_bytes = std::size_t{image.width} * step;
  std::vector<std::uint8_t> rows((row_bytes + 1) * image.height);
  const std::vector<std::uint8_t> zero_row(row_bytes);
  std::vector<std::uint8_t> trial(row_bytes + 1);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const auto row = image.pixels.subspan(row_bytes * y, row_bytes);
    const auto previous = y == 0 ? std::span<const std::uint8_t>(zero_row) : image.pixels.subspan(row_bytes * (y - 1), row_bytes);
    std::uint8_t* out = rows.data() + (row_bytes + 1) * y;
    FilterRow(std::max(fixed, 0), row, previous, step, out);
    if (fixed >= 0) continue;
    std::uint64_t best = Cost(out, row_bytes);
    for (int type = 1; type < kFilterTypes; ++type) {
      FilterRow(type, row, previous, step, trial.data());
      const std::uint64_t cost = Cost(trial.data(), row_bytes);
      if (cost < best) {
        best = cost;
        std::copy(trial.begin(), trial.end(), out);
      }
    }
  }
  return rows;
}

// The zlib stream of `rows`, packed as `packing` says; fails with kOutOfMemory when zlib cannot
// make it.
Result<std::vector<std::uint8_t>> Deflate(std::span<const std::uint8_t> rows, const PngPacking& packing) {
  z_stream stream{};
  if (deflateInit2(&stream, packing.level, Z_DEFLATED, 15, 8, packing.strategy) != Z_OK) return Fail(ErrorKind::kOutOfMemory);
  std::vector<std::uint8_t> packed(deflateBound(&stream, static_cast<uLong>(rows.size())));
  stream.next_in = const_cast<Bytef*>(rows.data());
  stream.avail_in = static_cast<uInt>(rows.size());
  stream.next_out = packed.data();
  stream.avail_out = static_cast<uInt>(packed.size());
  const int status = deflate(&stream, Z_FINISH);
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) return Fail(ErrorKind::kOutOfMemory);
  return packed;
}

}  // namespace

Result<std::vector<std::uint8_t>> EncodePng(const PngImage& image) {
  const bool indexed = !image.palette.empty();
  const std::vector<std::uint8_t> rows = FilteredRows(image, indexed);
  const Result<std::vector<std::uint8_t>> packed = Deflate(rows, image.packing);
  if (!packed) return Failure{packed.error()};

  std::vector<std::uint8_t> header;
  PutBigEndian32(header, image.width);
  PutBigEndian32(header, image.height);
  // Bit depth 8, the colour type, deflate compression, adaptive filtering, no interlace.
  header.insert(header.end(), {8, static_cast<std::uint8_t>(indexed ? 3 : image.alpha ? 6 : 2), 0, 0, 0});

  std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
  PutChunk(out, "IHDR", header);
  if (indexed) PutChunk(out, "PLTE", image.palette.first(std::min<std::size_t>(image.palette.size() / 3, 256) * 3));
  PutChunk(out, "IDAT", *packed);
  PutChunk(out, "IEND", {});
  return out;
}

}  // namespace tarnvick
