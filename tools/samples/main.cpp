// tarnvick-samples: writes the sample texture library (or, with --pak, the same as one archive;
// with --pictures, the picture sample library; with --seeds, the fuzz seed corpora; with --bench,
// the benchmark library of a given size) into the directory given.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "bench_library.h"
#include "picture_library.h"
#include "sample_library.h"

namespace {

constexpr const char* kUsage =
    "usage: tarnvick-samples DIRECTORY\n       tarnvick-samples --pak DIRECTORY\n"
    "       tarnvick-samples --pictures DIRECTORY\n       tarnvick-samples --seeds DIRECTORY\n"
    "       tarnvick-samples --bench MEGABYTES DIRECTORY\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  const std::string_view mode = argc > 1 ? argv[1] : "";
  const bool known_mode = mode == "--seeds" || mode == "--pak" || mode == "--pictures" || mode == "--bench";
  // Past the mode's own word, nothing may begin with '-': never a folder named like an option.
  for (int i = known_mode ? 2 : 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      std::fprintf(stderr, "tarnvick-samples: unknown option: %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  const bool seeds = argc == 3 && mode == "--seeds";
  const bool pak = argc == 3 && mode == "--pak";
  const bool pictures = argc == 3 && mode == "--pictures";
  const bool bench = argc == 4 && mode == "--bench" && std::atoi(argv[2]) > 0;
  if (!seeds && !pak && !pictures && !bench && (known_mode || argc != 2)) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  const char* directory = argv[argc - 1];
  const bool written = seeds      ? tarnvick::samples::WriteFuzzSeeds(directory)
                       : pak      ? tarnvick::samples::WriteSampleArchive(directory)
                       : pictures ? tarnvick::samples::WritePictureLibrary(directory)
                       : bench    ? tarnvick::samples::WriteBenchLibrary(directory, static_cast<std::size_t>(std::atoi(argv[2])))
                                  : tarnvick::samples::WriteSampleLibrary(directory);
  if (!written) {
    std::fprintf(stderr, "tarnvick-samples: cannot write into %s\n", directory);
    return 1;
  }
  return 0;
}
