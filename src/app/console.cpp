#include "app/console.h"

namespace tarnvick {

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
    case ErrorKind::kNoFourthLevel:
      return "no fourth mip level";
    case ErrorKind::kEmptyFourthLevel:
      return "fourth mip level is empty";
    case ErrorKind::kTooFewPixels:
      return "too few pixels for four mip levels";
    case ErrorKind::kCannotWrite:
      return (target.empty() ? "cannot write: " : "cannot write " + target + ": ") + error.detail;
    case ErrorKind::kCannotList:
      return "cannot list: " + error.detail;
    case ErrorKind::kOutOfMemory:
      return "out of memory";
    case ErrorKind::kNoStartDirectory:
      return "no start directory";
    case ErrorKind::kInvalidParameter:
      return "invalid parameter: " + error.detail;
    case ErrorKind::kTwoPaletteOptions:
      return "input and output palette parameters are mutually exclusive";
  }
  return error.detail;
}

void Console::Banner() { Progress("tarnvick - M8/M32 to WAL texture converter\n\n"); }

void Console::Usage() {
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

void Console::CommandLineError(const Error& error) {
  Usage();
  if (error.kind == ErrorKind::kInvalidParameter) {
    std::fprintf(out_, "invalid parameter: %s\n", error.detail.c_str());
  } else if (error.kind == ErrorKind::kTwoPaletteOptions) {
    std::fputs("\n input (-p)  and output (-o) palette parameters are mutually exclusive\n", out_);
  }
}

void Console::Progress(const std::string& text) { std::fputs(text.c_str(), out_); }

void Console::Problem(const std::string& message) {
  // Control characters (a newline in a file name) would break the one-line format.
  std::string line = "tarnvick: ";
  for (const char c : message) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 0x01 && byte <= 0x1f) || byte == 0x7f) {
      static constexpr char kHex[] = "0123456789abcdef";
      line += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    } else {
      line += c;
    }
  }
  line += '\n';
  std::fflush(out_);
  std::fputs(line.c_str(), err_);
}

bool Console::Failed() {
  const bool out_failed = std::fflush(out_) != 0 || std::ferror(out_) != 0;
  const bool err_failed = std::fflush(err_) != 0 || std::ferror(err_) != 0;
  return out_failed || err_failed;
}

}  // namespace tarnvick
