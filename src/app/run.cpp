#include "app/run.h"

#include <cmath>
#include <optional>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/console.h"
#include "app/generate_palette.h"
#include "app/conversion_walk.h"
#include "app/run_files.h"
#include "io/atomic_file.h"
#include "io/open_files.h"
#include "io/make_directories.h"
#include "io/same_file.h"
#include "io/system.h"
#include "palette/palette_file.h"
#include "texture/texture_type.h"
#include "texture/pak_archive.h"

namespace tarnvick {
namespace {

// What is wrong with the start directory (or archive), as the start of its message; empty when
// nothing is.
std::string StartDirectoryProblem(const std::string& path) {
  const PathKind kind = KindOfPath(path);
  if (kind == PathKind::kMissing) return "start directory not found: ";
  if (kind != PathKind::kDirectory && !IsPakName(path)) return "start directory is not a directory: ";
  return {};
}

// The palette of a run that reads it (-p), with its warning; the failure already told.
Result<Palette> ReadPalette(const RunOptions& options, Console& console) {
  const Result<LoadedPalette> loaded =
      CatchOutOfMemory([&] { return LoadPalette({kWorkingDirectory, options.palette_path}); });
  if (!loaded) {
    console.Problem("cannot read palette file: " + options.palette_path + ": " + Reason(loaded.error()));
    return Failure{loaded.error()};
  }
  const bool raw = loaded->form == PaletteForm::kRaw;
  if (loaded->form == PaletteForm::kUnknown) {
    console.Problem("not a known palette format, its first 768 bytes are the palette: " + options.palette_path);
  } else if (loaded->held < (raw ? kPaletteFileSize : kPaletteEntries)) {
    console.Problem("short palette file (" + std::to_string(loaded->held) + (raw ? " of 768 bytes" : " of 256 colours") +
                    "), the missing entries are black: " + options.palette_path);
  }
  return loaded->palette;
}

// The palette of a generating run; the failure already told.
Result<Palette> MakePalette(const RunOptions& options, Console& console) {
  Result<Palette> palette = GeneratePalette(options, console);
  if (!palette) {
    const Error& error = palette.error();
    if (error.kind == ErrorKind::kOutOfMemory) {
      console.Problem("out of memory while counting colours" + (error.detail.empty() ? "" : ": " + error.detail));
    } else if (error.kind == ErrorKind::kCannotCount) {
      console.Problem(Describe(error));
    } else {
      console.Problem("cannot write palette file: " + options.palette_path + ": " + Reason(error));
    }
  }
  return palette;
}

// The first output that names an input of the run (the palette read, a source, an archive, a
// WAL) or an output before it, so that no output can replace what the run reads or makes. The
// archive the run writes may have an archive's name: one in the library is left out of the walks.
std::optional<NamedOutput> OverlappingOutput(const RunOptions& options) {
  const std::vector<NamedOutput> outputs = NamedOutputs(options);
  const std::vector<std::string> inputs = NamedInputs(options);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const std::string& path = outputs[i].path;
    const TextureType type = LookupTextureType(path);
    bool overlaps = type == TextureType::kM8 || type == TextureType::kM32 || type == TextureType::kWal ||
                    (IsPakName(path) && path != options.output_pak);
    for (const std::string& input : inputs) overlaps = overlaps || SameFile(path, input);
    for (std::size_t before = 0; before < i; ++before) overlaps = overlaps || SameFile(path, outputs[before].path);
    if (overlaps) return outputs[i];
  }
  return std::nullopt;
}

// Whether an archive's entry `name` is one an archive the run writes holds: a WAL or its picture.
bool IsWalOrItsPicture(const std::string& name) {
  return LookupTextureType(name) == TextureType::kWal || SameEntryName(PicturePathFor(name, PictureForm::kPng), name) ||
         SameEntryName(PicturePathFor(name, PictureForm::kTga), name);
}

// Why a start that is an archive cannot be read as one (as the walk would read it); empty when
// it can, or the start is a folder.
std::string StartArchiveProblem(const std::string& start) {
  if (KindOfPath(start) == PathKind::kDirectory) return {};
  const Result<PakArchive> archive = PakArchive::Open({kWorkingDirectory, start});
  Result<void> listed = archive ? archive->ForEachEntry([](const PakEntry&) {}) : Result<void>(Failure{archive.error()});
  return listed ? std::string() : ArchiveReason(listed.error());
}

// Why the file at the path of the archive the run writes may not be replaced by it; empty when it
// may: it is missing, empty, or an archive of WALs and their pictures alone (an earlier run's).
// Its directory is read as the walk would read it.
std::string ArchiveInTheWay(const RunOptions& options) {
  const std::string& path = *options.output_pak;
  if (KindOfPath(path) == PathKind::kMissing) return {};
  const Result<PakArchive> archive = PakArchive::Open({kWorkingDirectory, path});
  if (!archive) {
    if (archive.error().kind == ErrorKind::kNotRegularFile) return Describe(archive.error());
    if (archive.error().kind == ErrorKind::kBadArchive && FileSizeOf({kWorkingDirectory, path}) == 0) return {};
  }
  constexpr const char* kOtherFiles = "it holds files other than WALs and their pictures";
  bool source = false, other = !archive;
  if (archive) {
    const Result<void> listed = archive->ForEachEntry([&](const PakEntry& entry) {
      if (IsSourceName(entry.name, options.pictures)) {
        source = true;
      } else if (!IsWalOrItsPicture(entry.name)) {
        other = true;
      }
    });
    other = other || !listed;
  }
  if (source) return "it is an input or another output of this run";
  return other ? kOtherFiles : "";
}

// Tells the first of the preview and report paths that cannot be written; false when one cannot.
bool OutputsWritable(const RunOptions& options, Console& console) {
  for (const auto& [what, path] : {std::pair{"preview", &options.preview_path}, {"report", &options.report_path}}) {
    if (!*path) continue;
    if (const Result<FileRef> writable = CheckWritable({kWorkingDirectory, **path}, LinkPolicy::kWriteThrough); !writable) {
      console.Problem(std::string("cannot write ") + what + ": " + **path + ": " + writable.error().detail);
      return false;
    }
  }
  return true;
}

// Writes one of the files made at the end of the run; false when it could not be written (told).
bool WriteOutput(const char* what, const std::string& path, const Result<std::vector<std::uint8_t>>& bytes,
                 Console& console) {
  const Result<void> written =
      bytes ? WriteFileAtomically({kWorkingDirectory, path}, {*bytes}, LinkPolicy::kWriteThrough) : Result<void>(Failure{bytes.error()});
  if (!written) console.Problem(std::string("cannot write ") + what + ": " + path + ": " + Reason(written.error()));
  return static_cast<bool>(written);
}

}  // namespace

