#include "app/conversion_walk.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_set>

#include "app/pak_output.h"
#include "app/run_files.h"
#include "app/source_walk.h"
#include "convert/texture_files.h"
#include "io/atomic_file.h"
#include "io/make_directories.h"
#include "io/read_file.h"
#include "io/same_file.h"
#include "texture/create_texture.h"
#include "texture/pak_format.h"
#include "texture/picture_name.h"
#include "io/system.h"

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
  // For the archive the run writes: the WAL and its picture, to be stored when their turn comes.
  std::optional<TextureFiles> files;
};

// The WALs written so far in this run, by the key of their path: sources that make the same WAL
// (a.m32, a.m8; a loose file and an archive's entry) may stand far apart in walk order.
class WalsMade {
 public:
  // Notes the WAL of key `key` (WalKey); false when an earlier source of this run made it.
  bool Note(const std::string& key) { return made_.insert(key).second; }

 private:
  std::unordered_set<std::string> made_;
};

// The pictures this run wrote beside their WALs, by the key of the WAL (WalKey): when a later
// source makes the same WAL but no picture, the earlier source's picture is taken away, so that a
// WAL and its picture always come from one source. Sources of one key are worked on one after the
// other, so each sees what the one before it did.
class PicturesMade {
 public:
  void Note(const std::string& key) {
    std::lock_guard lock(mutex_);
    made_.insert(key);
  }
  // Whether the picture of `key` was made by an earlier source; it is no longer noted.
  bool Take(const std::string& key) {
    std::lock_guard lock(mutex_);
    return made_.erase(key) > 0;
  }

 private:
  std::mutex mutex_;
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
  // The files the run reads or writes besides its WALs and pictures (the palette, its archive, a
  // start archive, the preview, the report, the archive written), which none may replace.
  std::vector<std::string> run_files;
  PicturesMade& pictures_made;
  bool remake_mips;            // M8 and M32 levels 1 to 3 made from level 0
  std::string current_folder;  // what a relative path is below, for a picture's name
  std::size_t start_size;      // the length of the start directory's path
};

// The name field of the WAL of the picture `source`: its path below the last folder named
// textures, or its path below the start directory (an archive's entry: its name, below the last
// textures folder in it or whole).
std::vector<std::uint8_t> PictureNameField(const SourceFile& source, const Conversion& conversion) {
  std::string name;
  if (source.part) {
    name = PictureWalName(source.ref.name, source.ref.name);
  } else {
    const std::string& path = source.path;
    const std::string full = IsAbsolutePath(path) || conversion.current_folder.empty()
                                 ? path
                                 : conversion.current_folder + kSeparator + path;
    name = PictureWalName(full, path.substr(std::min(path.size(), conversion.start_size + 1)));
  }
  std::vector<std::uint8_t> field(32, 0);  // the name field, zero-filled
  std::copy(name.begin(), name.end(), field.begin());
  return field;
}

// The folder that the WALs of one source folder go into, below the folder they belong in (for an
// archive's entries, the archive's folder; with an output folder, that one): entered, and made
// where missing, by the first of them to be written, from the open handle of the folder above.
class OutputFolder {
 public:
  OutputFolder(Result<std::shared_ptr<const ScopedFile>> root, std::string below)
      : root_(std::move(root)), below_(std::move(below)) {}

  const Result<std::shared_ptr<const ScopedFile>>& Entered() {
    std::call_once(entered_once_, [this] { entered_.emplace(root_ ? EnterFolders(*root_, below_) : root_); });
    return *entered_;
  }

 private:
  const Result<std::shared_ptr<const ScopedFile>> root_;
  const std::string below_;
  std::once_flag entered_once_;
  std::optional<Result<std::shared_ptr<const ScopedFile>>> entered_;
};

// Where the WAL of a source goes, and the path messages name it by: beside the source, or, with
// `folder`, by the name `ref.name` in that folder, or, with `entry`, as that entry of the archive
// the run writes.
struct WalTarget {
  FileRef ref;
  std::string path;
  std::shared_ptr<OutputFolder> folder;
  std::string entry;
};

