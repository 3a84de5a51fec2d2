#include "app/command_line.h"

#include <charconv>
#include <optional>
#include <cstring>
#include <string_view>

namespace tarnvick {

namespace {

// The N of "--jobs=N": decimal digits, at least 1; nothing when the value is not that.
std::optional<int> ParseJobs(std::string_view value) {
  if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  int jobs = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
  if (error != std::errc() || end != value.data() + value.size() || jobs < 1) return std::nullopt;
  return jobs;
}

// The help or version request among the arguments: the first of them wins. As the first argument
// only the exact words count; after it, -h in any case with anything after it is help too.
std::optional<RunOptions::Request> Request(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--version") return RunOptions::Request::kVersion;
    if (argument == "--help" || argument == "-h") return RunOptions::Request::kHelp;
    if (i > 1 && argument.size() >= 2 && argument[0] == '-' && (argument[1] == 'h' || argument[1] == 'H')) {
      return RunOptions::Request::kHelp;
    }
  }
  return std::nullopt;
}

// Reads the command line after the start directory, one argument at a time.
class Parser {
 public:
  Parser(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

  Result<RunOptions> Parse() {
    options_.jobs = ProcessorsAvailable();
    options_.start_directory = argv_[1];
    for (index_ = 2; index_ < argc_; ++index_) {
      const std::string_view argument = argv_[index_];
      Result<void> parsed = argument.size() < 2                 ? Fail(ErrorKind::kInvalidParameter, std::string(argument))
                            : argument.starts_with("--")        ? Long(argument)
                            : argument[0] == '-'                ? Short(argument)
                                                                : Ignore(false, argument);
      if (!parsed) return Failure{parsed.error()};
    }
    // A method for a palette that is read is checked once the whole line is known.
    if (method_argument_ && !options_.generate) return Fail(ErrorKind::kMethodWithReadPalette, *method_argument_);
    options_.palette_path = palette_path_.value_or(kDefaultPaletteFile);
    return options_;
  }

 private:
  Failure Invalid(std::string_view argument) { return Fail(ErrorKind::kInvalidParameter, std::string(argument)); }

  // The value after a palette option without a glued one: the next argument, unless there is
  // none or it begins with '-'.
  std::optional<std::string> SeparateValue() {
    if (index_ + 1 >= argc_ || argv_[index_ + 1][0] == '-') return std::nullopt;
    return std::string(argv_[++index_]);
  }

  Result<void> Ignore(bool unknown_option, std::string_view argument) {
    options_.ignored.push_back({unknown_option, std::string(argument)});
    return {};
  }

  Result<void> SetPalette(std::string path, bool generate) {
    if (palette_path_) return Fail(ErrorKind::kTwoPaletteOptions);
    palette_path_ = std::move(path);
    options_.generate = generate;
    return {};
  }

  Result<void> Short(std::string_view argument) {
    switch (argument[1]) {
      case 'p':
      case 'P':
      case 'o':
      case 'O': {
        std::string value(argument.substr(2));
        if (value.empty()) value = SeparateValue().value_or("");
        return SetPalette(std::move(value), argument[1] == 'o' || argument[1] == 'O');
      }
      case 's':
      case 'S':
        options_.recurse = true;
        return {};
      case 'v':
      case 'V':
        options_.verbose = true;
        return {};
      default:
        return Ignore(true, argument);
    }
  }

  Result<void> Long(std::string_view argument) {
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    const bool has_value = equals != std::string_view::npos;
    std::string value(has_value ? argument.substr(equals + 1) : std::string_view());
    if (name == "--palette" || name == "--write-palette" || name == "--report") {
      if (!has_value) value = SeparateValue().value_or("");
      if (value.empty()) return Invalid(argument);
      if (name != "--report") return SetPalette(std::move(value), name == "--write-palette");
      options_.report_path = std::move(value);
      return {};
    }
    for (const auto& [flag, set] : {std::pair{"--recursive", &options_.recurse}, {"--verbose", &options_.verbose},
                                    {"--transparent", &options_.transparent}, {"--pictures", &options_.pictures},
                                    {"--remake-mips", &options_.remake_mips}}) {
      if (name == flag && !has_value) {
        *set = true;
        return {};
      }
    }
    if (name == "--output-dir" || name == "--output-pak") {
      if (!has_value) value = SeparateValue().value_or("");
      const bool pak = name == "--output-pak";
      // WALs go to one place: files below a folder, or entries of an archive.
      if (value.empty() || (pak ? options_.output_directory : options_.output_pak)) return Invalid(argument);
      (pak ? options_.output_pak : options_.output_directory) = std::move(value);
      return {};
    }
    if (name == "--jobs") {
      if (const std::optional<int> jobs = ParseJobs(value)) {
        options_.jobs = *jobs;
        return {};
      }
    }
    if (name == "--dither" && (!has_value || value == "tiled" || value == "diffusion")) {
      options_.dither = value == "diffusion" ? Dither::kDiffusion : Dither::kTiled;
      return {};
    }
    if (name == "--true-colour" && (value == "png" || value == "tga")) {
      options_.true_colour = value == "png" ? PictureForm::kPng : PictureForm::kTga;
      return {};
    }
    if (name == "--flags" && (value == "quake2" || value == "keep")) {
      options_.quake2_flags = value == "quake2";
      return {};
    }
    if (name == "--preview" && !value.empty()) {
      options_.preview_path = value;
      return {};
    }
    if (name == "--palette-method" && (value == "popularity" || value == "median-cut")) {
      options_.palette_method = value == "popularity" ? PaletteMethod::kPopularity : PaletteMethod::kMedianCut;
      method_argument_ = std::string(argument);
      return {};
    }
    return Invalid(argument);
  }

  const int argc_;
  const char* const* argv_;
  int index_ = 2;
  RunOptions options_;
  std::optional<std::string> palette_path_;
  std::optional<std::string> method_argument_;
};

}  // namespace

Result<RunOptions> ParseCommandLine(int argc, const char* const* argv) {
  if (const std::optional<RunOptions::Request> request = Request(argc, argv)) {
    RunOptions options;
    options.request = *request;
    return options;
  }
  if (argc < 2) return Fail(ErrorKind::kNoStartDirectory);
  return Parser(argc, argv).Parse();
}

int ExitCodeOf(const Error& error) {
  switch (error.kind) {
    case ErrorKind::kNoStartDirectory:
      return 1;
    case ErrorKind::kInvalidParameter:
    case ErrorKind::kMethodWithReadPalette:
      return 2;
    default:
      return 3;
  }
}

}  // namespace tarnvick
