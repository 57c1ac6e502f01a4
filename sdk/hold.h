// Undo and redo. Work between theHold.Begin() and theHold.Accept(name)
// becomes one named undo entry made of the RestoreObj records put meanwhile;
// Cancel() restores what was put since the matching Begin and drops it.
// Begin/Accept pairs nest: an inner Accept hands its records to the outer
// hold. While suspended, nothing is recorded (Holding() is false). Undo and
// redo run with recording suspended.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sdk/cstr.h"

class RestoreObj {
 public:
  virtual ~RestoreObj() = default;
  // Puts the state back as it was before the recorded change. `isUndo` is
  // true for a user undo, false for a Cancel.
  virtual void Restore(int isUndo) = 0;
  // Applies the recorded change again after an undo.
  virtual void Redo() = 0;
  // Rough memory use, for the undo buffer's accounting.
  virtual int Size() { return 1; }
  // Called when the entry holding this record is accepted.
  virtual void EndHold() {}
  virtual CStr Description() { return "RestoreObj"; }
};

class Hold {
 public:
  Hold() = default;
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  ~Hold();

  void Begin();
  // Records a change. Outside a hold (or while suspended) the record is dropped.
  void Put(std::unique_ptr<RestoreObj> rob);
  // Closes the innermost Begin; the outermost makes an entry named `name`
  // (an entry without records is not kept) and clears the redo list.
  void Accept(const char* name);
  // Restores, newest first, the records put since the innermost Begin and drops them.
  void Cancel();
  void Suspend() { ++suspend_; }
  void Resume() {
    if (suspend_ > 0) --suspend_;
  }
  bool Holding() const { return !marks_.empty() && suspend_ == 0; }
  bool IsSuspended() const { return suspend_ > 0; }

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  // Name of the entry the next Undo / Redo would apply; empty when none.
  std::string UndoName() const;
  std::string RedoName() const;
  // Restores the newest entry and moves it to the redo list; false when none.
  // Refused (false) while a hold is open.
  bool Undo();
  bool Redo();
  int NumUndoEntries() const { return static_cast<int>(undo_.size()); }
  // Drops every entry and any open hold (for new / reset / open of a scene).
  void Reset();

 private:
  struct Entry {
    std::string name;
    std::vector<std::unique_ptr<RestoreObj>> records;
  };

  std::vector<std::unique_ptr<RestoreObj>> pending_;
  std::vector<size_t> marks_;  // pending_ size at each open Begin
  int suspend_ = 0;
  std::vector<Entry> undo_;
  std::vector<Entry> redo_;
};

// The process-wide undo system.
extern Hold theHold;

// Suspends recording for its lifetime.
class HoldSuspend {
 public:
  HoldSuspend() { theHold.Suspend(); }
  ~HoldSuspend() { theHold.Resume(); }
  HoldSuspend(const HoldSuspend&) = delete;
  HoldSuspend& operator=(const HoldSuspend&) = delete;
};
