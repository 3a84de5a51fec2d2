#include "app/conversion_walk.h"

#include <memory>
#include <new>
#include <unordered_set>

#include "app/source_walk.h"
#include "convert/convert_texture.h"
#include "io/atomic_file.h"
#include "io/read_file.h"
#include "texture/create_texture.h"

namespace tarnvick {
namespace {

// What converting one source gave: its error, size and cut names, and its preview tile when
// one is made.
struct Converted {
  ConversionError error;
  std::uint32_t width = 0, height = 0;
  NameCuts cuts;
  std::optional<Preview::Tile> tile;
};

// The WALs written so far in the directory being converted: sources that make the same WAL
// (a.m32, a.m8) always stand in one directory, and the files of a directory come one after the
// other.
class WalsMade {
 public:
  // Notes the WAL of the source at `path`; false when an earlier source of this run made it.
  bool Note(const std::string& path, const std::string& wal_path) {
    const std::string directory = path.substr(0, path.rfind('/'));
    if (directory != directory_) {
      directory_ = directory;
      made_.clear();
    }
    return made_.insert(wal_path).second;
  }

 private:
  std::string directory_;
  std::unordered_set<std::string> made_;
};

// The message of a converted source whose name fields were cut.
void TellCuts(const NameCuts& cuts, const std::string& path, Console& console) {
  if (cuts.name) console.Problem("name cut to 31 bytes: " + path);
  if (cuts.animation_name) console.Problem("animation name cut to 31 bytes: " + path);
}

// Loads a source, converts it and writes its WAL beside it.
Result<Converted> ConvertFile(const SourceFile& source, const ColorMatcher& matcher, const Palette& palette,
                              bool measure, bool tile) {
  const Result<std::unique_ptr<Texture>> texture = CreateTexture(source.ref);
  if (!texture) return Failure{texture.error()};
  Converted converted;
  Result<WalTexture> wal = ConvertTexture(**texture, matcher, &converted.cuts);
  if (!wal) return Failure{wal.error()};
  const auto header = wal->EncodeHeader();
  if (!header) return Failure{header.error()};
  const FileRef target{source.ref.directory, WalPathFor(source.ref.name)};
  // A WAL that already holds exactly these bytes (made by an earlier run) is left as it is.
  if (!HoldsExactly(target, {*header, wal->LevelData()})) {
    const Result<void> written = WriteFileAtomically(target, {*header, wal->LevelData()}, LinkPolicy::kReplaceLink);
    if (!written) return Failure{written.error()};
  }
  converted.width = wal->width;
  converted.height = wal->height;
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
  if (options.report_path) report.table.emplace();
  const bool tiles = report.preview.has_value();
  measure = measure || report.table.has_value();
  const ColorMatcher matcher(palette);
  WalsMade wals_made;
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
                           report.write_failed = report.write_failed || converted->error().kind == ErrorKind::kCannotWrite;
                           console.Problem("skipped " + path + ": " + Describe(converted->error(), WalPathFor(path)));
                           return;
                         }
                         ++report.converted;
                         TellCuts((*converted)->cuts, path, console);
                         if (!wals_made.Note(path, WalPathFor(path))) {
                           console.Problem("two sources make " + WalPathFor(path) + "; kept the one from " + path);
                         }
                         const ConversionError& error = (*converted)->error;
                         if (report.table) report.table->Add(path, (*converted)->width, (*converted)->height, error);
                         report.total.squared += error.squared;
                         report.total.values += error.values;
                         if (report.converted == 1 || LargerMeanError(error, report.worst)) {
                           report.worst = error;
                           report.worst_path = path;
                         }
                         if ((*converted)->tile) {
                           (*converted)->tile->label = path.substr(options.start_directory.size() + 1);
                           report.preview->Offer(std::move(*(*converted)->tile));
                         }
                       }};
      },
      // Sources that make the same WAL (a.m32 and a.m8) write it in walk order: the later wins.
      [](const SourceFile& source) { return WalPathFor(source.ref.name); }, "converting");
  if (report.converted + report.skipped == 0) {
    const bool hint = !options.recurse && HasSubdirectory(options.start_directory);
    console.Problem("no M8 or M32 textures found in " + options.start_directory +
                    (hint ? " (subfolders are searched with -s)" : ""));
  }
  return report;
}

}  // namespace tarnvick
