#include "app/console.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "io/system.h"

namespace tarnvick {

std::string Printable(const std::string& text) {
  std::string printable;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 0x01 && byte <= 0x1f) || byte == 0x7f) {
      static constexpr char kHex[] = "0123456789abcdef";
      printable += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    } else {
      printable += c;
    }
  }
  return printable;
}

namespace {

// The PSNR of a summed squared error over `values` values, with two decimals, or "inf".
std::string PsnrOf(double squared, std::uint64_t values) {
  if (squared == 0) return "inf";
  const double mean = squared / static_cast<double>(values);
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", 10 * std::log10(255.0 * 255.0 / mean));
  return text;
}

}  // namespace

std::string PsnrText(const ConversionError& error) { return PsnrOf(static_cast<double>(error.squared), error.values); }

std::string BlurredPsnrText(const ConversionError& error) { return PsnrOf(error.blurred, error.values); }

std::string ArchiveReason(const Error& error) {
  return error.detail.empty() || error.kind == ErrorKind::kNotRegularFile ? Describe(error) : error.detail;
}

std::string Describe(const Error& error, const std::string& target) {
  switch (error.kind) {
    case ErrorKind::kCannotOpen:
      return "cannot open file: " + error.detail;
    case ErrorKind::kNotRegularFile:
      return "not a regular file";
    case ErrorKind::kReadError:
      return error.detail.empty() ? "read error" : "read error: " + error.detail;
    case ErrorKind::kEmptyFile:
      return "empty file";
    case ErrorKind::kTruncated:
      return "file is truncated (" + error.detail + ")";
    case ErrorKind::kTooLarge:
      return "pixel data too large";
    case ErrorKind::kUnsupportedVersion:
      return "unsupported M8 version " + error.detail;
    case ErrorKind::kNotATexture:
      return "not an M8 or M32 file";
    case ErrorKind::kBadPalette:
      return error.detail;
    case ErrorKind::kNoFourthLevel:
      return "no fourth mip level";
    case ErrorKind::kEmptyFourthLevel:
      return "fourth mip level is empty";
    case ErrorKind::kTooFewPixels:
      return "too few pixels for four mip levels";
    case ErrorKind::kMipLevelMismatch:
      return error.detail;
    case ErrorKind::kCannotWrite:
      return (target.empty() ? "cannot write: " : "cannot write " + target + ": ") + error.detail;
    case ErrorKind::kCannotList:
      return "cannot list: " + error.detail;
    case ErrorKind::kOutOfMemory:
      return "out of memory";
    case ErrorKind::kCannotCount:
      return "cannot read " + error.detail;
    case ErrorKind::kBadArchive:
    case ErrorKind::kBadEntry:
    case ErrorKind::kBadPicture:
      return error.detail;
    case ErrorKind::kBadMetadata:
      return "cannot use " + error.detail;
    case ErrorKind::kNoStartDirectory:
      return "no start directory";
    case ErrorKind::kInvalidParameter:
      return "invalid parameter: " + error.detail;
    case ErrorKind::kTwoPaletteOptions:
      return "input and output palette parameters are mutually exclusive";
    case ErrorKind::kMethodWithReadPalette:
      return "invalid parameter: " + error.detail;
  }
  return error.detail;
}

std::string Reason(const Error& error) {
  if (error.kind == ErrorKind::kCannotOpen || error.kind == ErrorKind::kCannotWrite) return error.detail;
  return Describe(error);
}

Console::Console(std::FILE* out, std::FILE* err) : out_(out), err_(err), error_is_terminal_(IsTerminal(err)) {}

void Console::Banner() { Progress("tarnvick - M8/M32 to WAL texture converter\n\n"); }

void Console::Usage() {
  // The legacy usage text, kept byte for byte, its spelling included: scripts compare it.
  static const char* const kPieces[] = {
      "usage:\n",
      ("tarnvick.exe c:\\a_directory\\ [-pc:\\somedir\\somefile.pal] "
       "[-oc:\\otherdir\\goodpalette.pal] [-s] [-v]\n\n"),
      "parameters are as follows:\n",
      "c:\\a_directory\\                 : directory to convert\n",
      "-pc:\\somedir\\somefile.pal       : exisiting palette to use for the conversion\n",
      "-oc:\\otherdir\\goodpalette.pal   : palette to generate for the conversion\n",
      "-s                              : process sub directories\n",
      "-v                              : verbose output\n\n",
      "notes:\n",
      "  starting directory is required\n",
      "  -p and -o are mutually exclusive\n",
  };
  for (const char* piece : kPieces) std::fputs(piece, out_);
}

