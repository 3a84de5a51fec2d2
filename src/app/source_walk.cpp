#include "app/source_walk.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <unordered_map>

#include "app/byte_budget.h"
#include "app/run_files.h"
#include "texture/pak_archive.h"
#include "io/open_files.h"
#include "convert/convert_texture.h"
#include "convert/made_levels.h"
#include "io/read_file.h"
#include "texture/create_texture.h"
#include "texture/picture_texture.h"

namespace tarnvick {

namespace {

// The largest .wal_json read: a few keys, with room for comments.
constexpr std::uint64_t kMostMetadataBytes = 1 << 20;

// Bytes of sources worked on at once, and of the outputs that wait for their commits: a run then
// needs about twice its largest source beside what it always holds, whatever the number of threads.
constexpr std::uint64_t kSourceBytesInFlight = 64u << 20;

// The threads and the directories the walk keeps open, fitted to the descriptors the process may
// hold so that none runs out: besides the standard streams and the walk's own (a directory being
// opened and one being listed, an archive being listed, and the output folder), each thread holds
// at most one file at a time, and each item waiting to be committed (4 a thread, and 16) may hold
// its directory (or its archive) and the folder its WAL goes into.
struct Fit {
  int jobs;
  std::size_t open_directories;
};
Fit FitToOpenFiles(int jobs) {
  const std::uint64_t limit = OpenFileLimit();
  const std::uint64_t usable = limit > 8 ? limit - 8 : 1;
  const std::uint64_t directories = std::clamp<std::uint64_t>(usable / 4, 1, 64);
  const std::uint64_t rest = usable - std::min(usable, directories);
  const std::uint64_t per_item = 2, waiting = 16 * per_item, per_thread = 1 + 4 * per_item;
  const std::uint64_t threads = rest > waiting + per_thread * 2 ? (rest - waiting) / per_thread : 1;
  return {static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(jobs), threads)),
          static_cast<std::size_t>(directories)};
}

// The sources a run reads: the files it names itself are never among them.
SourceChoice ChoiceOf(const RunOptions& options) {
  SourceChoice choice{.pictures = options.pictures};
  for (const NamedOutput& output : NamedOutputs(options)) choice.excluded_files.push_back(output.path);
  choice.excluded_archive = options.output_pak;
  if (!options.generate) {
    if (const std::optional<std::size_t> archive = ArchivePrefix(options.palette_path)) {
      choice.excluded_entry = {options.palette_path.substr(0, *archive), options.palette_path.substr(*archive + 1)};
    } else {
      choice.excluded_files.push_back(options.palette_path);
    }
  }
  if (options.pictures && !options.output_pak && !options.output_directory && options.true_colour != PictureForm::kNone) {
    choice.pictures_made = options.true_colour == PictureForm::kPng ? "png" : "tga";
  }
  return choice;
}

// The source files under the start directory, counted by a walk of their names only.
std::size_t CountSources(const RunOptions& options, std::size_t open_directories) {
  std::size_t count = 0;
  WalkDirectory(options.start_directory, options.recurse,
                {.entered = [](const std::string&) {},
                 .unreadable = [](const std::string&, const Error&) {},
                 .file = [&count](const SourceFile&) { ++count; }},
                open_directories, options.output_directory, ChoiceOf(options));
  return count;
}

// The live line of a walk: files done of the total, redrawn at most ten times a second.
class LiveCount {
 public:
  LiveCount(const RunOptions& options, std::size_t open_directories, Console& console, std::string phase)
      : console_(console),
        phase_(std::move(phase)),
        total_(console.ErrorIsTerminal() ? CountSources(options, open_directories) : 0) {}

  void Done() {
    ++done_;
    if (!console_.ErrorIsTerminal()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    console_.Live("tarnvick: " + phase_ + ", " + std::to_string(done_) + " of " + std::to_string(total_) + " files");
  }

 private:
  Console& console_;
  const std::string phase_;
  const std::size_t total_;
  std::size_t done_ = 0;
  std::chrono::steady_clock::time_point drawn_{};
};

// The bytes a source takes while it is worked on: its file's, or a picture's four levels of 4-byte
// pixels (from the size its first bytes declare) when they are more.
std::uint64_t SourceBytes(const SourceFile& file) {
  if (file.refusal) return 0;
  const std::uint64_t size = file.part ? file.part->size : FileSizeOf(file.ref);
  const std::optional<TextureType> kind = PictureKindOf(file.ref.name);
  if (!kind) return size;
  std::array<std::uint8_t, kPictureHeadBytes> head{};
  Result<std::size_t> got = std::size_t{0};
  if (file.part) {
    got = ReadAt(file.part->file->get(), head.data(), std::min<std::uint64_t>(head.size(), file.part->size), file.part->offset);
  } else if (const Result<ScopedFile> opened = OpenRegularFile(file.ref)) {
    got = ReadAt(opened->get(), head.data(), head.size(), 0);
  }
  const std::optional<PictureSize> declared = got ? PictureSizeOf(*kind, std::span(head).first(*got)) : std::nullopt;
  if (!declared || !CheckPictureSize(declared->width, declared->height)) return size;
  return std::max(size, std::uint64_t{declared->width} * declared->height * 16 / 3);
}

}  // namespace

Result<std::unique_ptr<Texture>> LoadSource(const SourceFile& file, bool transparent, bool remake_mips) {
  if (file.refusal) return Failure{*file.refusal};
  Result<std::unique_ptr<Texture>> texture = CreateTexture(file.ref, file.part);
  if (!texture || !(IsPictureType((*texture)->type) || remake_mips)) return texture;
  return WithMadeLevels(std::move(*texture), transparent);
}

