#include "app/source_walk.h"

#include <chrono>
#include <unordered_map>

namespace tarnvick {

namespace {

// The source files under the start directory, counted by a walk of their names only.
std::size_t CountSources(const RunOptions& options) {
  std::size_t count = 0;
  WalkDirectory(options.start_directory, options.recurse,
                {.entered = [](const std::string&) {},
                 .unreadable = [](const std::string&, const Error&) {},
                 .file = [&count](const SourceFile&) { ++count; }});
  return count;
}

// The live line of a walk: files done of the total, redrawn at most ten times a second.
class LiveCount {
 public:
  LiveCount(const RunOptions& options, Console& console, std::string phase)
      : console_(console), phase_(std::move(phase)), total_(console.ErrorIsTerminal() ? CountSources(options) : 0) {}

  void Done() {
    ++done_;
    if (!console_.ErrorIsTerminal()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    console_.Live("tarnvick: " + phase_ + ", " + std::to_string(done_) + " of " + std::to_string(total_) + " files");
  }

 private:
  Console& console_;
  const std::string phase_;
  const std::size_t total_;
  std::size_t done_ = 0;
  std::chrono::steady_clock::time_point drawn_{};
};

}  // namespace

void WalkSources(const RunOptions& options, Console& console,
                 const std::function<FileJob(const SourceFile& file)>& job_for,
                 const std::function<std::string(const SourceFile& file)>& serial_key, const std::string& phase) {
  LiveCount live(options, console, phase);
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
                       job.commit = [&live, commit = std::move(job.commit)] {
                         commit();
                         live.Done();
                       };
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
