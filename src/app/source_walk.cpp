#include "app/source_walk.h"

#include <unordered_map>

namespace tarnvick {

void WalkSources(const RunOptions& options, Console& console,
                 const std::function<FileJob(const SourceFile& file)>& job_for,
                 const std::function<std::string(const SourceFile& file)>& serial_key) {
  OrderedRunner runner(options.jobs);
  // The last item of each serial key in the directory whose files are being handed over.
  const ScopedFile* directory = nullptr;
  std::unordered_map<std::string, std::size_t> last_of_key;
  WalkDirectory(options.start_directory, options.recurse,
                {.entered =
                     [&](const std::string& path) {
                       if (!options.verbose) return;
                       runner.Add({}, [&console, line = "\n\t" + path + "..."] { console.Progress(line); });
                     },
                 .unreadable =
                     [&](const std::string& path, const Error& error) {
                       runner.Add({}, [&console, line = "cannot read directory: " + path + ": " + error.detail] {
                         console.Problem(line);
                       });
                     },
                 .file =
                     [&](const SourceFile& file) {
                       FileJob job = job_for(file);
                       if (!serial_key) {
                         runner.Add(std::move(job.work), std::move(job.commit));
                         return;
                       }
                       if (file.directory.get() != directory) {
                         directory = file.directory.get();
                         last_of_key.clear();
                       }
                       const std::string key = serial_key(file);
                       const auto last = last_of_key.find(key);
                       const std::optional<std::size_t> after =
                           last == last_of_key.end() ? std::nullopt : std::optional(last->second);
                       last_of_key[key] = runner.Add(std::move(job.work), std::move(job.commit), after);
                     }});
  runner.Finish();
}

}  // namespace tarnvick