void Console::Help() {
  Progress(
      "Converts the M8 and M32 textures below DIRECTORY to WAL textures beside them, against one\n"
      "shared 256-colour palette that is read from a file or generated from the textures.\n"
      "The M8 and M32 entries of the PAK archives in each folder are converted too, into the\n"
      "archive's folder; DIRECTORY may itself be a PAK archive. With --pictures, PNG, TGA, BMP\n"
      "and PCX pictures are sources too, their mip levels made in linear light.\n"
      "\n"
      "usage: tarnvick DIRECTORY [options]\n"
      "\n"
      "options (after DIRECTORY):\n"
      "  -p FILE, -pFILE, --palette=FILE, --palette FILE\n"
      "                          convert with the existing palette FILE: a PCX picture, a PNG,\n"
      "                          a JASC-PAL or GIMP palette, or 768 raw bytes\n"
      "  -o FILE, -oFILE, --write-palette=FILE, --write-palette FILE\n"
      "                          generate the palette and write it to FILE, as its extension\n"
      "                          says: .pcx (a colormap.pcx), .png, .pal (JASC-PAL), .gpl\n"
      "                          (GIMP), else 768 raw bytes\n"
      "                          (default without -p or -o: generate it into ./palette.lmp)\n"
      "  --palette-method=NAME   how a generated palette is chosen: popularity (the default,\n"
      "                          the 256 most frequent colours) or median-cut\n"
      "  -s, --recursive         also convert the textures of subdirectories\n"
      "  -v, --verbose           print each directory as it is entered, and a summary\n"
      "  --jobs=N                work on N threads (default: every processor)\n"
      "  --preview=FILE          write a PNG of the palette and of each texture beside its WAL,\n"
      "                          each captioned with its PSNR and path\n"
      "  --report=FILE, --report FILE\n"
      "                          write a CSV table of every WAL written: path, width, height,\n"
      "                          psnr_db\n"
      "  --output-dir=DIR, --output-dir DIR\n"
      "                          write each WAL below DIR, in the folders its source has below\n"
      "                          DIRECTORY (made when missing), instead of beside its source\n"
      "  --output-pak=FILE, --output-pak FILE\n"
      "                          store every WAL (and picture) as an entry of the PAK archive\n"
      "                          FILE, named by its path below DIRECTORY, instead of as files\n"
      "  --transparent           palette index 255 is transparent: M32 pixels whose fourth byte\n"
      "                          is below 128 become 255, no other pixel does\n"
      "  --true-colour=png, --true-colour=tga\n"
      "                          also write beside each WAL a PNG or TGA picture of the\n"
      "                          source's level 0 in full colour (with --transparent, with\n"
      "                          its alpha), which today's Quake 2 engines draw instead\n"
      "  --flags=quake2, --flags=keep\n"
      "                          quake2: keep only the flag and contents bits Quake 2 defines\n"
      "                          (with --transparent, a WAL with index 255 also gets the alpha\n"
      "                          test bit 0x2000000); keep (the default): copy them all\n"
      "  --pictures              also convert PNG, TGA, BMP and PCX pictures (sides multiples of\n"
      "                          8, up to 8192), named by their path below a textures folder\n"
      "  --remake-mips           make the mip levels of M8 and M32 sources from level 0 as a\n"
      "                          picture's are made (in linear light, keeping transparency's\n"
      "                          coverage), instead of taking the file's own\n"
      "  --dither, --dither=tiled\n"
      "                          dither each level with a pattern that repeats with the\n"
      "                          texture: smooth gradients, and no seams where it is tiled\n"
      "  --dither=diffusion      dither each level by error diffusion (Floyd-Steinberg): as\n"
      "                          smooth, but with seams where the texture repeats\n"
      "  -h, --help              print this help and exit\n"
      "  --version               print the version and exit\n"
      "\n"
      "examples:\n"
      "  tarnvick ~/game/textures -s\n"
      "  tarnvick ~/game/textures -s -o ~/game/palette.lmp --palette-method=median-cut\n"
      "  tarnvick ./textures -p ./game.pal --preview=preview.png\n"
      "  tarnvick ./textures -p ./game.pal --dither\n"
      "  tarnvick ./textures -s -p pics/colormap.pcx --transparent --output-dir=mod/textures\n"
      "  tarnvick ./textures -s -p colormap.pcx --transparent --true-colour=tga --flags=quake2\n"
      "  tarnvick baseq2 -p baseq2/pak0.pak/pics/colormap.pcx --output-pak=mymod/pak0.pak\n"
      "  tarnvick mymod/textures -s -p colormap.pcx --pictures --transparent\n"
      "\n"
      "exit codes:\n"
      "  0  done (also when some textures were skipped)\n"
      "  1  no start directory\n"
      "  2  an invalid parameter\n"
      "  3  more than one palette option (-p, -o, --palette, --write-palette)\n"
      "  4  the start directory, the palette, the preview, the report, the output folder or\n"
      "     the archive path could not be used, or memory ran out counting\n"
      "  5  done, but a WAL, a picture, the preview, the report or a message could not be\n"
      "     written\n"
      "\n"
      "A short option with an unknown letter and an extra argument are ignored, each with a\n"
      "line on standard error. A run that counts no colour leaves the palette file alone.\n"
      "A NAME.wal_json beside a source sets its WAL's flags, contents, value and animation.\n");
}

