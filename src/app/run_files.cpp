#include "app/run_files.h"

#include <optional>

#include "io/system.h"
#include "texture/pak_archive.h"

namespace tarnvick {

std::vector<std::string> NamedInputs(const RunOptions& options) {
  std::vector<std::string> inputs;
  if (!options.generate) {
    inputs.push_back(options.palette_path);
    if (const std::optional<std::size_t> archive = ArchivePrefix(options.palette_path)) {
      inputs.push_back(options.palette_path.substr(0, *archive));
    }
  }
  if (KindOfPath(options.start_directory) != PathKind::kDirectory) inputs.push_back(options.start_directory);
  return inputs;
}

std::vector<NamedOutput> NamedOutputs(const RunOptions& options) {
  std::vector<NamedOutput> outputs;
  if (options.generate) outputs.push_back({"palette file", options.palette_path});
  if (options.preview_path) outputs.push_back({"preview", *options.preview_path});
  if (options.report_path) outputs.push_back({"report", *options.report_path});
  if (options.output_pak) outputs.push_back({"archive", *options.output_pak});
  return outputs;
}

std::vector<std::string> RunFiles(const RunOptions& options) {
  std::vector<std::string> files = NamedInputs(options);
  for (const NamedOutput& output : NamedOutputs(options)) files.push_back(output.path);
  return files;
}

}  // namespace tarnvick
