#include "app/run_options.h"

#include <cstring>

namespace tarnvick {

void PrintUsage(std::FILE* out) {
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
  for (const char* piece : kPieces) std::fputs(piece, out);
}

int ParseCommandLine(int argc, const char* const* argv, RunOptions& options, std::FILE* out) {
  if (argc < 2) {
    PrintUsage(out);
    return 1;
  }
  options.start_directory = argv[1];
  for (int i = 2; i < argc; ++i) {
    const char* argument = argv[i];
    if (std::strlen(argument) < 2) {
      PrintUsage(out);
      std::fprintf(out, "invalid parameter: %s\n", argument);
      return 2;
    }
    if (argument[0] != '-') continue;
    switch (argument[1]) {
      case 'p':
      case 'P':
      case 'o':
      case 'O':
        if (options.palette_path) {
          PrintUsage(out);
          std::fputs(
              "\n input (-p)  and output (-o) palette parameters are mutually exclusive\n", out);
          return 3;
        }
        options.palette_path = std::string(argument + 2);
        options.generate = argument[1] == 'o' || argument[1] == 'O';
        break;
      case 's':
      case 'S':
        options.recurse = true;
        break;
      case 'v':
      case 'V':
        options.verbose = true;
        break;
      default:
        break;
    }
  }
  if (!options.palette_path) options.palette_path = kDefaultPaletteFile;
  return 0;
}

}  // namespace tarnvick
