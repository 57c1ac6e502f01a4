// MemorySave and MemoryLoad: the chunk streams over byte buffers that scene
// files, clipboards and tests use. Every length read from a buffer is checked
// against the bytes of the enclosing chunk before it is used.
#include "sdk/save_load.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

#include "sdk/check.h"

// Values are written in host order; the format is little-endian, so a
// big-endian build must not silently write the other order.
static_assert(std::endian::native == std::endian::little,
              "the chunk format is little-endian; add byte swapping for this host");

namespace {

constexpr size_t kHeaderSize = sizeof(uint16_t) + sizeof(uint32_t);

}  // namespace

IOResult ISave::WriteString(std::string_view s) {
  TARNIS_CHECK(s.size() <= std::numeric_limits<uint32_t>::max()) << "string too long to save";
  IOResult r = WriteUInt(static_cast<uint32_t>(s.size()));
  if (r != IO_OK) return r;
  return Write(s.data(), s.size());
}

IOResult ILoad::ReadString(std::string& s) {
  uint32_t n = 0;
  if (BytesLeft() < sizeof n) return IO_ERROR;
  if (ReadUInt(n) != IO_OK) return IO_ERROR;
  // Checked before allocating, so a damaged length cannot ask for gigabytes.
  if (n > BytesLeft()) return IO_ERROR;
  std::string text(n, '\0');
  if (Read(text.data(), n) != IO_OK) return IO_ERROR;
  s = std::move(text);
  return IO_OK;
}

// --- MemorySave ------------------------------------------------------------

void MemorySave::BeginChunk(uint16_t id) {
  uint8_t header[kHeaderSize] = {};
  std::memcpy(header, &id, sizeof id);
  bytes_.insert(bytes_.end(), header, header + kHeaderSize);
  open_.push_back(bytes_.size() - sizeof(uint32_t));
}

void MemorySave::EndChunk() {
  TARNIS_CHECK(!open_.empty()) << "EndChunk without BeginChunk";
  size_t lengthAt = open_.back();
  open_.pop_back();
  size_t payload = bytes_.size() - (lengthAt + sizeof(uint32_t));
  TARNIS_CHECK(payload <= std::numeric_limits<uint32_t>::max()) << "chunk larger than 4 GiB";
  uint32_t length = static_cast<uint32_t>(payload);
  std::memcpy(bytes_.data() + lengthAt, &length, sizeof length);
}

IOResult MemorySave::Write(const void* data, size_t n) {
  if (n == 0) return IO_OK;
  TARNIS_CHECK(data != nullptr) << "Write of " << n << " bytes from null";
  const auto* p = static_cast<const uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + n);
  return IO_OK;
}

uint32_t MemorySave::GetRefID(ReferenceTarget* target) {
  if (target == nullptr) return kNoHandle;
  auto it = handles_.find(target);
  return it == handles_.end() ? kNoHandle : it->second;
}

void MemorySave::SetHandle(ReferenceTarget* target, uint32_t handle) {
  TARNIS_CHECK(target != nullptr) << "handle for a null object";
  handles_[target] = handle;
}

void MemorySave::ClearHandles() {
  handles_.clear();
}

const std::vector<uint8_t>& MemorySave::Bytes() const {
  TARNIS_CHECK(open_.empty()) << open_.size() << " chunk(s) still open";
  return bytes_;
}

// --- MemoryLoad ------------------------------------------------------------

MemoryLoad::MemoryLoad(std::span<const uint8_t> bytes) : bytes_(bytes) {}

MemoryLoad::~MemoryLoad() = default;

size_t MemoryLoad::LevelEnd() const {
  return stack_.empty() ? bytes_.size() : stack_.back().end;
}

IOResult MemoryLoad::OpenChunk() {
  size_t end = LevelEnd();
  if (pos_ >= end) return IO_END;
  if (end - pos_ < kHeaderSize) return IO_ERROR;
  uint16_t id = 0;
  uint32_t length = 0;
  std::memcpy(&id, bytes_.data() + pos_, sizeof id);
  std::memcpy(&length, bytes_.data() + pos_ + sizeof id, sizeof length);
  size_t begin = pos_ + kHeaderSize;
  if (length > end - begin) return IO_ERROR;
  stack_.push_back({id, begin, begin + length});
  pos_ = begin;
  return IO_OK;
}

uint16_t MemoryLoad::CurChunkID() {
  return stack_.empty() ? 0 : stack_.back().id;
}

uint32_t MemoryLoad::CurChunkLength() {
  return stack_.empty() ? 0 : static_cast<uint32_t>(stack_.back().end - stack_.back().begin);
}

IOResult MemoryLoad::CloseChunk() {
  if (stack_.empty()) return IO_ERROR;
  pos_ = stack_.back().end;
  stack_.pop_back();
  return IO_OK;
}

size_t MemoryLoad::BytesLeft() {
  size_t end = LevelEnd();
  return pos_ < end ? end - pos_ : 0;
}

IOResult MemoryLoad::Read(void* data, size_t n) {
  if (n == 0) return IO_OK;
  if (n > BytesLeft()) return IO_ERROR;
  TARNIS_CHECK(data != nullptr) << "Read of " << n << " bytes into null";
  std::memcpy(data, bytes_.data() + pos_, n);
  pos_ += n;
  return IO_OK;
}

ReferenceTarget* MemoryLoad::GetObjectByHandle(uint32_t handle) {
  auto it = objects_.find(handle);
  return it == objects_.end() ? nullptr : it->second;
}

void MemoryLoad::RegisterPostLoadCallback(std::unique_ptr<PostLoadCallback> cb) {
  if (cb) callbacks_.push_back(std::move(cb));
}

void MemoryLoad::LogWarning(const std::string& text) {
  warnings_.push_back(text);
}

void MemoryLoad::SetObject(uint32_t handle, ReferenceTarget* target) {
  if (target == nullptr) {
    objects_.erase(handle);
  } else {
    objects_[handle] = target;
  }
}

void MemoryLoad::ForgetObjects() {
  objects_.clear();
}

void MemoryLoad::RunPostLoadCallbacks() {
  // A callback may register further callbacks; they run after the current
  // batch, again ordered by priority.
  while (!callbacks_.empty()) {
    std::vector<std::unique_ptr<PostLoadCallback>> batch = std::move(callbacks_);
    callbacks_.clear();
    std::vector<std::pair<int, size_t>> order;
    order.reserve(batch.size());
    for (size_t i = 0; i < batch.size(); ++i) order.emplace_back(batch[i]->Priority(), i);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [priority, index] : order) batch[index]->proc(this);
  }
}

void MemoryLoad::DropPostLoadCallbacks() {
  callbacks_.clear();
}
