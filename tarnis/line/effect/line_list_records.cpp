#include "tarnis/line/effect/line_list_records.h"

#include <algorithm>
#include <numeric>

#include "sdk/check.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"

namespace tarnis {

namespace {

std::vector<std::unique_ptr<ReferenceHolder>> HoldAll(std::span<LineSet* const> sets) {
  std::vector<std::unique_ptr<ReferenceHolder>> held;
  for (LineSet* s : sets) held.push_back(std::make_unique<ReferenceHolder>(s));
  return held;
}

}  // namespace

LinesetAddOrRemove::LinesetAddOrRemove(LineManager* effect, std::span<LineSet* const> sets,
                                       std::span<const int> positions, Mode mode)
    : effect_(effect), mode_(mode) {
  TARNIS_CHECK(sets.size() == positions.size()) << "one position per line set";
  std::vector<size_t> order(sets.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return positions[a] < positions[b]; });
  for (size_t i : order) {
    sets_.push_back(std::make_unique<ReferenceHolder>(sets[i]));
    positions_.push_back(positions[i]);
  }
}

void LinesetAddOrRemove::Redo() {
  if (mode_ == Mode::kAdd) {
    Insert();
  } else {
    Remove();
  }
}

void LinesetAddOrRemove::Restore(int) {
  if (mode_ == Mode::kAdd) {
    Remove();
  } else {
    Insert();
  }
}

void LinesetAddOrRemove::Insert() {
  auto* effect = effect_.GetAs<LineManager>();
  if (!effect) return;
  // Ascending positions: each insertion lands where the set was, given
  // that every set before it is back already.
  for (size_t i = 0; i < sets_.size(); ++i) {
    effect->InsertLineSet(positions_[i], sets_[i]->GetAs<LineSet>());
  }
}

void LinesetAddOrRemove::Remove() {
  auto* effect = effect_.GetAs<LineManager>();
  if (!effect) return;
  for (const auto& h : sets_) effect->RemoveLineSet(h->GetAs<LineSet>());
}

MoveLineSet::MoveLineSet(LineManager* effect, std::span<LineSet* const> sets, bool towardsEnd)
    : effect_(effect), sets_(HoldAll(sets)), towardsEnd_(towardsEnd) {}

void MoveLineSet::Redo() {
  Move(towardsEnd_);
}

void MoveLineSet::Restore(int) {
  Move(!towardsEnd_);
}

void MoveLineSet::Move(bool towardsEnd) {
  auto* effect = effect_.GetAs<LineManager>();
  if (!effect) return;
  // Towards the end the last set moves first, so each finds its neighbour
  // slot already vacated; towards the start the first moves first.
  const int n = static_cast<int>(sets_.size());
  for (int k = 0; k < n; ++k) {
    const int j = towardsEnd ? n - 1 - k : k;
    const int at = effect->IndexOf(sets_[static_cast<size_t>(j)]->GetAs<LineSet>());
    if (at < 0) continue;
    if (towardsEnd && at + 1 < effect->NumLineSets()) effect->SwapLineSets(at);
    if (!towardsEnd && at > 0) effect->SwapLineSets(at - 1);
  }
}

}  // namespace tarnis
