// The report of a run (--report): a CSV table with a line for each WAL written, in walk order,
// giving its source, its level-0 size and how closely it follows its source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/conversion_error.h"

namespace tarnvick {

class ReportTable {
 public:
  // With `blurred`, the table has a fifth column: the blurred PSNR.
  explicit ReportTable(bool blurred);

  // The line of a WAL made from the source at `path` (as the messages print it), `width` x
  // `height` at level 0, with the PSNR of `error` (and its blurred PSNR).
  void Add(const std::string& path, std::uint32_t width, std::uint32_t height, const ConversionError& error);

  // The file: the header line "path,width,height,psnr_db" (",blurred_psnr_db" after it with the
  // fifth column), then the lines added; a field that
  // holds a comma, a quote or a line break is quoted, its quotes doubled.
  std::vector<std::uint8_t> Bytes() const;

 private:
  bool blurred_;
  std::string text_;
};

}  // namespace tarnvick
