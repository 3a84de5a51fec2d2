#include "app/run.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "app/run_options.h"
#include "convert/convert_texture.h"
#include "palette/generate_palette.h"
#include "palette/palette_file.h"
#include "walk/report_error.h"
#include "walk/walk_directory.h"

namespace tarnvick {
namespace {

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace

int Run(int argc, const char* const* argv, ColorHistogram& histogram, RankedColors& ranked,
        std::FILE* out, std::FILE* err) {
  std::fputs("tarnvick - M8/M32 to WAL texture converter\n\n", out);
  RunOptions options;
  if (const int code = ParseCommandLine(argc, argv, options, out); code != 0) return code;
  if (!IsDirectory(options.start_directory)) {
    ReportError(out, err, "start directory not found: " + options.start_directory);
    return kExitRunFailed;
  }

  Palette palette{};
  const std::string& palette_path = *options.palette_path;
  if (options.generate) {
    if (!GeneratePalette(options.start_directory, options.walk(), palette_path, histogram, ranked,
                         palette, out, err)) {
      return kExitRunFailed;
    }
  } else if (!LoadPalette(palette_path, palette)) {
    ReportError(out, err, "cannot read palette file: " + palette_path);
    return kExitRunFailed;
  }

  std::fputs("\nconverting M8/M32 files...", out);
  ColorMatcher matcher(palette);
  WalkDirectory(
      options.start_directory, options.walk(),
      [&](const std::string& path) {
        std::string reason;
        if (!ConvertTexture(path, matcher, reason)) {
          ReportError(out, err, "skipped " + path + ": " + reason);
        }
      },
      out, err);
  std::fputs("\ndone.\n", out);
  return 0;
}

}  // namespace tarnvick
