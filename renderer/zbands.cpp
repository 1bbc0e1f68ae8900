// The deferred triangle list and its drawing threads. Receives triangles with everything their
// fill reads; hands on, at a flush, the same pixels and depth values as drawing them one by one,
// with the frame buffer cut into bands of rows that the threads fill in triangle order; and row
// jobs, run by the same threads over bands of rows.
#include "renderer/zbands.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "renderer/screen_point.h"
#include "renderer/zbuffer.h"
#include "renderer/ztriangle.h"

namespace {

// Triangles are handed to the threads in batches of this many while the caller goes on with the
// next ones, so that transforming and clipping overlap drawing. A batch is also handed over at
// every flush, whatever its size.
constexpr size_t kBatchTriangles = 1024;
// The most triangles waiting for a batch in flight to finish: the caller then waits. Keeps the
// lists' memory small (two of about 1.1 MB).
constexpr size_t kListCapacity = 8192;

// Bands per thread: more bands than threads let a thread that finishes early take another
// band, so that a crowded part of the picture does not leave the other threads idle. Bands are
// at least kMinBandRows high, since a triangle crossing a band boundary is set up in both.
constexpr int kBandsPerThread = 4;
constexpr int kMinBandRows = 16;
// A row job's bands are cut the same way; a few rows are enough to make a band worth handing out.
constexpr int kMinJobBandRows = 8;

struct DeferredTriangle {
  ScreenPoint p[3];        // as clipping left them; sz and tz set for the textured kinds
  const Pixel565* texels;  // the textured kinds' 256 x 256 texels
  FillKind kind;
  Pixel565 key;
};

// The rows a triangle touches, first and last included: kept apart from the records so that
// every band scans a short array to find its triangles.
struct RowSpan {
  int top;
  int bottom;
};

// Triangles for one ZBuffer, in drawing order.
struct Batch {
  ZBuffer* zb = nullptr;
  std::vector<DeferredTriangle> list;
  std::vector<RowSpan> spans;
};

}  // namespace

struct RasterBands {
  int threads = 0;
  // `threads` - 1 of them: the caller is the last drawing thread. While it goes on with the
  // next triangles the workers draw the batches handed over, and at a flush it draws with them,
  // so no more threads want a processor than `threads`.
  std::vector<std::thread> workers;
  Batch batches[2];
  Batch* filling = &batches[0];  // the caller appends here
  Batch* drawing = &batches[1];  // the threads draw this one while busy_workers > 0

  // The bands of the batch being drawn and the next one to take.
  int band_rows = 0;
  int band_count = 0;
  std::atomic<int> next_band{0};

  // The row job run instead of a batch while job is set: rows 0..job_rows-1 in bands.
  RowJob job = nullptr;
  void* job_arg = nullptr;
  int job_rows = 0;

  std::mutex mutex;
  std::condition_variable start;  // a new batch (generation) or closing
  std::condition_variable done;   // the last worker finished its bands
  uint64_t generation = 0;
  int busy_workers = 0;
  bool closing = false;
};

