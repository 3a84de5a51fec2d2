#include "app/pak_output.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "texture/byte_order.h"

namespace tarnvick {
namespace {

Failure TooLarge() { return Fail(ErrorKind::kCannotWrite, "larger than 2 GiB"); }

std::uint64_t HashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

// The name field of a record, up to its zero.
std::string_view NameOf(const std::array<std::uint8_t, kPakEntrySize>& record) {
  const char* name = reinterpret_cast<const char*>(record.data());
  return {name, static_cast<std::size_t>(std::find(name, name + kPakNameField, '\0') - name)};
}

std::uint32_t OffsetOf(const std::array<std::uint8_t, kPakEntrySize>& record) { return ReadU32(record.data() + kPakNameField); }
std::uint32_t SizeOf(const std::array<std::uint8_t, kPakEntrySize>& record) { return ReadU32(record.data() + kPakNameField + 4); }

// The folders `key` lies in, outermost first ("a" and "a/b" of "a/b/c.wal").
std::vector<std::string_view> FoldersOf(std::string_view key) {
  std::vector<std::string_view> folders;
  for (std::size_t slash = key.find('/'); slash != std::string_view::npos; slash = key.find('/', slash + 1)) {
    folders.push_back(key.substr(0, slash));
  }
  return folders;
}

}  // namespace

Result<std::unique_ptr<PakOutput>> PakOutput::Begin(const std::string& path, std::uint64_t most_bytes) {
  Result<std::unique_ptr<AtomicFileWriter>> file = AtomicFileWriter::Begin({kWorkingDirectory, path}, LinkPolicy::kWriteThrough);
  if (!file) return Failure{file.error()};
  return std::unique_ptr<PakOutput>(new PakOutput(std::move(*file), std::min(most_bytes, kMostBytes)));
}

std::size_t PakOutput::Find(const std::string& key) const {
  const auto [first, last] = by_name_.equal_range(HashOf(key));
  for (auto it = first; it != last; ++it) {
    if (SameEntryName(NameOf(records_[it->second]), key)) return it->second;
  }
  return records_.size();
}

bool PakOutput::FileAndFolder(std::string_view name) const {
  const std::string key = EntryNameKey(std::string(name));
  for (const std::string_view folder : FoldersOf(key)) {
    if (Find(std::string(folder)) != records_.size()) return true;
  }
  const auto [first, last] = folders_.equal_range(HashOf(key));
  return std::any_of(first, last, [&](const auto& below) {
    const std::string_view other = NameOf(records_[below.second]);
    return !gone_[below.second] && other.size() > key.size() && other[key.size()] == '/' &&
           SameEntryName(other.substr(0, key.size()), key);
  });
}

void PakOutput::Remove(std::string_view name) { TakeBack(EntryNameKey(std::string(name))); }

bool PakOutput::TakeBack(const std::string& key) {
  const std::size_t place = Find(key);
  if (place == records_.size()) return false;
  const auto [first, last] = by_name_.equal_range(HashOf(key));
  for (auto it = first; it != last; ++it) {
    if (it->second == place) {
      by_name_.erase(it);
      break;
    }
  }
  gone_[place] = true;
  ++gone_count_;
  --kept_;
  kept_bytes_ -= SizeOf(records_[place]);
  return true;
}

bool PakOutput::Add(std::string_view name, std::initializer_list<std::span<const std::uint8_t>> chunks) {
  if (!state_) return false;
  std::uint64_t size = 0;
  for (const auto& chunk : chunks) size += chunk.size();
  const std::string key = EntryNameKey(std::string(name));
  const bool gives_way = TakeBack(key);
  // The archive as it will be written: the entries kept, this one, and their directory.
  if (kPakHeaderSize + kept_bytes_ + size + kPakEntrySize * (kept_ + 1) > most_bytes_) {
    state_ = TooLarge();
    return gives_way;
  }
  // The temporary file holds the entries that gave way too: moved down when it would pass the
  // offsets a directory holds.
  if (end_ + size > most_bytes_) state_ = Close();
  for (const auto& chunk : chunks) {
    if (!state_) return gives_way;
    state_ = file_->WriteAt(end_, chunk);
    end_ += chunk.size();
  }
  if (!state_) return gives_way;
  const Record record = EncodePakEntry(name, static_cast<std::uint32_t>(end_ - size), static_cast<std::uint32_t>(size));
  const auto place = static_cast<std::uint32_t>(records_.size());
  records_.push_back(record);
  gone_.push_back(false);
  Index(place);
  ++kept_;
  kept_bytes_ += size;
  return gives_way;
}

void PakOutput::Index(std::uint32_t place) {
  const std::string key = EntryNameKey(std::string(NameOf(records_[place])));
  by_name_.emplace(HashOf(key), place);
  for (const std::string_view folder : FoldersOf(key)) {
    const auto [first, last] = folders_.equal_range(HashOf(folder));
    const bool known = std::any_of(first, last, [&](const auto& below) {
      return !gone_[below.second] && SameEntryName(NameOf(records_[below.second]).substr(0, folder.size() + 1),
                                                   key.substr(0, folder.size() + 1));
    });
    if (!known) folders_.emplace(HashOf(folder), place);
  }
}

Result<void> PakOutput::Close() {
  std::vector<std::uint8_t> buffer;
  std::uint64_t at = kPakHeaderSize;
  std::vector<Record> kept;
  kept.reserve(kept_);
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (gone_[i]) continue;
    Record record = records_[i];
    const std::uint32_t offset = OffsetOf(record), size = SizeOf(record);
    if (offset != at) {
      buffer.resize(size);
      const Result<std::size_t> got = file_->ReadAt(offset, buffer.data(), buffer.size());
      if (!got) return Failure{got.error()};
      if (*got != buffer.size()) return Fail(ErrorKind::kCannotWrite, "the archive shrank while written");
      if (Result<void> moved = file_->WriteAt(at, buffer); !moved) return moved;
      WriteU32(record.data() + kPakNameField, static_cast<std::uint32_t>(at));
    }
    kept.push_back(record);
    at += size;
  }
  end_ = at;
  // The places change: the names and folders are found again from the records kept.
  records_ = std::move(kept);
  gone_.assign(records_.size(), false);
  gone_count_ = 0;
  by_name_.clear();
  folders_.clear();
  for (std::size_t place = 0; place < records_.size(); ++place) Index(static_cast<std::uint32_t>(place));
  return {};
}

Result<void> PakOutput::Finish() {
  if (!state_) return state_;
  if (gone_count_ > 0) {
    if (Result<void> closed = Close(); !closed) return closed;
  }
  std::vector<std::uint8_t> directory;
  directory.reserve(records_.size() * kPakEntrySize);
  for (const Record& record : records_) directory.insert(directory.end(), record.begin(), record.end());
  if (end_ + directory.size() > most_bytes_) return TooLarge();
  const auto header = EncodePakHeader(static_cast<std::uint32_t>(end_), records_.size());
  if (Result<void> written = file_->WriteAt(end_, directory); !written) return written;
  if (Result<void> written = file_->WriteAt(0, header); !written) return written;
  return file_->Commit(end_ + directory.size());
}

}  // namespace tarnvick
