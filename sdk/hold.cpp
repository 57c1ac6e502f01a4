// The undo system: open holds collect RestoreObj records, the outermost
// Accept turns them into a named undo entry, Undo and Redo move entries
// between the two lists.
#include "sdk/hold.h"

#include <utility>

Hold theHold;

namespace {

using Records = std::vector<std::unique_ptr<RestoreObj>>;

// Restores newest first with recording suspended, so the restoring itself
// leaves no records behind.
void restoreAll(Hold& hold, Records& records, int isUndo) {
  hold.Suspend();
  for (auto it = records.rbegin(); it != records.rend(); ++it) (*it)->Restore(isUndo);
  hold.Resume();
}

}  // namespace

// Records may hold references; dropping them here, while this object is
// still whole, lets the targets they kept alive be freed cleanly.
Hold::~Hold() {
  Reset();
}

void Hold::Begin() {
  marks_.push_back(pending_.size());
}

void Hold::Put(std::unique_ptr<RestoreObj> rob) {
  if (rob && Holding()) pending_.push_back(std::move(rob));
}

void Hold::Accept(const char* name) {
  if (marks_.empty()) return;
  marks_.pop_back();
  if (!marks_.empty()) return;  // the records now belong to the enclosing hold
  Entry entry{name ? name : "", std::move(pending_)};
  pending_.clear();
  for (auto& record : entry.records) record->EndHold();
  // A hold that recorded nothing changed nothing undo knows of, so what
  // could be redone still applies.
  if (entry.records.empty()) return;
  undo_.push_back(std::move(entry));
  std::vector<Entry> dropped = std::move(redo_);  // destroyed after redo_ is consistent again
  redo_.clear();
}

void Hold::Cancel() {
  if (marks_.empty()) return;
  const size_t mark = marks_.back();
  marks_.pop_back();
  // Moved out first: restoring must not see or change the list it walks.
  Records records(std::make_move_iterator(pending_.begin() + static_cast<std::ptrdiff_t>(mark)),
                  std::make_move_iterator(pending_.end()));
  pending_.resize(mark);
  restoreAll(*this, records, 0);
}

std::string Hold::UndoName() const {
  return undo_.empty() ? std::string() : undo_.back().name;
}

std::string Hold::RedoName() const {
  return redo_.empty() ? std::string() : redo_.back().name;
}

bool Hold::Undo() {
  if (!marks_.empty() || undo_.empty()) return false;
  Entry entry = std::move(undo_.back());
  undo_.pop_back();
  restoreAll(*this, entry.records, 1);
  redo_.push_back(std::move(entry));
  return true;
}

bool Hold::Redo() {
  if (!marks_.empty() || redo_.empty()) return false;
  Entry entry = std::move(redo_.back());
  redo_.pop_back();
  Suspend();
  for (auto& record : entry.records) record->Redo();
  Resume();
  undo_.push_back(std::move(entry));
  return true;
}

void Hold::Reset() {
  // Taken out before they are destroyed: a record's destructor may free
  // objects whose own teardown asks theHold whether it is holding.
  Records pending = std::move(pending_);
  std::vector<Entry> undo = std::move(undo_);
  std::vector<Entry> redo = std::move(redo_);
  pending_.clear();
  undo_.clear();
  redo_.clear();
  marks_.clear();
}
