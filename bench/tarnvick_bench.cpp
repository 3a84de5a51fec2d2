// Benchmarks of the hot paths: nearest-colour mapping of a texture's four levels (searched, and
// looked up once found), colour counting, and whole runs over a generated corpus.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/run.h"
#include "convert/quantize_mips.h"
#include "palette/count_colors.h"
#include "support/colour_tally.h"
#include "support/reference_nearest.h"
#include "texture/m32_texture.h"
#include "noise.h"
#include "texture_encoder.h"

namespace {

using tarnvick::Palette;

// Pixels of a texture with `colours` distinct colours (4 bytes a pixel), in noisy order.
std::vector<std::uint8_t> Pixels(std::size_t count, std::uint32_t colours, std::uint32_t seed) {
  const std::vector<std::uint8_t> table = tarnvick::samples::NoiseBytes(3 * colours, seed);
  const std::vector<std::uint8_t> picks = tarnvick::samples::NoiseBytes(4 * count, seed + 1);
  std::vector<std::uint8_t> pixels(4 * count);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t pick;
    std::memcpy(&pick, &picks[4 * i], 4);
    const std::size_t c = pick % colours;
    pixels[4 * i] = table[3 * c];
    pixels[4 * i + 1] = table[3 * c + 1];
    pixels[4 * i + 2] = table[3 * c + 2];
    pixels[4 * i + 3] = 255;
  }
  return pixels;
}

// Pixels of a texture of per-channel noise around a grey: each channel spread over
// `2 * spread + 1` values, so (2 * spread + 1)^3 distinct colours (spread 5: 1,331; 19: 59,319),
// as the grain of a real texture gives them.
std::vector<std::uint8_t> GrainPixels(std::size_t count, int spread, std::uint32_t seed) {
  const std::vector<std::uint8_t> noise = tarnvick::samples::NoiseBytes(3 * count, seed);
  std::vector<std::uint8_t> pixels(4 * count);
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t c = 0; c < 3; ++c) {
      pixels[4 * i + c] = static_cast<std::uint8_t>(128 - spread + noise[3 * i + c] % (2 * spread + 1));
    }
    pixels[4 * i + 3] = 255;
  }
  return pixels;
}

Palette RandomPalette() {
  Palette palette{};
  const std::vector<std::uint8_t> bytes = tarnvick::samples::NoiseBytes(768, 99);
  std::copy(bytes.begin(), bytes.end(), palette.begin());
  return palette;
}

// Where the pixels of a benchmark come from: `count` pixels of 4 bytes, made from range(0) and a
// seed.
using PixelSource = std::vector<std::uint8_t> (*)(std::size_t count, std::int64_t range, std::uint32_t seed);

// range(0) distinct colours in random placement.
std::vector<std::uint8_t> RandomPlacement(std::size_t count, std::int64_t range, std::uint32_t seed) {
  return Pixels(count, static_cast<std::uint32_t>(range), seed);
}

// The grain of a texture: range(0) is the spread of each channel.
std::vector<std::uint8_t> Grain(std::size_t count, std::int64_t range, std::uint32_t seed) {
  return GrainPixels(count, static_cast<int>(range), seed);
}

// Four WAL levels of a 256 x 256 texture: 87,040 pixels.
void BM_QuantizeMips(benchmark::State& state, PixelSource source) {
  tarnvick::M32Texture texture;
  texture.pixels = source(87040, state.range(0), 5);
  texture.bits_per_pixel = 32;
  // One matcher, as for a whole run.
  const tarnvick::ColorMatcher matcher(RandomPalette());
  for (auto _ : state) {
    auto out = tarnvick::QuantizeMips(texture, 256, 256, 4, matcher);
    benchmark::DoNotOptimize(out->data());
  }
  state.SetItemsProcessed(state.iterations() * 87040);
}
BENCHMARK_CAPTURE(BM_QuantizeMips, Random, &RandomPlacement)
    ->Arg(16)->Arg(1000)->Arg(60000)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QuantizeMips, Grain, &Grain)->Arg(5)->Arg(19)->Unit(benchmark::kMillisecond);