int Run(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  Console console(out, err);
  const Result<RunOptions> parsed = ParseCommandLine(argc, argv);
  if (parsed && parsed->request == RunOptions::Request::kVersion) {
    console.Version();
    return 0;
  }
  console.Banner();
  if (!parsed) {
    console.CommandLineError(parsed.error());
    return ExitCodeOf(parsed.error());
  }
  const RunOptions& options = *parsed;
  if (options.request == RunOptions::Request::kHelp) {
    console.Help();
    return 0;
  }
  for (const IgnoredArgument& ignored : options.ignored) {
    console.Problem((ignored.unknown_option ? "unknown option ignored: " : "extra argument ignored: ") + ignored.argument);
  }
  if (const std::string problem = StartDirectoryProblem(options.start_directory); !problem.empty()) {
    console.Problem(problem + options.start_directory);
    return kExitRunFailed;
  }
  if (const std::optional<NamedOutput> output = OverlappingOutput(options)) {
    console.Problem("cannot write " + output->what + ": " + output->path + ": it is an input or another output of this run");
    return kExitRunFailed;
  }
  // A start that is an archive holds the whole library: one that cannot be read leaves none.
  if (const std::string problem = StartArchiveProblem(options.start_directory); !problem.empty()) {
    console.Problem("cannot read archive " + options.start_directory + ": " + problem);
    return kExitRunFailed;
  }
  if (options.output_pak) {
    // Before anything is made: the archive's path names a file that may be replaced by it.
    const std::string& path = *options.output_pak;
    std::string problem = IsSeparator(path.back()) || KindOfPath(path) == PathKind::kDirectory ? "it names a folder"
                                                                                               : ArchiveInTheWay(options);
    if (!problem.empty()) {
      console.Problem("cannot write archive: " + path + ": " + problem);
      return kExitRunFailed;
    }
  }
  if (options.output_directory) {
    // Made first: the walks know it and never read it, and outputs may go inside it.
    if (const Result<void> made = MakeDirectories(*options.output_directory); !made) {
      console.Problem("cannot make output folder: " + *options.output_directory + ": " + made.error().detail);
      return kExitRunFailed;
    }
  }
  if (options.generate) {
    // A palette that cannot be written is told before the whole library is read for it.
    if (const Result<FileRef> writable = CheckWritable({kWorkingDirectory, options.palette_path}, LinkPolicy::kWriteThrough);
        !writable) {
      console.Problem("cannot write palette file: " + options.palette_path + ": " + writable.error().detail);
      return kExitRunFailed;
    }
  }
  if (!OutputsWritable(options, console)) return kExitRunFailed;
  if (options.output_pak) {
    // Its folders are made and its place checked before the library is read for it.
    const std::string& path = *options.output_pak;
    Result<void> writable = MakeDirectories(DirectoryPart(path));
    if (writable) {
      if (const Result<FileRef> checked = CheckWritable({kWorkingDirectory, path}, LinkPolicy::kWriteThrough); !checked) {
        writable = Failure{checked.error()};
      }
    }
    if (!writable) {
      console.Problem("cannot write archive: " + path + ": " + writable.error().detail);
      return kExitRunFailed;
    }
  }

  const Result<Palette> palette = options.generate ? MakePalette(options, console)
                                                   : ReadPalette(options, console);
  if (!palette) return kExitRunFailed;

  console.Progress("\nconverting M8/M32 files...");
  const bool summary = options.verbose || console.ErrorIsTerminal();
  ConversionReport report = ConvertSources(options, *palette, summary, console);
  bool incomplete = report.incomplete;
  if (report.preview && !WriteOutput("preview", *options.preview_path,
                                     CatchOutOfMemory([&] { return report.preview->Encode(*palette); }), console)) {
    incomplete = true;
  }
  if (report.table && !WriteOutput("report", *options.report_path, report.table->Bytes(), console)) {
    incomplete = true;
  }
  console.Progress("\ndone.\n");
  if (summary) {
    console.Problem(std::to_string(report.converted) + " converted, " + std::to_string(report.skipped) + " skipped");
    if (report.converted > 0) {
      console.Problem("palette PSNR " + PsnrText(report.total) + " dB, worst " + PsnrText(report.worst) +
                      " dB: " + report.worst_path);
      if (options.dither != Dither::kNone) {
        console.Problem("blurred PSNR " + BlurredPsnrText(report.total) + " dB, worst " +
                        BlurredPsnrText(report.blurred_worst) + " dB: " + report.blurred_worst_path);
      }
    }
  }
  return incomplete || console.Failed() ? kExitIncomplete : 0;
}

}  // namespace tarnvick
