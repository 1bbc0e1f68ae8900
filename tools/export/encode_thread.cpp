// The encoding thread: a ring of picture slots between the drawing thread, which fills them,
// and this thread, which encodes them in order, guarded by one mutex and one condition.
#include "tools/export/encode_thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

struct EncodeThread {
  VideoEncoder* encoder = nullptr;
  std::vector<std::vector<Pixel565>> slots;
  std::vector<int64_t> pts;
  size_t head = 0;   // the oldest queued slot
  size_t count = 0;  // slots queued
  bool closing = false;
  bool finish = false;
  bool failed = false;
  std::string error;
  std::mutex lock;
  std::condition_variable changed;
  std::thread thread;
};

namespace {

void encodeQueued(EncodeThread* t) {
  std::unique_lock<std::mutex> hold(t->lock);
  for (;;) {
    t->changed.wait(hold, [t] { return t->count > 0 || t->closing; });
    if (t->count == 0 || (t->closing && !t->finish)) break;
    const size_t slot = t->head;
    hold.unlock();  // the slot is ours until it is released below
    std::string error;
    const bool encoded = encodePicture(*t->encoder, t->slots[slot].data(), t->pts[slot], &error);
    hold.lock();
    t->head = (t->head + 1) % t->slots.size();
    t->count -= 1;
    if (!encoded) {
      t->failed = true;
      t->error = error;
    }
    t->changed.notify_all();
    if (!encoded) break;
  }
}

}  // namespace

EncodeThread* startEncodeThread(VideoEncoder& encoder, int width, int height, int slots) {
  auto* t = new EncodeThread;
  t->encoder = &encoder;
  t->slots.assign(size_t(slots), std::vector<Pixel565>(size_t(width) * size_t(height)));
  t->pts.assign(size_t(slots), 0);
  t->thread = std::thread(encodeQueued, t);
  return t;
}

bool queuePicture(EncodeThread& t, const Pixel565* pixels, int64_t pts, std::string* error) {
  std::unique_lock<std::mutex> hold(t.lock);
  t.changed.wait(hold, [&t] { return t.count < t.slots.size() || t.failed; });
  if (t.failed) {
    *error = t.error;
    return false;
  }
  const size_t slot = (t.head + t.count) % t.slots.size();
  hold.unlock();  // a free slot is the drawing thread's until it is counted
  std::copy(pixels, pixels + t.slots[slot].size(), t.slots[slot].begin());
  t.pts[slot] = pts;
  hold.lock();
  t.count += 1;
  t.changed.notify_all();
  return true;
}

bool stopEncodeThread(EncodeThread* t, bool finish, std::string* error) {
  {
    std::lock_guard<std::mutex> hold(t->lock);
    t->closing = true;
    t->finish = finish;
    t->changed.notify_all();
  }
  t->thread.join();
  bool done = finish && !t->failed;
  if (t->failed) *error = t->error;
  if (done) done = finishVideo(*t->encoder, error);
  delete t;
  return done;
}