void Console::Version() { Progress("tarnvick " TARNVICK_VERSION "\n"); }

void Console::CommandLineError(const Error& error) {
  Usage();
  constexpr const char* kSeeHelp = "; tarnvick --help lists the options";
  switch (error.kind) {
    case ErrorKind::kInvalidParameter:
      std::fprintf(out_, "invalid parameter: %s\n", error.detail.c_str());
      Problem("invalid parameter: " + error.detail + kSeeHelp);
      break;
    case ErrorKind::kMethodWithReadPalette:
      std::fprintf(out_, "invalid parameter: %s\n", error.detail.c_str());
      Problem("--palette-method needs a generated palette, not -p");
      break;
    case ErrorKind::kTwoPaletteOptions:
      std::fputs("\n input (-p)  and output (-o) palette parameters are mutually exclusive\n", out_);
      Problem(std::string("-p and -o cannot be used together") + kSeeHelp);
      break;
    default:
      Problem(std::string("no start directory given") + kSeeHelp);
      break;
  }
}

void Console::Progress(const std::string& text) {
  EraseLive();
  std::fputs(text.c_str(), out_);
  OutputFailed();
}

bool Console::OutputFailed() {
  errno = 0;
  const bool failed = std::fflush(out_) != 0 || std::ferror(out_) != 0;
  if (failed && !output_failure_told_) {
    output_failure_told_ = true;
    const int error_number = errno;
    EraseLive();
    std::fprintf(err_, "tarnvick: cannot write standard output: %s\n",
                 error_number != 0 ? std::strerror(error_number) : "write error");
  }
  return failed;
}

void Console::Live(const std::string& text) {
  if (!error_is_terminal_) return;
  std::fputs(("\r" + text + "\033[K").c_str(), err_);
  std::fflush(err_);
  live_ = true;
}

void Console::EraseLive() {
  if (!live_) return;
  std::fputs("\r\033[K", err_);
  live_ = false;
}

void Console::Problem(const std::string& message) {
  // Control characters (a newline in a file name) would break the one-line format.
  const std::string line = "tarnvick: " + Printable(message) + "\n";
  EraseLive();
  OutputFailed();
  std::fputs(line.c_str(), err_);
}

void Console::ProblemOnce(const std::string& key, const std::string& message) {
  if (told_.insert(key).second) Problem(message);
}

bool Console::Failed() {
  const bool out_failed = OutputFailed();
  const bool err_failed = std::fflush(err_) != 0 || std::ferror(err_) != 0;
  return out_failed || err_failed;
}

}  // namespace tarnvick
