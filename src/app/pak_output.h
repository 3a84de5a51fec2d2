// The archive a run writes with --output-pak: every WAL it makes, each an entry named by its path,
// in the order they come; the bytes go to a temporary file as they come and the archive replaces
// its path only once it is complete. Each entry is kept in memory as the 64 bytes of its directory
// entry, and found again by a hash of its name checked against those bytes.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <string_view>
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
  // The largest offset a directory entry can hold: archives end there.
  static constexpr std::uint64_t kMostBytes = INT32_MAX;

  // Starts the archive that is to be `path`, of at most `most_bytes`. Fails as
  // AtomicFileWriter::Begin does.
  static Result<std::unique_ptr<PakOutput>> Begin(const std::string& path, std::uint64_t most_bytes = kMostBytes);

  // Whether an entry `name` would make a file and a folder of one name (ASCII case aside): an
  // entry stored is a folder of it, or it is a folder of one.
  bool FileAndFolder(std::string_view name) const;

  // Stores the entry `name` (at most 55 bytes, '/' between folders), the chunks one after the
  // other. An entry stored before under the same name (ASCII case aside) gives way: the new
  // bytes are stored at the new place. Whether one gave way. Once a write has failed, or the
  // archive would pass 2 GiB, nothing more is written.
  bool Add(std::string_view name, std::initializer_list<std::span<const std::uint8_t>> chunks);

  // Takes back the entry `name` stored before, if there is one.
  void Remove(std::string_view name);

  // The entries kept, and whether a write has failed.
  std::size_t Entries() const { return kept_; }
  bool Failed() const { return !state_; }

  // Writes the directory and puts the archive in place. Fails with kCannotWrite and the reason:
  // `larger than 2 GiB` (past `most_bytes`), or the system's text.
  Result<void> Finish();

 private:
  // One entry stored: its directory entry as it is written (the name zero-padded, its offset in
  // the file being written).
  using Record = std::array<std::uint8_t, kPakEntrySize>;

  PakOutput(std::unique_ptr<AtomicFileWriter> file, std::uint64_t most_bytes)
      : file_(std::move(file)), most_bytes_(most_bytes) {}

  // Takes back the kept entry `key` (EntryNameKey); whether there was one.
  bool TakeBack(const std::string& key);
  // The place in records_ of the kept entry `key` (EntryNameKey); records_.size() when none.
  std::size_t Find(const std::string& key) const;
  // Makes the record at `place` found by its name and its folders.
  void Index(std::uint32_t place);
  // Moves the kept entries down over those taken back, so the data lies back to back.
  Result<void> Close();

  std::unique_ptr<AtomicFileWriter> file_;
  const std::uint64_t most_bytes_;
  std::vector<Record> records_;                            // every entry stored, in order
  std::vector<bool> gone_;                                 // records_ taken back or given way
  std::size_t gone_count_ = 0;
  std::unordered_multimap<std::uint64_t, std::uint32_t> by_name_;    // name hash -> kept record
  std::unordered_multimap<std::uint64_t, std::uint32_t> folders_;    // folder hash -> a record below it
  std::size_t kept_ = 0;
  std::uint64_t kept_bytes_ = 0;             // the data of the entries kept
  std::uint64_t end_ = kPakHeaderSize;       // where the next entry's data goes
  Result<void> state_;                       // the first failure
};

}  // namespace tarnvick
