// The conversion walk: every source converted and its WAL written, on the run's threads, with its
// skipped lines in walk order; and what the run's summary and preview need of it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/console.h"
#include "app/preview.h"
#include "app/report_table.h"
#include "convert/conversion_error.h"
#include "palette/palette.h"

namespace tarnvick {

struct ConversionReport {
  std::size_t converted = 0;  // WALs written (or found already holding their bytes)
  std::size_t skipped = 0;    // skipped lines, write failures included
  bool incomplete = false;    // a WAL could not be written, or a source not read for want of resources
  ConversionError total;      // over every converted texture
  ConversionError worst;      // of the texture with the largest mean squared error
  std::string worst_path;     // its source, the first in walk order on ties
  ConversionError blurred_worst;     // when dithering: of the texture with the largest blurred error
  std::string blurred_worst_path;    // its source, the first in walk order on ties
  std::optional<Preview> preview;      // when one was asked for
  std::optional<ReportTable> table;    // when a report was asked for
};

// Converts every source under the start directory against `palette`. The quality figures are
// measured only when `measure` is set, or a preview or report is asked for (the blurred ones
// too when dithering). Tells when a source
// replaces the WAL an earlier one made, when a name was cut, and when no source was met at all.
ConversionReport ConvertSources(const RunOptions& options, const Palette& palette, bool measure, Console& console);

}  // namespace tarnvick
