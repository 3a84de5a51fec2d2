// The archive a run writes with --output-pak: every WAL it makes, each an entry named by its path,
// in the order they come; the bytes go to a temporary file as they come and the archive replaces
// its path only once it is complete.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "io/atomic_file.h"
#include "io/error.h"
#include "texture/pak_format.h"

namespace tarnvick {

// The most entries Quake 2 reads from one archive.
inline constexpr std::size_t kQuake2MostEntries = 4096;

class PakOutput {
 public:
  // Starts the archive that is to be `path`. Fails as AtomicFileWriter::Begin does.
  static Result<std::unique_ptr<PakOutput>> Begin(const std::string& path);

  // Stores the entry `name` (at most 55 bytes, '/' between folders), the chunks one after the
  // other. An entry stored before with the same `key` gives way: the new bytes are stored at the
  // new place. Once a write has failed, or the archive has passed 2 GiB, nothing more is written.
  void Add(const std::string& name, const std::string& key, std::initializer_list<std::span<const std::uint8_t>> chunks);

  // The entries stored.
  std::size_t Entries() const { return order_.size(); }

  // Writes the directory and puts the archive in place. Fails with kCannotWrite and the reason:
  // `larger than 2 GiB`, or the system's text.
  Result<void> Finish();

 private:
  explicit PakOutput(std::unique_ptr<AtomicFileWriter> file) : file_(std::move(file)) {}

  // Moves the entries that follow a given-way one down over it, so the data stays back to back.
  Result<void> Close();

  std::unique_ptr<AtomicFileWriter> file_;
  std::vector<PakEntryOut> entries_;         // every entry stored, given way or not
  std::vector<std::size_t> order_;           // the entries kept, in order (indices into entries_)
  std::unordered_map<std::string, std::size_t> by_key_;  // key -> its place in order_
  std::uint64_t end_ = kPakHeaderSize;       // where the next entry's data goes
  bool gave_way_ = false;
  Result<void> state_;                       // the first failure
};

}  // namespace tarnvick