namespace {

void drawRows(ZBuffer* zb, const DeferredTriangle& t, RowBand band) {
  switch (t.kind) {
    case FillKind::kFlat:
      zbFillFlatRows(zb, &t.p[0], &t.p[1], &t.p[2], band);
      break;
    case FillKind::kSmooth:
      zbFillSmoothRows(zb, &t.p[0], &t.p[1], &t.p[2], band);
      break;
    case FillKind::kTextured:
    case FillKind::kTexturedKeyed:
      zbFillTexturedRows(zb, t.texels, &t.p[0], &t.p[1], &t.p[2],
                         t.kind == FillKind::kTexturedKeyed, t.key, band);
      break;
  }
}

// Every triangle of the batch that reaches the band, in batch order.
void drawBand(const Batch& batch, RowBand band) {
  const size_t count = batch.list.size();
  for (size_t i = 0; i < count; ++i) {
    const RowSpan span = batch.spans[i];
    if (span.bottom < band.begin || span.top >= band.end) continue;
    drawRows(batch.zb, batch.list[i], band);
  }
}

// Takes bands of the batch being drawn until none is left.
void drawBands(RasterBands& bands) {
  const Batch& batch = *bands.drawing;
  for (;;) {
    const int index = bands.next_band.fetch_add(1, std::memory_order_relaxed);
    if (index >= bands.band_count) return;
    const int begin = index * bands.band_rows;
    drawBand(batch, {begin, begin + std::min(bands.band_rows, batch.zb->height - begin)});
  }
}

// Takes bands of the row job until none is left.
void runJobBands(RasterBands& bands) {
  for (;;) {
    const int index = bands.next_band.fetch_add(1, std::memory_order_relaxed);
    if (index >= bands.band_count) return;
    const int begin = index * bands.band_rows;
    bands.job(bands.job_arg, begin, begin + std::min(bands.band_rows, bands.job_rows - begin));
  }
}

// The bands of what was handed over: the row job's when there is one, else the batch's.
void takeBands(RasterBands& bands) {
  if (bands.job != nullptr) {
    runJobBands(bands);
  } else {
    drawBands(bands);
  }
}

// A worker sleeps until a batch or a row job is handed over, takes bands with the others,
// reports and sleeps again.
void workerLoop(RasterBands* bands) {
  uint64_t seen = 0;
  std::unique_lock<std::mutex> lock(bands->mutex);
  for (;;) {
    bands->start.wait(lock, [&] { return bands->closing || bands->generation != seen; });
    if (bands->closing) return;
    seen = bands->generation;
    lock.unlock();
    takeBands(*bands);
    lock.lock();
    if (--bands->busy_workers == 0) bands->done.notify_all();
  }
}

// Returns once every worker has finished the bands it took; what they wrote is then visible here.
void waitForWorkers(RasterBands* bands) {
  std::unique_lock<std::mutex> lock(bands->mutex);
  bands->done.wait(lock, [&] { return bands->busy_workers == 0; });
}

// Returns once no batch is being drawn; the drawn batch is emptied for reuse.
void waitForBatch(RasterBands* bands) {
  waitForWorkers(bands);
  bands->drawing->list.clear();
  bands->drawing->spans.clear();
}

// a / b rounded up, for a >= 0 and b > 0, without forming a + b - 1: a buffer may be nearly
// INT_MAX rows high.
int ceilingOfQuotient(int a, int b) { return a / b + (a % b != 0 ? 1 : 0); }

// Cuts rows 0..rows-1 into the bands to be taken next, at least min_rows high.
void cutIntoBands(RasterBands* bands, int rows, int min_rows) {
  const int wanted = bands->threads * kBandsPerThread;
  bands->band_rows = std::max(min_rows, ceilingOfQuotient(rows, wanted));
  bands->band_count = ceilingOfQuotient(rows, bands->band_rows);
  bands->next_band.store(0, std::memory_order_relaxed);
}

// Wakes the idle workers to take the bands just cut.
void startWorkers(RasterBands* bands) {
  {
    std::lock_guard<std::mutex> lock(bands->mutex);
    ++bands->generation;
    bands->busy_workers = int(bands->workers.size());
  }
  bands->start.notify_all();
}

// Hands the filling batch to the threads, which must be idle, and starts an empty one.
void handOver(RasterBands* bands) {
  std::swap(bands->filling, bands->drawing);
  cutIntoBands(bands, bands->drawing->zb->height, kMinBandRows);
  startWorkers(bands);
}

bool threadsBusy(RasterBands* bands) {
  std::lock_guard<std::mutex> lock(bands->mutex);
  return bands->busy_workers > 0;
}

// A full batch goes to idle threads; a full list waits for them.
void handOverWhenDue(RasterBands* bands) {
  const size_t waiting = bands->filling->list.size();
  if (waiting < kBatchTriangles) return;
  if (waiting < kListCapacity && threadsBusy(bands)) return;
  drawBands(*bands);  // bands of the batch in flight that no worker took yet: no idle wait
  waitForBatch(bands);
  handOver(bands);
}

void stopWorkers(RasterBands* bands) {
  {
    std::lock_guard<std::mutex> lock(bands->mutex);
    bands->closing = true;
  }
  bands->start.notify_all();
  for (std::thread& worker : bands->workers) worker.join();
  bands->workers.clear();
}

}  // namespace

RasterBands* openRasterBands(int threads) {
  RasterBands* bands = new RasterBands;
  bands->threads = threads;
  for (Batch& batch : bands->batches) {
    batch.list.reserve(kListCapacity);
    batch.spans.reserve(kListCapacity);
  }
  for (int k = 1; k < threads; ++k) bands->workers.emplace_back(workerLoop, bands);
  return bands;
}

void closeRasterBands(RasterBands* bands) {
  if (bands == nullptr) return;
  waitForBatch(bands);
  stopWorkers(bands);
  delete bands;
}

int rasterBandThreads(const RasterBands* bands) { return bands->threads; }

void deferTriangleFill(RasterBands* bands, ZBuffer* zb, FillKind kind, const ScreenPoint& p0,
                       const ScreenPoint& p1, const ScreenPoint& p2, const uint16_t* texels,
                       uint16_t key) {
  Batch& batch = *bands->filling;
  if (batch.zb != zb && !batch.list.empty()) {
    flushRasterBands(bands);
    return deferTriangleFill(bands, zb, kind, p0, p1, p2, texels, key);
  }
  batch.zb = zb;
  DeferredTriangle& t = batch.list.emplace_back(DeferredTriangle{{p0, p1, p2}, texels, kind, key});
  if (kind == FillKind::kTextured || kind == FillKind::kTexturedKeyed) {
    for (ScreenPoint& p : t.p) setTextureDepthProducts(&p);
  }
  batch.spans.push_back({std::min({p0.y, p1.y, p2.y}), std::max({p0.y, p1.y, p2.y})});
  handOverWhenDue(bands);
}

void flushRasterBands(RasterBands* bands) {
  drawBands(*bands);
  waitForBatch(bands);
  if (bands->filling->list.empty()) return;
  handOver(bands);
  drawBands(*bands);  // the caller draws too while it waits
  waitForBatch(bands);
}

void runRowJob(RasterBands* bands, RowJob job, void* arg, int rows) {
  flushRasterBands(bands);  // leaves the workers idle
  if (rows <= 0) return;
  bands->job = job;
  bands->job_arg = arg;
  bands->job_rows = rows;
  cutIntoBands(bands, rows, kMinJobBandRows);
  startWorkers(bands);
  runJobBands(*bands);  // the caller takes bands too
  waitForWorkers(bands);
  bands->job = nullptr;
}
