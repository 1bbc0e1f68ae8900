// The player's own sink of stream events and the calls that tell a sink. Receives the anomalies
// the stream steps meet; hands on the player's messages on its message stream.
#include "player/stream_events.h"

#include "player/player_output.h"

namespace {

void printAnomalyMessage(void*, const StreamAnomaly& anomaly) {
  switch (anomaly.kind) {
    case AnomalyKind::kPoints:
      printMessage("Points Not implemented!\n");
      return;
    case AnomalyKind::kBadKind:
      printMessage("Bad ID %u(%s)!\n", static_cast<unsigned>(anomaly.count), "");
      return;
    case AnomalyKind::kCutOffRecord:
      printMessage("Record %u cut off at the end of the chunk!\n",
                   static_cast<unsigned>(anomaly.value));
      return;
    case AnomalyKind::kBadLength:
      printMessage("bad luck end of file\n");
      return;
    case AnomalyKind::kOverflow:
      printMessage("Overflow on input buffer\n");
      return;
    case AnomalyKind::kBrokenStream:
      printMessage("%s\nBroken Stream\n", anomaly.part_name.c_str());
      return;
    case AnomalyKind::kDamagedChunk:
    case AnomalyKind::kOversizeChunk:
    case AnomalyKind::kBudgetOverrun:
      return;  // the player goes on (or ends) without a word
  }
}

}  // namespace

bool endsStream(AnomalyKind kind) {
  return kind == AnomalyKind::kBadLength || kind == AnomalyKind::kOverflow ||
         kind == AnomalyKind::kBrokenStream || kind == AnomalyKind::kBudgetOverrun;
}

StreamAnomaly anomalyAt(AnomalyKind kind, int64_t chunk, FilePlace place, int64_t record,
                        int64_t value, int64_t count) {
  StreamAnomaly anomaly;
  anomaly.kind = kind;
  anomaly.chunk = chunk;
  anomaly.place = place;
  anomaly.record = record;
  anomaly.value = value;
  anomaly.count = count;
  return anomaly;
}

StreamEvents playerMessageEvents() {
  StreamEvents events;
  events.anomaly = printAnomalyMessage;
  return events;
}

void tellPart(const StreamEvents& events, const StreamPart& part) {
  if (events.part != nullptr) events.part(events.context, part);
}

void tellChunk(const StreamEvents& events, const StreamChunk& chunk) {
  if (events.chunk != nullptr) events.chunk(events.context, chunk);
}

bool tellRecord(const StreamEvents& events, const StreamRecord& record) {
  return events.record == nullptr || events.record(events.context, record);
}

void tellAnomaly(const StreamEvents& events, const StreamAnomaly& anomaly) {
  if (events.anomaly != nullptr) events.anomaly(events.context, anomaly);
}