// `path` with the separator of this system for each '/'.
std::string Shown(std::string path) {
  if (kSeparator != '/') std::replace(path.begin(), path.end(), '/', kSeparator);
  return path;
}

// The output folder as given, without trailing separators.
std::string OutputRoot(const RunOptions& options) {
  std::string root = *options.output_directory;
  while (root.size() > 1 && IsSeparator(root.back())) root.pop_back();
  return root;
}

// The name of the WAL of `source` in the archive the run writes: its path below the start
// directory as an output folder would place it, '/' between folders.
std::string EntryName(const SourceFile& source) {
  std::string name = (source.relative_folder.empty() ? "" : source.relative_folder + "/") + WalPathFor(source.ref.name);
  // An archive reads '\\' as '/' on every system.
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

// The path messages name the WAL of `source` by: in the folder it belongs in, at the same place
// below the output folder, or as the entry of the archive the run writes.
std::string WalPathShown(const SourceFile& source, const RunOptions& options) {
  if (options.output_pak) return *options.output_pak + kSeparator + Shown(EntryName(source));
  const std::string wal = Shown(WalPathFor(source.ref.name));
  if (!options.output_directory) return source.folder + kSeparator + wal;
  const std::string& below = source.relative_folder;
  return OutputRoot(options) + kSeparator + (below.empty() ? wal : below + kSeparator + wal);
}

// What tells the WALs of a run apart: their paths as the file system takes them, or the names of
// the archive's entries as Quake 2 takes them, without regard to ASCII case (so that the archive
// is the same on every system).
std::string WalKey(const SourceFile& source, const RunOptions& options) {
  return options.output_pak ? EntryNameKey(EntryName(source)) : PathKey(WalPathShown(source, options));
}

// The targets of a run's WALs, with one folder object for each run of sources into one folder.
class OutputFolders {
 public:
  explicit OutputFolders(const RunOptions& options)
      : options_(options),
        root_(options.output_directory ? OpenFolder(*options.output_directory)
                                       : Result<std::shared_ptr<const ScopedFile>>(nullptr)) {}

  WalTarget For(const SourceFile& source) {
    const std::string wal = WalPathFor(source.ref.name);
    const std::string path = WalPathShown(source, options_);
    if (options_.output_pak) return {{}, path, nullptr, EntryName(source)};
    const std::size_t name_at = wal.rfind('/') + 1;  // 0 when the name has no folder part
    if (!options_.output_directory && name_at == 0) return {{source.ref.directory, wal}, path, nullptr, {}};
    std::string below = wal.substr(0, name_at);
    if (options_.output_directory && !source.relative_folder.empty()) below = source.relative_folder + "/" + below;
    const ScopedFile* root = options_.output_directory ? nullptr : source.directory.get();
    if (!folder_ || below != below_ || root != root_of_folder_) {
      below_ = below;
      root_of_folder_ = root;
      folder_ = std::make_shared<OutputFolder>(options_.output_directory ? root_ : source.directory, below);
    }
    return {{kWorkingDirectory, wal.substr(name_at)}, path, folder_, {}};
  }

 private:
  const RunOptions& options_;
  const Result<std::shared_ptr<const ScopedFile>> root_;
  std::string below_;
  const ScopedFile* root_of_folder_ = nullptr;
  std::shared_ptr<OutputFolder> folder_;
};

// Why the WAL of `target` cannot be an entry of the archive the run writes: its name is longer
// than the field holds, or one the archive's readers refuse; empty when it can be (or is a file).
std::string EntryNameProblem(const WalTarget& target) {
  if (target.entry.empty()) return {};
  if (target.entry.size() >= kPakNameField) return "its name is too long for an archive entry (over 55 bytes)";
  if (!IsSafeEntryName({target.entry, true})) return "its name cannot be an archive entry";
  return {};
}

// Whether `path` is one of the run's own files that no WAL or picture may replace.
bool IsRunFile(const std::string& path, const Conversion& conversion) {
  return std::any_of(conversion.run_files.begin(), conversion.run_files.end(),
                     [&](const std::string& file) { return SameFile(path, file); });
}

Failure RunFileInTheWay() { return Fail(ErrorKind::kCannotWrite, "it is an input or another output of this run"); }

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
  if (IsRunFile(path, conversion)) return RunFileInTheWay();
  return WriteUnlessHeld(ref, {*picture});
}