// The same levels looked up in a table of each colour's entry, as a run shares it: the first pass
// finds the colours, the ones timed look them up.
void BM_QuantizeMipsLookedUp(benchmark::State& state, PixelSource source) {
  tarnvick::M32Texture texture;
  texture.pixels = source(87040, state.range(0), 5);
  texture.bits_per_pixel = 32;
  const tarnvick::ColorMatcher matcher(RandomPalette());
  const tarnvick::NearestTable table = std::move(*tarnvick::NearestTable::Empty(matcher));
  (void)tarnvick::QuantizeMips(texture, 256, 256, 4, matcher, false, tarnvick::Dither::kNone, &table);
  for (auto _ : state) {
    auto out = tarnvick::QuantizeMips(texture, 256, 256, 4, matcher, false, tarnvick::Dither::kNone, &table);
    benchmark::DoNotOptimize(out->data());
  }
  state.SetItemsProcessed(state.iterations() * 87040);
}
BENCHMARK_CAPTURE(BM_QuantizeMipsLookedUp, Random, &RandomPlacement)
    ->Arg(16)->Arg(1000)->Arg(60000)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QuantizeMipsLookedUp, Grain, &Grain)->Arg(5)->Arg(19)->Unit(benchmark::kMillisecond);

// The plain mapping of the same pixels: one-entry cache and a full scan for every miss.
void BM_MapPixelsPlain(benchmark::State& state) {
  const std::vector<std::uint8_t> pixels = Pixels(87040, static_cast<std::uint32_t>(state.range(0)), 5);
  const Palette palette = RandomPalette();
  std::vector<std::uint8_t> out(87040);
  for (auto _ : state) {
    tarnvick::LastMatch cache;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = tarnvick::NearestIndex(palette, &pixels[4 * i], cache);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * 87040);
}
BENCHMARK(BM_MapPixelsPlain)->Arg(16)->Arg(1000)->Arg(60000)->Unit(benchmark::kMillisecond);

// Counting the colours of a 256 x 256 M32 with a full chain (87,381 pixels).
void BM_CountColors(benchmark::State& state, PixelSource source) {
  tarnvick::M32Texture texture;
  texture.pixels = source(87381, state.range(0), 7);
  texture.byte_extent = static_cast<std::int32_t>(texture.pixels.size());
  texture.bits_per_pixel = 32;
  // One histogram, as for a whole run.
  tarnvick::ColorHistogram histogram;
  for (auto _ : state) {
    (void)tarnvick::CountColors(texture, histogram);
    benchmark::DoNotOptimize(histogram.Count(0));
  }
  state.SetItemsProcessed(state.iterations() * 87381);
}
BENCHMARK_CAPTURE(BM_CountColors, Random, &RandomPlacement)
    ->Arg(16)->Arg(1000)->Arg(60000)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CountColors, Grain, &Grain)->Arg(5)->Arg(19)->Unit(benchmark::kMillisecond);

// The reference design's counting of the same pixels: one tree search (and insertion) a pixel.
void BM_CountColorsReference(benchmark::State& state, PixelSource source) {
  const std::vector<std::uint8_t> pixels = source(87381, state.range(0), 7);
  tarnvick::testing::ColourTally tally;
  for (auto _ : state) {
    for (std::size_t i = 0; i < pixels.size(); i += 4) tally.Add(&pixels[i]);
    benchmark::DoNotOptimize(&tally);
  }
  state.SetItemsProcessed(state.iterations() * 87381);
}
BENCHMARK_CAPTURE(BM_CountColorsReference, Random, &RandomPlacement)
    ->Arg(16)->Arg(1000)->Arg(60000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CountColorsReference, Grain, &Grain)->Arg(5)->Arg(19)->Unit(benchmark::kMillisecond);

// A corpus of 64 M32 textures of 256 x 256 (full chains, 4096 colours each) in one directory.
class Corpus {
 public:
  Corpus() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnvick-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    for (std::uint32_t t = 0; t < 64; ++t) {
      tarnvick::samples::M32File file;
      const std::uint64_t total = tarnvick::samples::FullMipChain(256, 256, file.width.data(), file.height.data(), 16);
      file.pixels = Pixels(total, 4096, t);
      tarnvick::samples::WriteFile(root_ + "/t" + std::to_string(t) + ".m32", tarnvick::samples::EncodeM32(file));
    }
  }
  ~Corpus() { std::filesystem::remove_all(root_); }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

const Corpus& corpus() {
  static const Corpus instance;
  return instance;
}

void RunOn(benchmark::State& state, const std::vector<std::string>& options) {
  std::FILE* sink = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    std::vector<std::string> arguments = {"tarnvick", corpus().root()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    if (tarnvick::Run(static_cast<int>(argv.size()), argv.data(), sink, sink) != 0) std::abort();
  }
  std::fclose(sink);
  state.SetItemsProcessed(state.iterations() * 64);
}

// A default run: palette generated into the corpus folder, then every texture converted.
void BM_RunGenerate(benchmark::State& state) { RunOn(state, {"-o" + corpus().root() + "/palette.lmp"}); }
BENCHMARK(BM_RunGenerate)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
