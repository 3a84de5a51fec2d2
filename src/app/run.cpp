#include "app/run.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "app/command_line.h"
#include "app/console.h"
#include "app/generate_palette.h"
#include "app/source_walk.h"
#include "convert/convert_texture.h"
#include "io/atomic_file.h"
#include "palette/palette_file.h"
#include "texture/create_texture.h"

namespace tarnvick {
namespace {

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

// Loads the source at `path`, converts it and writes its WAL; the reason when no WAL was written.
Result<void> ConvertFile(const std::string& path, ColorMatcher& matcher, std::string& wal_path) {
  const Result<std::unique_ptr<Texture>> texture = CreateTexture(path);
  if (!texture) return Failure{texture.error()};
  Result<WalTexture> wal = ConvertTexture(**texture, matcher);
  if (!wal) return Failure{wal.error()};
  const auto header = wal->EncodeHeader();
  if (!header) return Failure{header.error()};
  wal_path = WalPathFor(path);
  return WriteFileAtomically(wal_path, {*header, wal->LevelData()});
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

  Result<Palette> palette = options.generate
                                ? GeneratePalette(options, histogram, ranked, console)
                                : LoadPalette(options.palette_path);
  if (!palette) {
    if (!options.generate) {
      console.Problem("cannot read palette file: " + options.palette_path);
    } else if (palette.error().kind == ErrorKind::kOutOfMemory) {
      console.Problem("out of memory while counting colours");
    } else {
      console.Problem("cannot write palette file: " + options.palette_path);
    }
    return kExitRunFailed;
  }

  console.Progress("\nconverting M8/M32 files...");
  ColorMatcher matcher(*palette);
  WalkSources(options, console, [&](const std::string& path) {
    std::string wal_path;
    if (const Result<void> converted = ConvertFile(path, matcher, wal_path); !converted) {
      console.Problem("skipped " + path + ": " + Describe(converted.error(), wal_path));
    }
  });
  console.Progress("\ndone.\n");
  return 0;
}

}  // namespace tarnvick