// Loads a source, converts it and writes its WAL, and its picture when one is asked for (or keeps
// them for the archive the run writes).
Result<Converted> ConvertFile(const SourceFile& source, WalTarget target, const std::string& key,
                              const Conversion& conversion) {
  if (source.refusal) return Failure{*source.refusal};
  if (const std::string problem = EntryNameProblem(target); !problem.empty()) return Fail(ErrorKind::kBadEntry, problem);
  if (target.entry.empty() && IsRunFile(target.path, conversion)) return RunFileInTheWay();
  const Result<std::optional<WalMetadata>> metadata = LoadMetadata(source);
  if (!metadata) return Failure{metadata.error()};
  const Result<std::unique_ptr<Texture>> texture =
      LoadSource(source, conversion.recipe.transparent, conversion.remake_mips);
  if (!texture) return Failure{texture.error()};
  const bool picture_source = IsPictureType((*texture)->type);
  if (picture_source) (*texture)->name = PictureNameField(source, conversion);
  Converted converted;
  Result<TextureFiles> files = MakeTextureFiles(**texture, conversion.recipe, *metadata ? &**metadata : nullptr);
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
  // A target without an entry is a file.
  if (target.entry.empty()) {
    const Result<void> written = WriteUnlessHeld(target.ref, {files->wal_header, wal.LevelData()});
    if (!written) return Failure{written.error()};
    const PictureForm form = conversion.recipe.picture;
    // A picture whose true-colour picture would be itself already is that picture.
    if (form != PictureForm::kNone &&
        !(picture_source && !source.part && SameFile(PicturePathFor(target.path, form), source.path))) {
      const FileRef picture{target.ref.directory, PicturePathFor(target.ref.name, form)};
      converted.picture = WritePicture(files->picture, picture, PicturePathFor(target.path, form), conversion);
      // The picture an earlier source made beside this WAL is not this WAL's.
      const bool earlier = conversion.pictures_made.Take(key);
      if (converted.picture) {
        conversion.pictures_made.Note(key);
      } else if (earlier) {
        (void)RemoveWrittenFile(picture);
      }
    }
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
  if (!target.entry.empty()) converted.files = std::move(*files);
  return converted;
}


// Stores the WAL of a converted source, and its picture, in the archive the run writes; false
// (told) when the entry's name would make a file and a folder of one name there.
bool StoreInArchive(Converted& converted, const WalTarget& target, const std::string& path, const RunOptions& options,
                    PakOutput& pak, ConversionReport& report, Console& console) {
  const TextureFiles& files = *converted.files;
  const PictureForm form = options.true_colour;
  const std::string picture = form == PictureForm::kNone ? "" : PicturePathFor(target.entry, form);
  if (pak.FileAndFolder(target.entry) || (!picture.empty() && files.picture && pak.FileAndFolder(picture))) {
    ++report.skipped;
    report.incomplete = true;
    console.Problem("skipped " + path + ": a file and a folder of one name in the archive");
    return false;
  }
  const bool gave_way = pak.Add(target.entry, {files.wal_header, files.wal.LevelData()});
  if (gave_way) console.Problem("two sources make " + target.path + "; kept the one from " + path);
  // The picture, an entry beside the WAL's; the picture of the source given way to is not this WAL's.
  if (!picture.empty()) {
    if (files.picture) {
      pak.Add(picture, {*files.picture});
    } else {
      converted.picture = Failure{files.picture.error()};
      if (gave_way) pak.Remove(picture);
    }
  }
  return true;
}

}  // namespace

