// tarnvick-samples: writes the sample texture library (or, with --seeds, the fuzz seed corpora;
// with --bench, the benchmark library of a given size) into the directory given.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_library.h"
#include "sample_library.h"

int main(int argc, char** argv) {
  const bool seeds = argc == 3 && std::strcmp(argv[1], "--seeds") == 0;
  const bool bench = argc == 4 && std::strcmp(argv[1], "--bench") == 0 && std::atoi(argv[2]) > 0;
  if (argc != 2 && !seeds && !bench) {
    std::fputs("usage: tarnvick-samples DIRECTORY\n       tarnvick-samples --seeds DIRECTORY\n"
               "       tarnvick-samples --bench MEGABYTES DIRECTORY\n", stderr);
    return 1;
  }
  const char* directory = argv[argc - 1];
  const bool written = seeds   ? tarnvick::samples::WriteFuzzSeeds(directory)
                       : bench ? tarnvick::samples::WriteBenchLibrary(directory, static_cast<std::size_t>(std::atoi(argv[2])))
                               : tarnvick::samples::WriteSampleLibrary(directory);
  if (!written) {
    std::fprintf(stderr, "tarnvick-samples: cannot write into %s\n", directory);
    return 1;
  }
  return 0;
}
