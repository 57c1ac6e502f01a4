#include "tarnis/line/chain/edge_chain_link.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tarnis {

namespace {

PieceRecord makeRecord(const EdgePiece& piece, const SegmentPool& segments, bool parallel) {
  const PieceGeometry g = GeometryOf(piece, segments, parallel);
  PieceRecord r;
  r.piece = piece;
  r.point[0] = g.a;
  r.point[1] = g.b;
  r.depth[0] = g.za;
  r.depth[1] = g.zb;
  r.direction = g.direction;
  r.length = g.length;
  const int x0 = RoundAwayFromZero(g.a.x), y0 = RoundAwayFromZero(g.a.y);
  const int x1 = RoundAwayFromZero(g.b.x), y1 = RoundAwayFromZero(g.b.y);
  r.box[0] = std::min(x0, x1) - 1;
  r.box[1] = std::min(y0, y1) - 1;
  r.box[2] = std::max(x0, x1) + 1;
  r.box[3] = std::max(y0, y1) + 1;
  r.zmin = std::min(g.za, g.zb);
  r.zmax = std::max(g.za, g.zb);
  return r;
}

// The end points in grid cells of one pixel, sorted by cell.
struct EndGrid {
  struct Entry {
    uint64_t key;
    int record;
    bool operator<(const Entry& o) const { return key != o.key ? key < o.key : record < o.record; }
  };
  std::vector<Entry> entries;

  explicit EndGrid(const std::vector<PieceRecord>& records) {
    entries.reserve(records.size() * 2);
    for (size_t i = 0; i < records.size(); ++i) {
      for (const Point2& p : records[i].point) {
        entries.push_back({keyOf(p.x, p.y), static_cast<int>(i)});
      }
    }
    std::sort(entries.begin(), entries.end());
  }
  static uint64_t keyOf(float x, float y) {
    return GridCellKey(static_cast<int64_t>(std::floor(ClampScreenCoord(x))),
                       static_cast<int64_t>(std::floor(ClampScreenCoord(y))));
  }
  // Appends the records after `after` with an end in the cell of key.
  void collect(uint64_t key, int after, std::vector<int>& out) const {
    auto it = std::lower_bound(entries.begin(), entries.end(), Entry{key, after + 1});
    for (; it != entries.end() && it->key == key; ++it) out.push_back(it->record);
  }
};

}  // namespace

LinkProgress::LinkProgress(CheckAbortCallback* abort, double total)
    : abort_(abort), total_(static_cast<int>(std::min(2147483647.0, std::max(0.0, total)))) {}

bool LinkProgress::Add(double work) {
  done_ += work;
  if (done_ < next_) return false;
  next_ = std::floor(done_) + 1.0;
  if (!abort_) return false;
  abort_->Progress(static_cast<int>(std::min(done_, static_cast<double>(total_))), total_);
  return abort_->Check();
}

std::vector<PieceRecord> SortedPieceRecords(const std::vector<EdgePiece>& pieces,
                                            const SegmentPool& segments, bool parallel) {
  std::vector<float> length(pieces.size());
  for (size_t i = 0; i < pieces.size(); ++i) {
    const EdgePiece& p = pieces[i];
    length[i] = std::fabs(p.t1 - p.t0) * segments[SegmentIndex(p.segment)].length;
  }
  std::vector<uint32_t> order(pieces.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return length[a] > length[b]; });
  std::vector<PieceRecord> sorted;
  sorted.reserve(pieces.size());
  for (uint32_t i : order) sorted.push_back(makeRecord(pieces[i], segments, parallel));
  return sorted;
}

void ScorePiecePair(std::vector<PieceRecord>& records, int i, int j, float limitCos) {
  PieceRecord& a = records[static_cast<size_t>(i)];
  PieceRecord& b = records[static_cast<size_t>(j)];
  if (a.box[0] > b.box[2] || b.box[0] > a.box[2] || a.box[1] > b.box[3] || b.box[1] > a.box[3]) {
    return;
  }
  // Differences rather than sums keep this test monotone with the end test
  // below: ends that touch in depth always pass it.
  if (a.zmin - b.zmax > kTouchDepth || b.zmin - a.zmax > kTouchDepth) return;
  const float aligned = DotProd(a.direction, b.direction);
  for (int ea = 0; ea < 2; ++ea) {
    for (int eb = 0; eb < 2; ++eb) {
      if (std::fabs(a.depth[ea] - b.depth[eb]) > kTouchDepth) continue;
      if ((a.point[ea] - b.point[eb]).LengthSquared() > kTouchDistance2) continue;
      // An end meeting a start continues the line; two starts or two ends
      // meet head on, so one of the pieces would be walked backwards.
      const float score = ea == eb ? -aligned : aligned;
      if (!(score >= limitCos)) continue;
      if (score > a.score[ea]) {
        a.score[ea] = score;
        a.partner[ea] = j;
        a.partnerEnd[ea] = static_cast<uint8_t>(eb);
      }
      if (score > b.score[eb]) {
        b.score[eb] = score;
        b.partner[eb] = i;
        b.partnerEnd[eb] = static_cast<uint8_t>(ea);
      }
    }
  }
}

