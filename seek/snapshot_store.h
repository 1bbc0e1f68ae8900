// The snapshots drawing ahead has taken, inside a memory budget that is never exceeded: when the
// next snapshot would not fit, every other one goes and the spacing doubles, so the snapshots
// stay evenly spread and the longest stretch a seek must draw stays as short as the budget
// allows. Receives snapshots from one thread; hands them to any thread.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "seek/snapshot.h"

struct SnapshotStore {
  std::mutex lock;
  std::map<int64_t, std::shared_ptr<const Snapshot>> by_frame;
  int64_t budget = 0;   // bytes the snapshots may take together
  int64_t used = 0;     // bytes they take now
  int64_t spacing = 1;  // snapshots are taken after frames spacing - 1, 2·spacing - 1, ...
};

// An empty store with the budget and the first spacing.
void startSnapshotStore(SnapshotStore& store, int64_t budget, int64_t spacing);

// True when a snapshot after `frame` is wanted at the present spacing.
bool snapshotWanted(SnapshotStore& store, int64_t frame);

// Keeps the snapshot, thinning the store first while it would not fit; a snapshot larger than
// the whole budget is not kept.
void keepSnapshot(SnapshotStore& store, std::shared_ptr<const Snapshot> snapshot);

// The latest snapshot taken after a frame before `frame`, or null.
std::shared_ptr<const Snapshot> snapshotBefore(SnapshotStore& store, int64_t frame);

struct StoreFigures {
  int64_t count = 0;
  int64_t used = 0;
  int64_t spacing = 0;
};
StoreFigures storeFigures(SnapshotStore& store);
