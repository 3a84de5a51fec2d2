#include "app/command_line.h"

#include <cstring>

namespace tarnvick {

Result<RunOptions> ParseCommandLine(int argc, const char* const* argv) {
  if (argc < 2) return Fail(ErrorKind::kNoStartDirectory);
  RunOptions options;
  options.start_directory = argv[1];
  std::optional<std::string> palette_path;
  for (int i = 2; i < argc; ++i) {
    const char* argument = argv[i];
    if (std::strlen(argument) < 2) return Fail(ErrorKind::kInvalidParameter, argument);
    if (argument[0] != '-') continue;
    switch (argument[1]) {
      case 'p':
      case 'P':
      case 'o':
      case 'O':
        if (palette_path) return Fail(ErrorKind::kTwoPaletteOptions);
        palette_path = std::string(argument + 2);
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
  options.palette_path = palette_path.value_or(kDefaultPaletteFile);
  return options;
}

int ExitCodeOf(const Error& error) {
  switch (error.kind) {
    case ErrorKind::kNoStartDirectory:
      return 1;
    case ErrorKind::kInvalidParameter:
      return 2;
    default:
      return 3;
  }
}

}  // namespace tarnvick