bool LinkPieceEnds(std::vector<PieceRecord>& records, float limitCos, LinkProgress& progress) {
  // Every end keeps the first strictly best offer it gets, so the pairs must
  // come in the order of an all-pairs walk: by first piece, then by second.
  // Pairs whose ends do not touch never make an offer, and touching ends lie
  // in the same or a neighbouring one-pixel cell.
  const EndGrid grid(records);
  const int n = static_cast<int>(records.size());
  constexpr float kReach = 0.01f;  // beyond the touch distance, with room for rounding
  std::vector<int> candidates;
  for (int i = 0; i < n; ++i) {
    candidates.clear();
    for (const Point2& p : records[static_cast<size_t>(i)].point) {
      const int64_t x0 = static_cast<int64_t>(std::floor(ClampScreenCoord(p.x - kReach)));
      const int64_t x1 = static_cast<int64_t>(std::floor(ClampScreenCoord(p.x + kReach)));
      const int64_t y0 = static_cast<int64_t>(std::floor(ClampScreenCoord(p.y - kReach)));
      const int64_t y1 = static_cast<int64_t>(std::floor(ClampScreenCoord(p.y + kReach)));
      for (int64_t cx = x0; cx <= x1; ++cx) {
        for (int64_t cy = y0; cy <= y1; ++cy) grid.collect(GridCellKey(cx, cy), i, candidates);
      }
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    for (int j : candidates) ScorePiecePair(records, i, j, limitCos);
    if (progress.Add(static_cast<double>(n - 1 - i) * kPairWork + kPieceWork)) return false;
  }
  return true;
}

namespace {

bool mutual(const std::vector<PieceRecord>& records, int piece, int end, int* next, int* nextEnd) {
  const PieceRecord& r = records[static_cast<size_t>(piece)];
  const int q = r.partner[end];
  if (q < 0) return false;
  const int qe = r.partnerEnd[end];
  const PieceRecord& o = records[static_cast<size_t>(q)];
  if (o.partner[qe] != piece || o.partnerEnd[qe] != end) return false;
  *next = q;
  *nextEnd = qe;
  return true;
}

EdgePiece oriented(const EdgePiece& p, bool reversed) {
  return reversed ? EdgePiece{p.segment, p.t1, p.t0} : p;
}

}  // namespace

std::vector<LineChain> WalkChains(const std::vector<PieceRecord>& records) {
  std::vector<LineChain> chains;
  std::vector<char> used(records.size(), 0);
  std::vector<EdgePiece> behind;
  for (int s = 0; s < static_cast<int>(records.size()); ++s) {
    if (used[static_cast<size_t>(s)]) continue;
    used[static_cast<size_t>(s)] = 1;
    LineChain chain;
    chain.pieces.push_back(records[static_cast<size_t>(s)].piece);
    // Forwards from the start piece's end; a piece entered through its end
    // is walked backwards.
    int cur = s, exitEnd = 1, q = 0, qe = 0;
    while (mutual(records, cur, exitEnd, &q, &qe)) {
      if (q == s) {
        chain.closed = qe == 0;
        break;
      }
      if (used[static_cast<size_t>(q)]) break;
      used[static_cast<size_t>(q)] = 1;
      chain.pieces.push_back(oriented(records[static_cast<size_t>(q)].piece, qe == 1));
      cur = q;
      exitEnd = 1 - qe;
    }
    if (!chain.closed) {
      // Backwards from its start; a piece met at its start comes before it
      // walked backwards.
      behind.clear();
      cur = s;
      int entryEnd = 0;
      while (mutual(records, cur, entryEnd, &q, &qe) && !used[static_cast<size_t>(q)]) {
        used[static_cast<size_t>(q)] = 1;
        behind.push_back(oriented(records[static_cast<size_t>(q)].piece, qe == 0));
        cur = q;
        entryEnd = 1 - qe;
      }
      chain.pieces.insert(chain.pieces.begin(), behind.rbegin(), behind.rend());
    }
    chains.push_back(std::move(chain));
  }
  return chains;
}

}  // namespace tarnis
