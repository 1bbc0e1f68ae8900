// Keeps snapshots by frame within the budget, thinning them evenly when it fills. Receives
// snapshots; hands on the nearest one before a frame.
#include "seek/snapshot_store.h"

namespace {

bool onSpacing(int64_t frame, int64_t spacing) { return (frame + 1) % spacing == 0; }

// Drops the snapshots that are off the doubled spacing.
void thin(SnapshotStore& store) {
  store.spacing *= 2;
  for (auto it = store.by_frame.begin(); it != store.by_frame.end();) {
    if (onSpacing(it->first, store.spacing)) {
      ++it;
      continue;
    }
    store.used -= snapshotBytes(*it->second);
    it = store.by_frame.erase(it);
  }
}

}  // namespace

void startSnapshotStore(SnapshotStore& store, int64_t budget, int64_t spacing) {
  std::lock_guard<std::mutex> guard(store.lock);
  store.by_frame.clear();
  store.budget = budget;
  store.used = 0;
  store.spacing = spacing < 1 ? 1 : spacing;
}

bool snapshotWanted(SnapshotStore& store, int64_t frame) {
  std::lock_guard<std::mutex> guard(store.lock);
  return onSpacing(frame, store.spacing);
}

void keepSnapshot(SnapshotStore& store, std::shared_ptr<const Snapshot> snapshot) {
  const int64_t bytes = snapshotBytes(*snapshot);
  std::lock_guard<std::mutex> guard(store.lock);
  if (bytes > store.budget) return;
  while (store.used + bytes > store.budget && !store.by_frame.empty()) thin(store);
  if (!onSpacing(snapshot->frame, store.spacing)) return;  // thinned away with the others
  store.used += bytes;
  store.by_frame[snapshot->frame] = std::move(snapshot);
}

std::shared_ptr<const Snapshot> snapshotBefore(SnapshotStore& store, int64_t frame) {
  std::lock_guard<std::mutex> guard(store.lock);
  auto it = store.by_frame.lower_bound(frame);
  if (it == store.by_frame.begin()) return nullptr;
  return std::prev(it)->second;
}

StoreFigures storeFigures(SnapshotStore& store) {
  std::lock_guard<std::mutex> guard(store.lock);
  return {static_cast<int64_t>(store.by_frame.size()), store.used, store.spacing};
}
