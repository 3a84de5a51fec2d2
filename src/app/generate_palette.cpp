#include "app/generate_palette.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "app/source_walk.h"
#include "palette/count_colors.h"
#include "palette/median_cut.h"
#include "palette/palette_file.h"
#include "palette/select_palette.h"
#include "texture/create_texture.h"

namespace tarnvick {
namespace {

// A histogram for each counting thread (no more than there are processors: each takes 32 MiB
// once it counts), added together at the end. Counts do not depend on the order of adding.
class Histograms {
 public:
  explicit Histograms(int jobs) : locks_(static_cast<std::size_t>(std::max(1, std::min(jobs, ProcessorsAvailable())))) {
    for (std::size_t i = 0; i < locks_.size(); ++i) tables_.push_back(std::make_unique<ColorHistogram>());
  }

  Result<void> Count(const Texture& texture, int worker, bool opaque_only) {
    const std::size_t table = static_cast<std::size_t>(worker) % tables_.size();
    std::lock_guard lock(locks_[table]);
    return CountColors(texture, *tables_[table], opaque_only);
  }

  // Everything counted, in one histogram; the others are freed.
  Result<const ColorHistogram*> Total() {
    if (Result<void> reserved = tables_.front()->Reserve(); !reserved) return Failure{reserved.error()};
    for (std::size_t i = 1; i < tables_.size(); ++i) tables_.front()->Merge(*tables_[i]);
    tables_.resize(1);
    return tables_.front().get();
  }

 private:
  std::vector<std::mutex> locks_;
  std::vector<std::unique_ptr<ColorHistogram>> tables_;
};

// The palette of the counted colours by `options`' method. With transparency, the last entry is
// kept for it (black), and the rest fit the opaque colours.
Palette ChoosePalette(const RunOptions& options, const ColorHistogram& histogram) {
  const std::size_t entries = options.transparent ? kTransparentIndex : kPaletteEntries;
  if (options.palette_method == PaletteMethod::kMedianCut) return MedianCutPalette(histogram, Refinement::kFull, entries);
  return PopularityPalette(histogram, entries);
}

}  // namespace

Result<Palette> GeneratePalette(const RunOptions& options, Console& console) {
  console.Progress("generating optimal palette...");
  console.Progress("\n\tgathering palette data...");
  Histograms histograms(options.jobs);
  Result<void> counted;
  WalkSources(options, console, [&](const SourceFile& file) {
    auto failure = std::make_shared<Result<void>>();
    return FileJob{
        [&histograms, &options, file, failure](int worker) -> std::uint64_t {
          *failure = CatchOutOfMemory([&] {
            const Result<std::unique_ptr<Texture>> texture = LoadSource(file, options.transparent, false);
            return texture ? histograms.Count(**texture, worker, options.transparent)
                           : Result<void>(Failure{texture.error()});
          });
          return 0;  // nothing waits for the commit but the outcome
        },
        [&counted, failure, path = file.path] {
          // A file that does not load counts nothing (the conversion walk tells why), unless the
          // run itself lacked what it takes to read it: then the palette cannot be made.
          if (*failure || !counted || !IsResourceFailure(failure->error())) return;
          const Error& error = failure->error();
          counted = error.kind == ErrorKind::kOutOfMemory
                        ? Fail(ErrorKind::kOutOfMemory, path)
                        : Fail(ErrorKind::kCannotCount, path + " while counting colours: " + error.detail);
        }};
  }, {}, "counting colours");
  console.Progress("\n\tprocessing palette data...");
  if (!counted) return Failure{counted.error()};
  const Result<const ColorHistogram*> histogram = histograms.Total();
  if (!histogram) return Failure{histogram.error()};
  // With no colour counted the palette would be all black: an existing file is worth more.
  const bool nothing_counted = (*histogram)->DistinctColors() == 0;
  const Result<Palette> palette =
      nothing_counted ? Result<Palette>(Palette{})
                      : CatchOutOfMemory([&] { return Result<Palette>(ChoosePalette(options, **histogram)); });
  if (!palette) return palette;
  console.Progress("\n\twriting palette data...");
  if (nothing_counted) {
    console.Problem("no colours counted, the palette file is not written: " + options.palette_path);
  } else if (const Result<void> saved =
                 CatchOutOfMemory([&] { return SavePalette({kWorkingDirectory, options.palette_path}, *palette); },
                                  FailErrno(ErrorKind::kCannotWrite, ENOMEM));
             !saved) {
    console.Progress("\n\n");
    return Failure{saved.error()};
  }
  console.Progress("\n\n");
  return palette;
}

}  // namespace tarnvick
