#include "app/conversion_walk.h"

#include <memory>
#include <new>

#include "app/source_walk.h"
#include "convert/convert_texture.h"
#include "io/atomic_file.h"
#include "io/read_file.h"
#include "texture/create_texture.h"

namespace tarnvick {
namespace {

// What converting one source gave: its error, and its preview tile when one is made.
struct Converted {
  ConversionError error;
  std::optional<Preview::Tile> tile;
};

// Loads a source, converts it and writes its WAL beside it.
Result<Converted> ConvertFile(const SourceFile& source, const ColorMatcher& matcher, const Palette& palette,
                              bool measure, bool tile) {
  const Result<std::unique_ptr<Texture>> texture = CreateTexture(source.ref);
  if (!texture) return Failure{texture.error()};
  Result<WalTexture> wal = ConvertTexture(**texture, matcher);
  if (!wal) return Failure{wal.error()};
  const auto header = wal->EncodeHeader();
  if (!header) return Failure{header.error()};
  const FileRef target{source.ref.directory, WalPathFor(source.ref.name)};
  // A WAL that already holds exactly these bytes (made by an earlier run) is left as it is.
  if (!HoldsExactly(target, {*header, wal->LevelData()})) {
    const Result<void> written = WriteFileAtomically(target, {*header, wal->LevelData()}, LinkPolicy::kReplaceLink);
    if (!written) return Failure{written.error()};
  }
  Converted converted;
  if (tile) {
    converted.tile = Preview::MakeTile(**texture, *wal, palette);
    converted.error = converted.tile->error;
  } else if (measure) {
    converted.error = MeasureError(**texture, *wal, palette);
  }
  return converted;
}

}  // namespace

ConversionReport ConvertSources(const RunOptions& options, const Palette& palette, bool measure, Console& console) {
  ConversionReport report;
  if (options.preview_path) report.preview.emplace();
  const bool tiles = report.preview.has_value();
  const ColorMatcher matcher(palette);
  WalkSources(
      options, console,
      [&](const SourceFile& source) {
        auto converted = std::make_shared<Result<Converted>>(Converted{});
        return FileJob{[&, source, converted](int) {
                         // Memory that runs out anywhere in one texture skips that texture alone.
                         try {
                           *converted = ConvertFile(source, matcher, palette, measure, tiles);
                         } catch (const std::bad_alloc&) {
                           *converted = Fail(ErrorKind::kOutOfMemory);
                         }
                       },
                       [&, converted, path = source.path] {
                         if (!*converted) {
                           ++report.skipped;
                           const Error& error = converted->error();
                           report.incomplete = report.incomplete || error.kind == ErrorKind::kCannotWrite ||
                                               IsResourceFailure(error);
                           console.Problem("skipped " + path + ": " + Describe(error, WalPathFor(path)));
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
