#include "palette/key_table.h"

#include "io/system.h"

namespace tarnvick {

constexpr std::size_t kTableBytes = KeyTable::kKeys * sizeof(std::uint16_t);

KeyTable& KeyTable::operator=(KeyTable&& other) noexcept {
  if (this != &other) {
    if (values_ != nullptr) UnmapZeroedMemory(values_, kTableBytes);
    values_ = other.values_;
    other.values_ = nullptr;
  }
  return *this;
}

KeyTable::~KeyTable() {
  if (values_ != nullptr) UnmapZeroedMemory(values_, kTableBytes);
}

Result<KeyTable> KeyTable::Zeroed() {
  // Zeroed pages straight from the system. (Huge pages were measured too: on the machines this was
  // tuned on, the kernel takes six times longer to clear them than ordinary pages.)
  void* mapping = MapZeroedMemory(kTableBytes);
  if (mapping == nullptr) return Fail(ErrorKind::kOutOfMemory);
  KeyTable table;
  table.values_ = static_cast<std::uint16_t*>(mapping);
  return table;
}

}  // namespace tarnvick