ConversionReport ConvertSources(const RunOptions& options, const Palette& palette, bool measure, Console& console) {
  ConversionReport report;
  if (options.preview_path) report.preview.emplace();
  if (options.report_path) report.table.emplace(options.dither != Dither::kNone);
  measure = measure || report.table.has_value();
  // With transparency, no opaque pixel may take the transparent entry.
  const ColorMatcher matcher(options.transparent ? WithoutTransparentEntry(palette) : palette);
  // Each colour's entry found once, when it is first met, in a table the threads share.
  // Dithering, whose goals are new colours at each pixel, and a run without the memory for the
  // table search each pixel.
  const std::optional<NearestTable> nearest = [&]() -> std::optional<NearestTable> {
    if (options.dither != Dither::kNone) return std::nullopt;
    Result<NearestTable> empty = NearestTable::Empty(matcher);
    if (!empty) return std::nullopt;
    return std::move(*empty);
  }();
  PicturesMade pictures_made;
  Conversion conversion{{matcher, options.transparent, options.dither, options.quake2_flags, options.true_colour,
                         nearest ? &*nearest : nullptr},
                        palette,
                        measure,
                        report.preview.has_value(),
                        RunFiles(options),
                        pictures_made,
                        options.remake_mips,
                        options.pictures ? CurrentFolder() : std::string(),
                        options.start_directory.size()};
  OutputFolders output_folders(options);
  WalsMade wals_made;
  std::unique_ptr<PakOutput> pak;
  if (options.output_pak) {
    Result<std::unique_ptr<PakOutput>> begun = PakOutput::Begin(*options.output_pak);
    if (!begun) {
      console.Problem("cannot write archive: " + *options.output_pak + ": " + begun.error().detail);
      report.incomplete = true;
    } else {
      pak = std::move(*begun);
    }
  }
  WalkSources(
      options, console,
      [&](const SourceFile& source) {
        auto converted = std::make_shared<Result<Converted>>(Converted{});
        auto target = std::make_shared<const WalTarget>(output_folders.For(source));
        const std::string key = WalKey(source, options);
        return FileJob{[&, source, converted, target, key](int) -> std::uint64_t {
                         // Memory that runs out anywhere in one texture skips that texture alone.
                         *converted = CatchOutOfMemory([&] { return ConvertFile(source, *target, key, conversion); });
                         // What waits for its turn to be stored in the archive.
                         const std::optional<TextureFiles>* files = *converted ? &(*converted)->files : nullptr;
                         if (files == nullptr || !*files) return 0;
                         return (*files)->wal.pixels.size() + ((*files)->picture ? (*files)->picture->size() : 0);
                       },
                       [&, converted, target, path = source.path, key] {
                         if (!*converted) {
                           ++report.skipped;
                           const Error& error = converted->error();
                           report.incomplete = report.incomplete || error.kind == ErrorKind::kCannotWrite ||
                                               IsResourceFailure(error) || !EntryNameProblem(*target).empty();
                           console.Problem("skipped " + path + ": " + Describe(error, target->path));
                           return;
                         }
                         if (std::optional<TextureFiles>& files = (*converted)->files; files && pak) {
                           const bool stored = StoreInArchive(**converted, *target, path, options, *pak, report, console);
                           files.reset();
                           if (!stored) return;
                         } else if (!wals_made.Note(key)) {
                           console.Problem("two sources make " + target->path + "; kept the one from " + path);
                         }
                         ++report.converted;
                         TellCuts((*converted)->cuts, path, console);
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
      [&options](const SourceFile& source) { return WalKey(source, options); }, "converting");
  if (pak) {
    if (!pak->Failed() && pak->Entries() == 0) {
      // Nothing to store: an archive already at the path is not replaced by an empty one.
      console.Problem("no WAL was made; " + *options.output_pak + " is left as it was");
    } else if (const Result<void> finished = pak->Finish(); !finished) {
      console.Problem("cannot write archive: " + *options.output_pak + ": " + finished.error().detail);
      report.incomplete = true;
    } else if (pak->Entries() > kQuake2MostEntries) {
      console.Problem(*options.output_pak + " holds " + std::to_string(pak->Entries()) + " entries, more than the " +
                      std::to_string(kQuake2MostEntries) + " Quake 2 reads from one archive");
    }
  }
  if (report.converted + report.skipped == 0) {
    const bool hint = !options.recurse && HasSubdirectory(options.start_directory);
    console.Problem("no M8 or M32 textures found in " + options.start_directory +
                    (hint ? " (subfolders are searched with -s)" : ""));
  }
  return report;
}

}  // namespace tarnvick
