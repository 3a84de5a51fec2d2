#include "app/run.h"

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "app/command_line.h"
#include "app/console.h"
#include "app/generate_palette.h"
#include "app/source_walk.h"
#include "convert/convert_texture.h"
#include "io/atomic_file.h"
#include "io/read_file.h"
#include "palette/palette_file.h"
#include "texture/create_texture.h"

namespace tarnvick {
namespace {

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

// The reason as the palette lines print it: the system's text alone for a file that cannot be
// opened or written.
std::string PaletteReason(const Error& error) {
  if (error.kind == ErrorKind::kCannotOpen || error.kind == ErrorKind::kCannotWrite) return error.detail;
  return Describe(error);
}

// The palette of a run that reads it (-p), with its warning; the failure already told.
Result<Palette> ReadPalette(const RunOptions& options, Console& console) {
  const Result<LoadedPalette> loaded = LoadPalette({AT_FDCWD, options.palette_path});
  if (!loaded) {
    console.Problem("cannot read palette file: " + options.palette_path + ": " + PaletteReason(loaded.error()));
    return Failure{loaded.error()};
  }
  if (loaded->length < kPaletteFileSize) {
    console.Problem("short palette file (" + std::to_string(loaded->length) + " of " +
                    std::to_string(kPaletteFileSize) + " bytes), the missing entries are black: " +
                    options.palette_path);
  }
  return loaded->palette;
}

// The palette of a generating run; the failure already told.
Result<Palette> MakePalette(const RunOptions& options, ColorHistogram& histogram, RankedColors& ranked,
                            Console& console) {
  Result<Palette> palette = GeneratePalette(options, histogram, ranked, console);
  if (!palette) {
    const Error& error = palette.error();
    if (error.kind == ErrorKind::kOutOfMemory) {
      console.Problem("out of memory while counting colours" + (error.detail.empty() ? "" : ": " + error.detail));
    } else {
      console.Problem("cannot write palette file: " + options.palette_path + ": " + PaletteReason(error));
    }
  }
  return palette;
}

// Loads a source, converts it and writes its WAL beside it.
Result<void> ConvertFile(const SourceFile& source, ColorMatcher& matcher) {
  const Result<std::unique_ptr<Texture>> texture = CreateTexture(source.ref);
  if (!texture) return Failure{texture.error()};
  Result<WalTexture> wal = ConvertTexture(**texture, matcher);
  if (!wal) return Failure{wal.error()};
  const auto header = wal->EncodeHeader();
  if (!header) return Failure{header.error()};
  const FileRef target{source.ref.directory, WalPathFor(source.ref.name)};
  // A WAL that already holds exactly these bytes (made by an earlier run) is left as it is.
  if (HoldsExactly(target, {*header, wal->LevelData()})) return {};
  return WriteFileAtomically(target, {*header, wal->LevelData()}, LinkPolicy::kReplaceLink);
}

}  // namespace

int Run(int argc, const char* const* argv, ColorHistogram& histogram, RankedColors& ranked,
        std::FILE* out, std::FILE* err) {
  Console console(out, err);
  console.Banner();
  const Result<RunOptions> parsed = ParseCommandLine(argc, argv);
  if (!parsed) {
    console.CommandLineError(parsed.error());
    return ExitCodeOf(parsed.error());
  }
  const RunOptions& options = *parsed;
  if (!IsDirectory(options.start_directory)) {
    console.Problem("start directory not found: " + options.start_directory);
    return kExitRunFailed;
  }
  if (options.generate) {
    // A palette that cannot be written is told before the whole library is read for it.
    if (const Result<FileRef> writable = CheckWritable({AT_FDCWD, options.palette_path}, LinkPolicy::kWriteThrough);
        !writable) {
      console.Problem("cannot write palette file: " + options.palette_path + ": " + writable.error().detail);
      return kExitRunFailed;
    }
  }

  const Result<Palette> palette = options.generate ? MakePalette(options, histogram, ranked, console)
                                                   : ReadPalette(options, console);
  if (!palette) return kExitRunFailed;

  console.Progress("\nconverting M8/M32 files...");
  ColorMatcher matcher(*palette);
  bool write_failed = false;
  WalkSources(
      options, console,
      [&](const SourceFile& source) {
        auto converted = std::make_shared<Result<void>>();
        return FileJob{[&matcher, source, converted](int) { *converted = ConvertFile(source, matcher); },
                       [&console, &write_failed, converted, path = source.path] {
                         if (*converted) return;
                         write_failed = write_failed || converted->error().kind == ErrorKind::kCannotWrite;
                         console.Problem("skipped " + path + ": " + Describe(converted->error(), WalPathFor(path)));
                       }};
      },
      // Sources that make the same WAL (a.m32 and a.m8) write it in walk order: the later wins.
      [](const SourceFile& source) { return WalPathFor(source.ref.name); });
  console.Progress("\ndone.\n");
  return write_failed || console.Failed() ? kExitIncomplete : 0;
}

}  // namespace tarnvick
