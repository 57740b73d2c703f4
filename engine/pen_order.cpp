#include "engine/pen_order.h"

#include <cstddef>
#include <vector>

namespace plotdesk::engine {
namespace {

constexpr std::size_t kSlots = 8;

int slotOf(const std::array<int, 8>& pens, int pen) {
  for (std::size_t k = 0; k < kSlots; ++k) {
    if (pens[k] == pen) return static_cast<int>(k);
  }
  return -1;
}

// Group number (page * 8 + slot) of every element of `list`, or -1 when the
// element is dropped.
template <class T>
std::vector<long long> groupsOf(const std::vector<T>& list, const std::array<int, 8>& pens, int pages) {
  std::vector<long long> g(list.size(), -1);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const PrimitiveHeader& h = list[i].header;
    const int slot = slotOf(pens, h.pen);
    if (slot >= 0 && h.page >= 0 && h.page < pages) g[i] = static_cast<long long>(h.page) * 8 + slot;
  }
  return g;
}

// Stable counting sort of `list` by group; dropped elements go.
template <class T>
std::vector<T> regroup(std::vector<T>& list, const std::vector<long long>& group, std::vector<std::size_t>& count) {
  std::vector<std::size_t> start(count.size() + 1, 0);
  for (std::size_t k = 0; k < count.size(); ++k) start[k + 1] = start[k] + count[k];
  std::vector<T> out(start.back());
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (group[i] < 0) continue;
    out[start[static_cast<std::size_t>(group[i])]++] = std::move(list[i]);
  }
  return out;
}

}  // namespace

void orderByPen(Drawing& d, const std::array<int, 8>& pens, bool newFilePerPen) {
  const int pages = d.pageCount;
  const std::size_t groups = static_cast<std::size_t>(pages) * kSlots;
  const auto gl = groupsOf(d.polylines, pens, pages);
  const auto gc = groupsOf(d.circles, pens, pages);
  const auto gt = groupsOf(d.labels, pens, pages);
  std::vector<std::size_t> nl(groups, 0);
  std::vector<std::size_t> nc(groups, 0);
  std::vector<std::size_t> nt(groups, 0);
  for (long long g : gl) if (g >= 0) ++nl[static_cast<std::size_t>(g)];
  for (long long g : gc) if (g >= 0) ++nc[static_cast<std::size_t>(g)];
  for (long long g : gt) if (g >= 0) ++nt[static_cast<std::size_t>(g)];

  d.polylines = regroup(d.polylines, gl, nl);
  d.circles = regroup(d.circles, gc, nc);
  d.labels = regroup(d.labels, gt, nt);
  if (!newFilePerPen) return;

  std::size_t il = 0;
  std::size_t ic = 0;
  std::size_t it = 0;
  int page = 0;
  for (std::size_t g = 0; g < groups; ++g) {
    if (nl[g] + nc[g] + nt[g] == 0) continue;
    for (std::size_t k = 0; k < nl[g]; ++k) d.polylines[il++].header.page = page;
    for (std::size_t k = 0; k < nc[g]; ++k) d.circles[ic++].header.page = page;
    for (std::size_t k = 0; k < nt[g]; ++k) d.labels[it++].header.page = page;
    ++page;
  }
  if (page >= d.pageCount) d.pageCount = page;
}

}  // namespace plotdesk::engine
