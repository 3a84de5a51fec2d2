#include "app/command_line.h"

#include <sched.h>

#include <charconv>
#include <cstring>
#include <string_view>

namespace tarnvick {

int ProcessorsAvailable() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return CPU_COUNT(&set) > 0 ? CPU_COUNT(&set) : 1;
}

namespace {

// The N of "--jobs=N": decimal digits, at least 1.
bool ParseJobs(std::string_view value, int& jobs) {
  if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos) return false;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
  return error == std::errc() && end == value.data() + value.size() && jobs >= 1;
}

}  // namespace

Result<RunOptions> ParseCommandLine(int argc, const char* const* argv) {
  if (argc < 2) return Fail(ErrorKind::kNoStartDirectory);
  RunOptions options;
  options.jobs = ProcessorsAvailable();
  options.start_directory = argv[1];
  std::optional<std::string> palette_path;
  for (int i = 2; i < argc; ++i) {
    const char* argument = argv[i];
    if (std::strlen(argument) < 2) return Fail(ErrorKind::kInvalidParameter, argument);
    if (argument[0] != '-') continue;
    if (const std::string_view text(argument); text.starts_with("--jobs=")) {
      if (!ParseJobs(text.substr(7), options.jobs)) return Fail(ErrorKind::kInvalidParameter, argument);
      continue;
    }
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
