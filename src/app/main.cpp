// The tarnvick program: converts M8 and M32 textures to WAL against one shared palette.
#include <csignal>
#include <cstdio>

#include "app/run.h"
#include "palette/color_tables.h"

namespace {

// The two colour containers live for the whole process: built before the run, torn down after.
tarnvick::ColorHistogram color_histogram;
tarnvick::RankedColors ranked_colors;

}  // namespace

int main(int argc, char** argv) {
  // A write past a file-size limit must fail like a full disk, not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  return tarnvick::Run(argc, argv, color_histogram, ranked_colors, stdout, stderr);
}