Result<std::optional<WalMetadata>> LoadMetadata(const SourceFile& file) {
  std::string path;
  FileRef ref;
  if (file.part) {
    if (!file.metadata_entry) return std::nullopt;
    // The archive's path, then the entry's name, as the source's path is made.
    const std::size_t archive = file.path.size() - file.ref.name.size();
    std::string shown = *file.metadata_entry;
    if (kSeparator != '/') std::replace(shown.begin(), shown.end(), '/', kSeparator);
    path = file.path.substr(0, archive) + shown;
    if (!file.metadata_part) return Fail(ErrorKind::kBadMetadata, path + ": outside the archive");
    ref = {file.ref.directory, *file.metadata_entry};
  } else {
    ref = {file.ref.directory, ReplaceExtension(file.ref.name, "wal_json")};
    if (!SomethingIsAt(ref)) return std::nullopt;
    path = file.folder + kSeparator + ref.name;
  }
  const Result<FileContents> contents = ReadSizedFile(
      ref, 0,
      [](std::span<const std::uint8_t>, std::uint64_t size) -> Result<FileLayout> {
        if (size > kMostMetadataBytes) return Fail(ErrorKind::kTooLarge);
        return FileLayout{size, 0};
      },
      file.metadata_part);
  if (!contents) {
    const Error& error = contents.error();
    return Fail(ErrorKind::kBadMetadata, path + ": " + (error.kind == ErrorKind::kTooLarge ? "larger than 1 MiB" : Describe(error)));
  }
  Result<WalMetadata> metadata = ParseWalJson(contents->body);
  if (!metadata) return Fail(ErrorKind::kBadMetadata, path + ": " + metadata.error().detail);
  return std::optional<WalMetadata>(std::move(*metadata));
}

void WalkSources(const RunOptions& options, Console& console,
                 const std::function<FileJob(const SourceFile& file)>& job_for,
                 const std::function<std::string(const SourceFile& file)>& serial_key, const std::string& phase) {
  const Fit fit = FitToOpenFiles(options.jobs);
  LiveCount live(options, fit.open_directories, console, phase);
  // Into an archive, finished outputs wait in memory for their turn, and works finish in bursts as
  // each slow one ahead of them is stored: half the bytes then keep the run within the memory of
  // one that writes files.
  ByteBudget budget(options.output_pak ? kSourceBytesInFlight / 2 : kSourceBytesInFlight);
  OrderedRunner runner(fit.jobs);
  // The last item of each serial key, while it may not be committed yet.
  std::unordered_map<std::string, std::size_t> last_of_key;
  WalkDirectory(options.start_directory, options.recurse,
                {.entered =
                     [&](const std::string& path) {
                       if (!options.verbose) return;
                       runner.Add({}, [&console, line = "\n\t" + path + "..."] { console.Progress(line); });
                     },
                 .unreadable =
                     [&](const std::string& path, const Error& error) {
                       // Told once a run: the palette step and the conversion walk meet it both.
                       runner.Add({}, [&console, line = "cannot read directory: " + path + ": " + error.detail] {
                         console.ProblemOnce(line, line);
                       });
                     },
                 .file =
                     [&](const SourceFile& file) {
                       FileJob job = job_for(file);
                       // Its bytes are taken from the budget in walk order, committing the works
                       // before it while they do not fit: an earlier work never waits for a later one.
                       const std::uint64_t bytes = SourceBytes(file);
                       while (!budget.Fits(bytes) && runner.CommitNext()) {
                       }
                       auto lease = std::make_shared<ByteBudget::Lease>(budget, bytes);
                       OrderedRunner::Work work = [lease, work = std::move(job.work)](int worker) {
                         lease->Resize(work(worker));
                       };
                       OrderedRunner::Commit commit = [&live, lease, commit = std::move(job.commit)] {
                         commit();
                         lease->Resize(0);
                         live.Done();
                       };
                       if (!serial_key) {
                         runner.Add(std::move(work), std::move(commit));
                         return;
                       }
                       // Keys whose items are all committed order nothing more.
                       if (last_of_key.size() > 4 * runner.Window()) {
                         std::erase_if(last_of_key, [&](const auto& item) { return item.second < runner.Committed(); });
                       }
                       const std::string key = serial_key(file);
                       const auto last = last_of_key.find(key);
                       const std::optional<std::size_t> after =
                           last == last_of_key.end() ? std::nullopt : std::optional(last->second);
                       last_of_key[key] = runner.Add(std::move(work), std::move(commit), after);
                     },
                 .bad_archive =
                     [&](const std::string& path, const Error& error) {
                       // Told once a run: the palette step and the conversion walk meet it both.
                       runner.Add({}, [&console, line = "cannot read archive " + path + ": " + ArchiveReason(error)] {
                         console.ProblemOnce(line, line);
                       });
                     },
                 .passed_over =
                     [&](const std::string&) {
                       // Told once a run, though both walks pass over it.
                       runner.Add({}, [&console, line = "the output folder is not read: " + *options.output_directory] {
                         console.ProblemOnce(line, line);
                       });
                     }},
                fit.open_directories, options.output_directory, ChoiceOf(options));
  runner.Finish();
  if (runner.StartFailed()) {
    console.ProblemOnce("threads", "started " + std::to_string(runner.Threads()) + " of " +
                                       std::to_string(options.jobs) + " threads");
  }
}

}  // namespace tarnvick
