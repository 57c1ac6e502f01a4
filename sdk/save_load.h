// Chunked binary streams for saving objects (ISave) and loading them (ILoad).
//
// A chunk is a 16-bit id, a 32-bit payload length and the payload, which is
// either raw data or further chunks. Readers never trust a length or count
// from the stream: every read is checked against the bytes left in the
// enclosing chunk, so truncated or corrupted input gives IO_ERROR, never a
// read outside the buffer.
//
// References between objects are not written by the objects themselves: the
// graph writer (ref_graph.h) gives every object of a graph a handle and saves
// reference slots by handle, so sharing and cycles survive a round trip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sdk/reference.h"

class ReferenceTarget;
class ILoad;

// Work to do after a whole file has been read (repairs of old layouts and the
// like). Registered during Load; run once, by Priority() and then in
// registration order, after every object has been loaded and its references
// attached.
class PostLoadCallback {
 public:
  virtual ~PostLoadCallback() = default;
  virtual void proc(ILoad* iload) = 0;
  // Lower numbers run first; equal priorities keep registration order.
  virtual int Priority() { return 5; }
};

class ISave {
 public:
  virtual ~ISave() = default;

  virtual void BeginChunk(uint16_t id) = 0;
  virtual void EndChunk() = 0;
  // Raw bytes into the current chunk.
  virtual IOResult Write(const void* data, size_t n) = 0;

  IOResult WriteInt(int32_t v) { return Write(&v, sizeof v); }
  IOResult WriteUInt(uint32_t v) { return Write(&v, sizeof v); }
  IOResult WriteInt64(int64_t v) { return Write(&v, sizeof v); }
  IOResult WriteFloat(float v) { return Write(&v, sizeof v); }
  IOResult WriteDouble(double v) { return Write(&v, sizeof v); }
  // A 32-bit length followed by the bytes (no terminator).
  IOResult WriteString(std::string_view s);

  // The handle of an object in the graph being saved, or kNoHandle for null
  // or for an object outside the graph.
  virtual uint32_t GetRefID(ReferenceTarget* target) = 0;
  static constexpr uint32_t kNoHandle = 0xFFFFFFFFu;
};

class ILoad {
 public:
  virtual ~ILoad() = default;

  // Enters the next chunk of the current level: IO_OK, IO_END when the level
  // has no more chunks, IO_ERROR when the header is damaged.
  virtual IOResult OpenChunk() = 0;
  // Id and payload length of the chunk last opened.
  virtual uint16_t CurChunkID() = 0;
  virtual uint32_t CurChunkLength() = 0;
  // Leaves the current chunk, skipping what was not read.
  virtual IOResult CloseChunk() = 0;
  // Bytes of the current chunk not read yet.
  virtual size_t BytesLeft() = 0;
  // Reads exactly n bytes of the current chunk; IO_ERROR when fewer are left
  // (nothing is read then).
  virtual IOResult Read(void* data, size_t n) = 0;

  IOResult ReadInt(int32_t& v) { return Read(&v, sizeof v); }
  IOResult ReadUInt(uint32_t& v) { return Read(&v, sizeof v); }
  IOResult ReadInt64(int64_t& v) { return Read(&v, sizeof v); }
  IOResult ReadFloat(float& v) { return Read(&v, sizeof v); }
  IOResult ReadDouble(double& v) { return Read(&v, sizeof v); }
  // Reads what WriteString wrote; a length beyond the chunk is IO_ERROR.
  IOResult ReadString(std::string& s);

  // The object loaded under `handle`, or null (unknown handle, or not made yet).
  virtual ReferenceTarget* GetObjectByHandle(uint32_t handle) = 0;
  virtual void RegisterPostLoadCallback(std::unique_ptr<PostLoadCallback> cb) = 0;
  // A message about damaged or unreadable data, kept for the caller's report.
  virtual void LogWarning(const std::string& text) = 0;
};

// ISave over a growing byte buffer.
class MemorySave : public ISave {
 public:
  void BeginChunk(uint16_t id) override;
  void EndChunk() override;
  IOResult Write(const void* data, size_t n) override;
  uint32_t GetRefID(ReferenceTarget* target) override;

  // Handles for GetRefID; the graph writer fills this.
  void SetHandle(ReferenceTarget* target, uint32_t handle);
  // Forgets every handle (the graph writer starts each graph with this).
  void ClearHandles();
  // Number of chunks begun and not ended yet.
  int Depth() const { return static_cast<int>(open_.size()); }

  // The bytes written; every chunk must be closed (contract).
  const std::vector<uint8_t>& Bytes() const;

 private:
  std::vector<uint8_t> bytes_;
  std::vector<size_t> open_;  // offsets of the length fields of open chunks
  std::unordered_map<ReferenceTarget*, uint32_t> handles_;
};

// ILoad over a byte buffer the caller keeps alive.
class MemoryLoad : public ILoad {
 public:
  explicit MemoryLoad(std::span<const uint8_t> bytes);
  ~MemoryLoad() override;

  IOResult OpenChunk() override;
  uint16_t CurChunkID() override;
  uint32_t CurChunkLength() override;
  IOResult CloseChunk() override;
  size_t BytesLeft() override;
  IOResult Read(void* data, size_t n) override;
  ReferenceTarget* GetObjectByHandle(uint32_t handle) override;
  void RegisterPostLoadCallback(std::unique_ptr<PostLoadCallback> cb) override;
  void LogWarning(const std::string& text) override;

  // For the graph reader.
  void SetObject(uint32_t handle, ReferenceTarget* target);
  // Forgets every handle given with SetObject (the graph reader does this when
  // it is done, so no handle leads to an object that may be freed later).
  void ForgetObjects();
  // Runs and drops the registered post-load callbacks (priority, then order).
  // Callbacks registered while they run are run after them.
  void RunPostLoadCallbacks();
  // Drops the registered callbacks without running them (after a failed load).
  void DropPostLoadCallbacks();
  const std::vector<std::string>& Warnings() const { return warnings_; }
  // Current nesting depth (0 outside any chunk).
  int Depth() const { return static_cast<int>(stack_.size()); }

 private:
  struct Open {
    uint16_t id;
    size_t begin;  // first payload byte
    size_t end;    // one past the last payload byte
  };

  // One past the last byte the current level may use.
  size_t LevelEnd() const;

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  std::vector<Open> stack_;
  std::unordered_map<uint32_t, ReferenceTarget*> objects_;
  std::vector<std::unique_ptr<PostLoadCallback>> callbacks_;
  std::vector<std::string> warnings_;
};
