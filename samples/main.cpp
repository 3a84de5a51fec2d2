// tarnvick-samples: writes the sample texture library into the directory given.
#include <cstdio>

#include "sample_library.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tarnvick-samples DIRECTORY\n", stderr);
    return 1;
  }
  if (!tarnvick::samples::WriteSampleLibrary(argv[1])) {
    std::fprintf(stderr, "tarnvick-samples: cannot write the library into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
