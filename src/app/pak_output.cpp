#include "app/pak_output.h"

#include <algorithm>
#include <cstdint>

namespace tarnvick {
namespace {

// The largest offset a directory entry can hold: archives end there.
constexpr std::uint64_t kMostArchiveBytes = INT32_MAX;

Failure TooLarge() { return Fail(ErrorKind::kCannotWrite, "larger than 2 GiB"); }

}  // namespace

Result<std::unique_ptr<PakOutput>> PakOutput::Begin(const std::string& path) {
  Result<std::unique_ptr<AtomicFileWriter>> file = AtomicFileWriter::Begin({kWorkingDirectory, path}, LinkPolicy::kWriteThrough);
  if (!file) return Failure{file.error()};
  return std::unique_ptr<PakOutput>(new PakOutput(std::move(*file)));
}

void PakOutput::Add(const std::string& name, const std::string& key,
                    std::initializer_list<std::span<const std::uint8_t>> chunks) {
  std::uint64_t size = 0;
  for (const auto& chunk : chunks) size += chunk.size();
  if (state_ && end_ + size + kPakEntrySize * (order_.size() + 1) > kMostArchiveBytes) state_ = TooLarge();
  for (const auto& chunk : chunks) {
    if (!state_) break;
    state_ = file_->WriteAt(end_, chunk);
    end_ += chunk.size();
  }
  if (!state_) return;
  entries_.push_back({name, static_cast<std::uint32_t>(end_ - size), static_cast<std::uint32_t>(size)});
  const auto [earlier, fresh] = by_key_.try_emplace(key, order_.size());
  if (!fresh) {
    // The earlier entry leaves its place; the places after it move up by one.
    const std::size_t place = earlier->second;
    order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(place));
    for (auto& [other, at] : by_key_) at -= at > place ? 1 : 0;
    earlier->second = order_.size();
    gave_way_ = true;
  }
  order_.push_back(entries_.size() - 1);
}

Result<void> PakOutput::Close() {
  std::vector<std::uint8_t> buffer;
  std::uint64_t at = kPakHeaderSize;
  for (const std::size_t index : order_) {
    PakEntryOut& entry = entries_[index];
    if (entry.offset != at) {
      buffer.resize(entry.size);
      const Result<std::size_t> got = file_->ReadAt(entry.offset, buffer.data(), buffer.size());
      if (!got) return Failure{got.error()};
      if (*got != buffer.size()) return Fail(ErrorKind::kCannotWrite, "the archive shrank while written");
      if (Result<void> moved = file_->WriteAt(at, buffer); !moved) return moved;
      entry.offset = static_cast<std::uint32_t>(at);
    }
    at += entry.size;
  }
  end_ = at;
  return {};
}

Result<void> PakOutput::Finish() {
  if (!state_) return state_;
  if (gave_way_) {
    if (Result<void> closed = Close(); !closed) return closed;
  }
  std::vector<PakEntryOut> kept;
  kept.reserve(order_.size());
  for (const std::size_t index : order_) kept.push_back(entries_[index]);
  const std::vector<std::uint8_t> directory = EncodePakDirectory(kept);
  if (end_ + directory.size() > kMostArchiveBytes) return TooLarge();
  const auto header = EncodePakHeader(static_cast<std::uint32_t>(end_), kept.size());
  if (Result<void> written = file_->WriteAt(end_, directory); !written) return written;
  if (Result<void> written = file_->WriteAt(0, header); !written) return written;
  return file_->Commit(end_ + directory.size());
}

}  // namespace tarnvick
