#include "app/conversion_walk.h"

#include <memory>
#include <mutex>
#include <unordered_set>

#include "app/source_walk.h"
#include "convert/texture_files.h"
#include "io/atomic_file.h"
#include "io/make_directories.h"
#include "io/read_file.h"
#include "io/same_file.h"
#include "texture/create_texture.h"

namespace tarnvick {
namespace {

// What converting one source gave: its error, size and cut names, its preview tile when one is
// made, and whether its picture was written.
struct Converted {
  ConversionError error;
  std::uint32_t width = 0, height = 0;
  NameCuts cuts;
  std::optional<Preview::Tile> tile;
  Result<void> picture;
};

// The WALs written so far in the directory being converted: sources that make the same WAL
// (a.m32, a.m8) always stand in one directory, and the files of a directory come one after the
// other.
class WalsMade {
 public:
  // Notes the WAL of the source at `path`; false when an earlier source of this run made it (the
  // same path, or one the file system takes for it).
  bool Note(const std::string& path, const std::string& wal_path) {
    const std::string directory = DirectoryPart(path);
    if (directory != directory_) {
      directory_ = directory;
      made_.clear();
    }
    return made_.insert(PathKey(wal_path)).second;
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

// How every source of the run is converted.
struct Conversion {
  FileRecipe recipe;
  const Palette& palette;
  bool measure;  // the quality figures
  bool tiles;    // preview tiles
  std::vector<std::string> run_files;  // the palette, preview and report, which no picture may replace
};

// The folder below the output folder that the WALs of one source directory go into: entered, and
// made where missing, by the first of them to be written, from the output folder's handle.
class OutputFolder {
 public:
  OutputFolder(const Result<std::shared_ptr<const ScopedFile>>& root, std::string below)
      : root_(root), below_(std::move(below)) {}

  const Result<std::shared_ptr<const ScopedFile>>& Entered() {
    std::call_once(entered_once_, [this] { entered_.emplace(root_ ? EnterFolders(*root_, below_) : root_); });
    return *entered_;
  }

 private:
  const Result<std::shared_ptr<const ScopedFile>>& root_;
  const std::string below_;
  std::once_flag entered_once_;
  std::optional<Result<std::shared_ptr<const ScopedFile>>> entered_;
};

// Where the WAL of a source goes, and the path messages name it by: beside the source, or, with
// `folder`, by the name `ref.name` in that folder.
struct WalTarget {
  FileRef ref;
  std::string path;
  std::shared_ptr<OutputFolder> folder;
};

// The output folders of a run: one a source directory, made in walk order.
class OutputFolders {
 public:
  explicit OutputFolders(const RunOptions& options)
      : options_(options),
        root_(options.output_directory ? OpenFolder(*options.output_directory) : Result<std::shared_ptr<const ScopedFile>>(nullptr)) {}

  // Beside the source, or at the same place below the output folder as the source below the start.
  WalTarget For(const SourceFile& source) {
    if (!options_.output_directory) return {{source.ref.directory, WalPathFor(source.ref.name)}, WalPathFor(source.path), nullptr};
    std::string root = *options_.output_directory;
    while (root.size() > 1 && IsSeparator(root.back())) root.pop_back();
    // The walk names a source by the start directory, one separator and its path below it.
    const std::string below = WalPathFor(source.path.substr(options_.start_directory.size() + 1));
    const std::size_t name_at = below.size() - WalPathFor(source.ref.name).size();
    const std::string directory = below.substr(0, name_at);
    if (!folder_ || directory != directory_) {
      directory_ = directory;
      folder_ = std::make_shared<OutputFolder>(root_, directory);
    }
    return {{kWorkingDirectory, below.substr(name_at)}, root + kSeparator + below, folder_};
  }

 private:
  const RunOptions& options_;
  const Result<std::shared_ptr<const ScopedFile>> root_;
  std::string directory_;
  std::shared_ptr<OutputFolder> folder_;
};

// Writes `chunks` as the whole content of `target`, unless it already holds exactly them (made by
// an earlier run): then it is left as it is.
Result<void> WriteUnlessHeld(const FileRef& target, std::initializer_list<std::span<const std::uint8_t>> chunks) {
  if (HoldsExactly(target, chunks)) return {};
  return WriteFileAtomically(target, chunks, LinkPolicy::kReplaceLink);
}

// Writes the picture of a source at `ref`, `path` as messages name it, unless that is a file the
// run reads or writes besides.
Result<void> WritePicture(const Result<std::vector<std::uint8_t>>& picture, const FileRef& ref, const std::string& path,
                          const Conversion& conversion) {
  if (!picture) return Failure{picture.error()};
  for (const std::string& file : conversion.run_files) {
    if (SameFile(path, file)) return Fail(ErrorKind::kCannotWrite, "it is an input or another output of this run");
  }
  return WriteUnlessHeld(ref, {*picture});
}

// Loads a source, converts it and writes its WAL, and its picture when one is asked for.
Result<Converted> ConvertFile(const SourceFile& source, WalTarget target, const Conversion& conversion) {
  const Result<std::unique_ptr<Texture>> texture = CreateTexture(source.ref);
  if (!texture) return Failure{texture.error()};
  Converted converted;
  const Result<TextureFiles> files = MakeTextureFiles(**texture, conversion.recipe);
  if (!files) return Failure{files.error()};
  const WalTexture& wal = files->wal;
  converted.cuts = files->cuts;
  std::shared_ptr<const ScopedFile> folder;  // held while the WAL is written into it
  if (target.folder) {
    const Result<std::shared_ptr<const ScopedFile>>& entered = target.folder->Entered();
    if (!entered) return Failure{entered.error()};
    folder = *entered;
    target.ref.directory = folder->get();
  }
  const Result<void> written = WriteUnlessHeld(target.ref, {files->wal_header, wal.LevelData()});
  if (!written) return Failure{written.error()};
  if (const PictureForm form = conversion.recipe.picture; form != PictureForm::kNone) {
    converted.picture = WritePicture(files->picture, {target.ref.directory, PicturePathFor(target.ref.name, form)},
                                     PicturePathFor(target.path, form), conversion);
  }
  converted.width = wal.width;
  converted.height = wal.height;
  if (conversion.tiles) {
    converted.tile = Preview::MakeTile(**texture, wal, conversion.palette, conversion.recipe.transparent);
    converted.error = converted.tile->error;
  } else if (conversion.measure) {
    converted.error = MeasureError(**texture, wal, conversion.palette, conversion.recipe.transparent);
  }
  if ((conversion.tiles || conversion.measure) && conversion.recipe.dither != Dither::kNone) {
    converted.error.blurred = MeasureBlurredError(**texture, wal, conversion.palette, conversion.recipe.transparent);
  }
  return converted;
}

}  // namespace

ConversionReport ConvertSources(const RunOptions& options, const Palette& palette, bool measure, Console& console) {
  ConversionReport report;
  if (options.preview_path) report.preview.emplace();
  if (options.report_path) report.table.emplace(options.dither != Dither::kNone);
  measure = measure || report.table.has_value();
  // With transparency, no opaque pixel may take the transparent entry.
  const ColorMatcher matcher(options.transparent ? WithoutTransparentEntry(palette) : palette);
  Conversion conversion{{matcher, options.transparent, options.dither, options.quake2_flags, options.true_colour},
                        palette, measure, report.preview.has_value(), {options.palette_path}};
  for (const auto& path : {options.preview_path, options.report_path}) {
    if (path) conversion.run_files.push_back(*path);
  }
  OutputFolders output_folders(options);
  WalsMade wals_made;
  WalkSources(
      options, console,
      [&](const SourceFile& source) {
        auto converted = std::make_shared<Result<Converted>>(Converted{});
        auto target = std::make_shared<const WalTarget>(output_folders.For(source));
        return FileJob{[&, source, converted, target](int) {
                         // Memory that runs out anywhere in one texture skips that texture alone.
                         *converted = CatchOutOfMemory([&] { return ConvertFile(source, *target, conversion); });
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
                         TellCuts((*converted)->cuts, path, console);
                         if (!wals_made.Note(path, target->path)) {
                           console.Problem("two sources make " + target->path + "; kept the one from " + path);
                         }
                         if (const Result<void>& picture = (*converted)->picture; !picture) {
                           report.incomplete = true;
                           console.Problem("cannot write " + PicturePathFor(target->path, options.true_colour) + ": " +
                                           Reason(picture.error()));
                         }
                         const ConversionError& error = (*converted)->error;
                         if (report.table) report.table->Add(path, (*converted)->width, (*converted)->height, error);
                         report.total.squared += error.squared;
                         report.total.values += error.values;
                         report.total.blurred += error.blurred;
                         if (report.converted == 1 || LargerMeanError(error, report.worst)) {
                           report.worst = error;
                           report.worst_path = path;
                         }
                         if (report.converted == 1 || LargerBlurredError(error, report.blurred_worst)) {
                           report.blurred_worst = error;
                           report.blurred_worst_path = path;
                         }
                         if ((*converted)->tile) {
                           (*converted)->tile->label = path.substr(options.start_directory.size() + 1);
                           report.preview->Offer(std::move(*(*converted)->tile));
                         }
                       }};
      },
      // Sources that make the same WAL (a.m32 and a.m8) write it in walk order: the later wins.
      [](const SourceFile& source) { return PathKey(WalPathFor(source.ref.name)); }, "converting");
  if (report.converted + report.skipped == 0) {
    const bool hint = !options.recurse && HasSubdirectory(options.start_directory);
    console.Problem("no M8 or M32 textures found in " + options.start_directory +
                    (hint ? " (subfolders are searched with -s)" : ""));
  }
  return report;
}

}  // namespace tarnvick
