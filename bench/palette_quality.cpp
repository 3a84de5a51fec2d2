// The quality benchmark: for the sample library and a benchmark library of the size asked, the
// library PSNR and the worst texture's PSNR (level 0, RGB, as the program's summary prints them)
// of each palette method, beside the median cut without its k-means passes, a plain median cut
// refined by eight k-means passes over a 200,000-pixel sample of the same library, and the
// figures of a general-purpose quantiser's shared palette (the target). Then, for both libraries
// and a palette of 16 ramps of 16 shades, the plain and blurred PSNR and the seam figure of no
// dithering, --dither and --dither=diffusion (each texture converted in this process, by the
// program's own conversion).
// Usage: tarnvick_quality [MEGABYTES] [PROGRAM]   (default 200 MB, the tarnvick built beside it)
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_library.h"
#include "child_process.h"
#include "sample_library.h"
#include "sampled_median_cut.h"
#include "convert/conversion_error.h"
#include "convert/convert_texture.h"
#include "support/library_textures.h"
#include "support/ramp_palette.h"
#include "support/seam_figure.h"

namespace {

namespace fs = std::filesystem;
using tarnvick::bench::InChild;
using tarnvick::bench::Spawn;

// "X.XX dB, worst Y.YY dB" from the program's summary, or why there is none.
std::string SummaryFigures(const std::string& stderr_path) {
  std::ifstream in(stderr_path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string err = text.str();
  const std::string marker = "palette PSNR ";
  const std::size_t at = err.find(marker);
  if (at == std::string::npos) return "(no summary)";
  const std::size_t end = err.find(':', at);
  return err.substr(at + marker.size(), end - at - marker.size());
}

// Runs the program on `library` with the palette options `mode` and returns its summary's figures.
std::string Quality(const std::string& program, const std::string& library, const std::vector<std::string>& mode,
                    const std::string& scratch) {
  const std::string err = scratch + "/stderr.txt";
  std::vector<std::string> arguments = {program, library, "-s", "-v"};
  arguments.insert(arguments.end(), mode.begin(), mode.end());
  if (!Spawn(arguments, err).ok) return "(run failed)";
  return SummaryFigures(err);
}

void Table(const std::string& name, const std::string& program, const std::string& library,
           const std::string& scratch, const char* target) {
  const std::string generated = scratch + "/generated.lmp";
  const std::string sampled = scratch + "/sampled.lmp";
  const std::string unrefined = scratch + "/unrefined.lmp";
  const auto save = [](const std::string& path, const tarnvick::Palette& palette) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(palette.data()), palette.size());
  };
  save(sampled, tarnvick::bench::SampledMedianCut(tarnvick::bench::SamplePixels(library, 200000), 8));
  save(unrefined, tarnvick::bench::UnrefinedMedianCut(library));
  std::printf("%s\n", name.c_str());
  std::printf("  %-58s %s\n", "popularity (the default)",
              Quality(program, library, {"-o" + generated}, scratch).c_str());
  std::printf("  %-58s %s\n", "median-cut",
              Quality(program, library, {"-o" + generated, "--palette-method=median-cut"}, scratch).c_str());
  std::printf("  %-58s %s\n", "median-cut without its k-means passes",
              Quality(program, library, {"-p" + unrefined}, scratch).c_str());
  std::printf("  %-58s %s\n", "median cut + 8 k-means passes, 200,000-pixel sample",
              Quality(program, library, {"-p" + sampled}, scratch).c_str());
  std::printf("  %-58s %s\n\n", "general-purpose quantiser, shared palette (target)", target);
}

// Level 0 of `texture`, and of `wal` through `palette`, as RGB.
std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> Level0Images(const tarnvick::Texture& texture,
                                                                             const tarnvick::WalTexture& wal,
                                                                             const tarnvick::Palette& palette) {
  const std::size_t pixels = wal.LevelSize(0);
  std::vector<std::uint8_t> source(3 * pixels), converted(3 * pixels);
  for (std::size_t i = 0; i < pixels; ++i) {
    std::copy_n(texture.Colour(i), 3, &source[3 * i]);
    std::copy_n(&palette[3 * std::size_t{wal.pixels[i]}], 3, &converted[3 * i]);
  }
  return {source, converted};
}

// The plain and blurred PSNR and the seam figure of the library at `root` converted against
// `palette` with `dither`.
std::string DitherFigures(const std::string& root, const tarnvick::Palette& palette, tarnvick::Dither dither) {
  const tarnvick::ColorMatcher matcher(palette);
  double squared = 0, blurred = 0, seams = 0, values = 0, pixels = 0;
  tarnvick::ForEachTexture(root, true, [&](const tarnvick::Texture& texture, const tarnvick::SourceFile&) {
    const tarnvick::Result<tarnvick::WalTexture> wal = tarnvick::ConvertTexture(texture, matcher, false, nullptr, dither);
    if (!wal) return;
    squared += static_cast<double>(tarnvick::MeasureError(texture, *wal, palette).squared);
    blurred += tarnvick::MeasureBlurredError(texture, *wal, palette);
    const auto [source, converted] = Level0Images(texture, *wal, palette);
    const double area = static_cast<double>(wal->LevelSize(0));
    seams += area * tarnvick::testing::SeamFigure(source, converted, wal->width, wal->height);
    values += 3 * area;
    pixels += area;
  });
  const auto psnr = [&](double sum) { return 10 * std::log10(255.0 * 255.0 * values / sum); };
  char text[96];
  std::snprintf(text, sizeof text, "%6.2f dB, blurred %6.2f dB, seam figure %5.3f", psnr(squared), psnr(blurred),
                seams / pixels);
  return text;
}

void DitherTable(const std::string& name, const std::string& library) {
  const tarnvick::Palette ramps = tarnvick::testing::RampPalette();
  std::printf("%s, 16 ramps of 16 shades\n", name.c_str());
  for (const auto& [label, dither] : {std::pair{"no dithering", tarnvick::Dither::kNone},
                                      {"--dither", tarnvick::Dither::kTiled},
                                      {"--dither=diffusion", tarnvick::Dither::kDiffusion}}) {
    std::printf("  %-22s %s\n", label, DitherFigures(library, ramps, dither).c_str());
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? static_cast<std::size_t>(std::atoi(argv[1])) : 200;
  const std::string program = argc > 2 ? argv[2] : TARNVICK_BINARY;
  const fs::path root = fs::temp_directory_path() / ("tarnvick-quality-" + std::to_string(::getpid()));
  const std::string samples = (root / "samples").string();
  const std::string library = (root / "library").string();
  if (!InChild([&] { return tarnvick::samples::WriteSampleLibrary(samples); }).ok ||
      !InChild([&] { return tarnvick::samples::WriteBenchLibrary(library, megabytes); }).ok) {
    std::fprintf(stderr, "cannot make the libraries below %s\n", root.c_str());
    return 1;
  }
  std::printf("library PSNR and worst texture's PSNR, level 0 in RGB\n\n");
  Table("sample library", program, samples, root.string(), "51.83 dB, worst 43.65 dB");
  Table("benchmark library, " + std::to_string(megabytes) + " MB", program, library, root.string(),
        "not measured here (30.92 dB, worst 24.88 dB on a realistic 44-texture library)");
  std::printf("dithering: PSNR, blurred PSNR and seam figure, level 0 in RGB\n\n");
  DitherTable("sample library", samples);
  DitherTable("benchmark library, " + std::to_string(megabytes) + " MB", library);
  fs::remove_all(root);
  return 0;
}
