#include "app/conversion_walk.h"

#include <memory>
#include <new>

#include "app/source_walk.h"
#include "convert/convert_texture.h"
#include "io/atomic_file.h"
#include "io/make_directories.h"
#include "io/read_file.h"
#include "texture/create_texture.h"

namespace tarnvick {
namespace {

// What converting one source gave: its error, and its preview tile when one is made.
struct Converted {
  ConversionError error;
  std::optional<Preview::Tile> tile;
};

// How every source of the run is converted.
struct Conversion {
  const ColorMatcher& matcher;
  const Palette& palette;
  bool transparent;
  bool measure;  // the quality figures
  bool tiles;    // preview tiles
};

// Where the WAL of a source goes, and the path messages name it by.
struct WalTarget {
  FileRef ref;
  std::string path;
  bool in_output_directory;
};

// Beside the source, or at the same place below the output folder as the source below the start.
WalTarget WalTargetFor(const SourceFile& source, const RunOptions& options) {
  if (!options.output_directory) return {{source.ref.directory, WalPathFor(source.ref.name)}, WalPathFor(source.path), false};
  std::string folder = *options.output_directory;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  // The walk names a source by the start directory, one '/' and its path below it.
  const std::string path = folder + "/" + WalPathFor(source.path.substr(options.start_directory.size() + 1));
  return {{AT_FDCWD, path}, path, true};
}

// Loads a source, converts it and writes its WAL.
Result<Converted> ConvertFile(const SourceFile& source, const WalTarget& target, const Conversion& conversion) {
  const Result<std::unique_ptr<Texture>> texture = CreateTexture(source.ref);
  if (!texture) return Failure{texture.error()};
  Result<WalTexture> wal = ConvertTexture(**texture, conversion.matcher, conversion.transparent);
  if (!wal) return Failure{wal.error()};
  const auto header = wal->EncodeHeader();
  if (!header) return Failure{header.error()};
  if (target.in_output_directory) {
    if (Result<void> made = MakeDirectories(DirectoryPart(target.ref.name)); !made) return Failure{made.error()};
  }
  // A WAL that already holds exactly these bytes (made by an earlier run) is left as it is.
  if (!HoldsExactly(target.ref, {*header, wal->LevelData()})) {
    const Result<void> written = WriteFileAtomically(target.ref, {*header, wal->LevelData()}, LinkPolicy::kReplaceLink);
    if (!written) return Failure{written.error()};
  }
  Converted converted;
  if (conversion.tiles) {
    converted.tile = Preview::MakeTile(**texture, *wal, conversion.palette, conversion.transparent);
    converted.error = converted.tile->error;
  } else if (conversion.measure) {
    converted.error = MeasureError(**texture, *wal, conversion.palette, conversion.transparent);
  }
  return converted;
}

}  // namespace

ConversionReport ConvertSources(const RunOptions& options, const Palette& palette, bool measure, Console& console) {
  ConversionReport report;
  if (options.preview_path) report.preview.emplace();
  // With transparency, no opaque pixel may take the transparent entry.
  const ColorMatcher matcher(options.transparent ? WithoutTransparentEntry(palette) : palette);
  const Conversion conversion{matcher, palette, options.transparent, measure, report.preview.has_value()};
  // The output folder is made first, so that the walk knows it and never enters it.
  if (options.output_directory) (void)MakeDirectories(*options.output_directory);
  WalkSources(
      options, console,
      [&](const SourceFile& source) {
        auto converted = std::make_shared<Result<Converted>>(Converted{});
        auto target = std::make_shared<const WalTarget>(WalTargetFor(source, options));
        return FileJob{[&, source, converted, target](int) {
                         // Memory that runs out anywhere in one texture skips that texture alone.
                         try {
                           *converted = ConvertFile(source, *target, conversion);
                         } catch (const std::bad_alloc&) {
                           *converted = Fail(ErrorKind::kOutOfMemory);
                         }
                       },
                       [&, converted, target, path = source.path] {
                         if (!*converted) {
                           ++report.skipped;
                           const Error& error = converted->error();
                           report.incomplete = report.incomplete || error.kind == ErrorKind::kCannotWrite ||
                                               IsResourceFailure(error);
                           console.Problem("skipped " + path + ": " + Describe(error, target->path));
                           return;
                         }
                         ++report.converted;
                         const ConversionError& error = (*converted)->error;
                         report.total.squared += error.squared;
                         report.total.values += error.values;
                         if (report.converted == 1 || LargerMeanError(error, report.worst)) {
                           report.worst = error;
                           report.worst_path = path;
                         }
                         if ((*converted)->tile) report.preview->Offer(std::move(*(*converted)->tile));
                       }};
      },
      // Sources that make the same WAL (a.m32 and a.m8) write it in walk order: the later wins.
      [](const SourceFile& source) { return WalPathFor(source.ref.name); }, "converting");
  return report;
}

}  // namespace tarnvick
