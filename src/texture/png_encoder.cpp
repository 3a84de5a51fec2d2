#include "texture/png_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
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

// The base-2 logarithm of `x` (at least 1) in sixteenths, taken as linear between powers of two.
std::uint64_t Log2Sixteenths(std::uint64_t x) {
  const int top = std::bit_width(x) - 1;
  return (static_cast<std::uint64_t>(top) << 4) + (((x << 4) >> top) & 15);
}

// Row `y` filtered into `out` (its type byte first): indexed rows unfiltered, RGB and RGBA rows
// with the packing's filter, or the one of least cost (the lowest type on ties), into `trial`
// while types are tried.
void FilteredRow(const PngImage& image, bool indexed, std::span<const std::uint8_t> row,
                 std::span<const std::uint8_t> previous, std::uint8_t* out, std::vector<std::uint8_t>& trial) {
  const std::size_t step = indexed ? 1 : image.alpha ? 4 : 3;
  const int fixed = indexed ? 0 : image.packing.filter;
  FilterRow(std::max(fixed, 0), row, previous, step, out);
  if (fixed >= 0) return;
  std::uint64_t best = Cost(out, row.size());
  for (int type = 1; type < kFilterTypes; ++type) {
    FilterRow(type, row, previous, step, trial.data());
    const std::uint64_t cost = Cost(trial.data(), row.size());
    if (cost < best) {
      best = cost;
      std::copy(trial.begin(), trial.end(), out);
    }
  }
}

// Appends the IDAT chunk of `image`: its rows filtered one at a time and given to zlib as they
// come, packed straight into `out`. Fails with kOutOfMemory when zlib cannot pack them.
Result<void> PutImageData(const PngImage& image, bool indexed, std::vector<std::uint8_t>& out) {
  const std::size_t row_bytes = std::size_t{image.width} * (indexed ? 1 : image.alpha ? 4 : 3);
  const std::size_t rows_bytes = (row_bytes + 1) * image.height;
  z_stream stream{};
  const PngPacking& packing = image.packing;
  if (deflateInit2(&stream, packing.level, Z_DEFLATED, 15, packing.memory_level, packing.strategy) != Z_OK) {
    return Fail(ErrorKind::kOutOfMemory);
  }
  const std::size_t chunk_at = out.size();
  PutBigEndian32(out, 0);  // the length, known at the end
  out.insert(out.end(), {'I', 'D', 'A', 'T'});
  const std::size_t data_at = out.size();
  out.resize(data_at + deflateBound(&stream, static_cast<uLong>(rows_bytes)));
  stream.next_out = out.data() + data_at;
  stream.avail_out = static_cast<uInt>(out.size() - data_at);
  // Two rows given by `rows` (this one and the one above), and the filtered rows not yet given to
  // zlib: one, or when noise is stored, about 64 KiB of them.
  const std::size_t group_bytes = packing.store_noise ? std::max<std::size_t>(row_bytes + 1, std::size_t{1} << 16) : row_bytes + 1;
  std::vector<std::uint8_t> given(image.rows ? 2 * row_bytes : 0), filtered(group_bytes + row_bytes + 1), trial(row_bytes + 1);
  std::size_t pending = 0;
  int level = packing.level;
  const std::vector<std::uint8_t> zero_row(row_bytes);
  int status = Z_OK;
  // Gives the pending rows to zlib, stored when they look like noise: their bytes' entropy (as
  // reckoned here, a little under the true one) over 6 bits a byte, where coding saves little.
  const auto give = [&] {
    if (packing.store_noise) {
      std::array<std::uint64_t, 256> counts{};
      for (std::size_t i = 0; i < pending; ++i) ++counts[filtered[i]];
      std::uint64_t sixteenths = 0;  // of a bit, the least the bytes can be coded in
      for (const std::uint64_t count : counts) {
        if (count > 0) sixteenths += count * (Log2Sixteenths(pending) - Log2Sixteenths(count));
      }
      const int wanted = sixteenths > 6 * 16 * pending ? 0 : packing.level;
      if (wanted != level && (status = deflateParams(&stream, wanted, packing.strategy)) == Z_OK) level = wanted;
    }
    stream.next_in = filtered.data();
    stream.avail_in = static_cast<uInt>(pending);
    if (status == Z_OK) status = deflate(&stream, Z_NO_FLUSH);
    pending = 0;
  };
  for (std::uint32_t y = 0; y < image.height && status == Z_OK; ++y) {
    std::span<const std::uint8_t> row, previous = zero_row;
    if (image.rows) {
      std::uint8_t* at = given.data() + row_bytes * (y % 2);
      image.rows(y, at);
      row = {at, row_bytes};
      if (y > 0) previous = {given.data() + row_bytes * ((y + 1) % 2), row_bytes};
    } else {
      row = image.pixels.subspan(row_bytes * y, row_bytes);
      if (y > 0) previous = image.pixels.subspan(row_bytes * (y - 1), row_bytes);
    }
    FilteredRow(image, indexed, row, previous, filtered.data() + pending, trial);
    pending += row_bytes + 1;
    if (pending >= group_bytes) give();
  }
  if (pending > 0 && status == Z_OK) give();
  if (status == Z_OK) status = deflate(&stream, Z_FINISH);
  const std::size_t packed = stream.total_out;
  deflateEnd(&stream);
  if (status != Z_STREAM_END) return Fail(ErrorKind::kOutOfMemory);
  out.resize(data_at + packed);
  for (int i = 0; i < 4; ++i) out[chunk_at + i] = static_cast<std::uint8_t>(packed >> (24 - 8 * i));
  const uLong checksum = crc32(crc32(0L, Z_NULL, 0), out.data() + chunk_at + 4, static_cast<uInt>(packed + 4));
  PutBigEndian32(out, static_cast<std::uint32_t>(checksum));
  return {};
}

}  // namespace

Result<std::vector<std::uint8_t>> EncodePng(const PngImage& image) {
  const bool indexed = !image.palette.empty();
  std::vector<std::uint8_t> header;
  PutBigEndian32(header, image.width);
  PutBigEndian32(header, image.height);
  // Bit depth 8, the colour type, deflate compression, adaptive filtering, no interlace.
  header.insert(header.end(), {8, static_cast<std::uint8_t>(indexed ? 3 : image.alpha ? 6 : 2), 0, 0, 0});

  std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
  PutChunk(out, "IHDR", header);
  if (indexed) PutChunk(out, "PLTE", image.palette.first(std::min<std::size_t>(image.palette.size() / 3, 256) * 3));
  if (Result<void> put = PutImageData(image, indexed, out); !put) return Failure{put.error()};
  PutChunk(out, "IEND", {});
  return out;
}

}  // namespace tarnvick
