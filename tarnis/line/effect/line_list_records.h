// The undo records of the line effect's list of line sets:
// LinesetAddOrRemove (sets added or removed at list positions) and
// MoveLineSet (sets moved one step). Each record keeps the effect and its
// sets alive through reference holders while it exists, so a removed set
// can always come back.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "sdk/hold.h"
#include "sdk/reference.h"

namespace tarnis {

class LineManager;
class LineSet;

class LinesetAddOrRemove : public RestoreObj {
 public:
  enum class Mode { kAdd = 0, kRemove = 1 };

  // `sets` and `positions` pair up; they are sorted together by ascending
  // position (-1 = at the end of the list, for adding).
  LinesetAddOrRemove(LineManager* effect, std::span<LineSet* const> sets,
                     std::span<const int> positions, Mode mode);

  void Restore(int isUndo) override;
  void Redo() override;
  int Size() override { return 8; }
  CStr Description() override { return "LinesetAddOrRemove"; }

 private:
  void Insert();
  void Remove();

  ReferenceHolder effect_;
  std::vector<std::unique_ptr<ReferenceHolder>> sets_;
  std::vector<int> positions_;
  Mode mode_;
};

class MoveLineSet : public RestoreObj {
 public:
  // `sets` in list order; every one of them can move one step that way.
  MoveLineSet(LineManager* effect, std::span<LineSet* const> sets, bool towardsEnd);

  void Restore(int isUndo) override;
  void Redo() override;
  int Size() override { return 8 * (static_cast<int>(sets_.size()) + 1); }
  CStr Description() override { return "MoveLineSet"; }

 private:
  void Move(bool towardsEnd);

  ReferenceHolder effect_;
  std::vector<std::unique_ptr<ReferenceHolder>> sets_;
  bool towardsEnd_;
};

}  // namespace tarnis
