// The command line: the options of one run and how they are parsed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "convert/dither.h"
#include "convert/true_colour_picture.h"
#include "io/error.h"
#include "io/system.h"

namespace tarnvick {

inline constexpr const char* kDefaultPaletteFile = "palette.lmp";

// How the palette of a generating run is chosen.
enum class PaletteMethod {
  kPopularity,  // the 256 colours with the most pixels
  kMedianCut,   // median cut of the counted colours, refined by k-means
};

// An argument after the first that the run leaves aside: a short option whose letter names no
// option, or an argument that is neither an option nor the value of the one before it.
struct IgnoredArgument {
  bool unknown_option;
  std::string argument;
};

struct RunOptions {
  enum class Request { kRun, kHelp, kVersion };
  Request request = Request::kRun;
  std::string start_directory;  // the first argument, verbatim
  std::string palette_path;     // from -p or -o (or --palette, --write-palette), else "palette.lmp"
  bool generate = true;         // generate the palette (default, -o) or read it (-p)
  bool recurse = false;         // -s, --recursive
  bool verbose = false;         // -v, --verbose
  int jobs = 1;                 // --jobs=N, else the processors available to the process
  std::optional<std::string> preview_path;  // --preview=FILE
  std::optional<std::string> output_directory;  // --output-dir=DIR: WALs go below it, not beside their sources
  std::optional<std::string> output_pak;  // --output-pak=FILE: WALs go into this archive, not into files
  bool transparent = false;     // --transparent: index 255 is transparent
  std::optional<std::string> report_path;   // --report=FILE, --report FILE
  std::vector<IgnoredArgument> ignored;     // in the order given
  PaletteMethod palette_method = PaletteMethod::kPopularity;  // --palette-method=NAME
  Dither dither = Dither::kNone;  // --dither, --dither=tiled, --dither=diffusion
  PictureForm true_colour = PictureForm::kNone;  // --true-colour=png or tga: a picture beside each WAL
  bool quake2_flags = false;    // --flags=quake2 (--flags=keep, the default, copies them)
  bool pictures = false;        // --pictures: PNG, TGA, BMP and PCX files are sources too
  bool remake_mips = false;     // --remake-mips: M8 and M32 levels 1-3 made from level 0, as a picture's
};

// Parses argv (the program name first). -h, --help and --version, looked for first, make a help
// or version request whatever else the line holds. Otherwise fails, at the first error, with
// kNoStartDirectory, kInvalidParameter (an argument shorter than two characters, an unknown long
// option, a missing or invalid value; the detail names the argument), kTwoPaletteOptions or
// kMethodWithReadPalette.
Result<RunOptions> ParseCommandLine(int argc, const char* const* argv);

// The exit code of a command-line error: 1, 2 or 3.
int ExitCodeOf(const Error& error);

}  // namespace tarnvick
