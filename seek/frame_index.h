// The frame index: one pass over a recording's stream (decompressing and walking, no drawing)
// that notes for every frame its time stamp and where its records begin. Receives a recording
// path; hands on one entry of 32 bytes per frame.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "player/recording_stream.h"

// Where a frame's first record lies: the chunk (by number and by its length field's place in the
// files) and the offset in the decompressed chunk. A frame mark that ends its chunk gives the
// next frame the chunk's end as its start.
struct IndexedFrame {
  int64_t chunk = 0;
  int64_t chunk_offset = 0;  // the length field's offset in its part
  int32_t part = 0;          // the part the length field lies in
  int32_t record_offset = 0;
  float time_stamp = 0;  // the stamp of the frame mark that ends the frame
};
static_assert(sizeof(IndexedFrame) == 32, "the index costs 32 bytes a frame");

struct FrameIndex {
  OpenRecordingResult open = OpenRecordingResult::kCannotOpen;
  std::vector<IndexedFrame> frames;  // frame N at index N; frame 0 starts at the first record
  int64_t anomalies = 0;             // what `kestrune info` counts
  bool ended_by_anomaly = false;     // the stream broke off before its budget was used up
};

// Indexes the recording named by the template ("%i" for part files).
FrameIndex buildFrameIndex(const std::string& path_template);
