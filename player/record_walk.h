// Walks the records of one decompressed chunk in order and hands each to its handler.
// Receives the output buffer and the number of bytes written to it; hands on whether playback
// goes on, and the walk's messages on standard output.
#pragma once
#include <cstdint>

enum class PlaybackStep { kGoOn, kStop };

// Steps through the records from offset 0 to `length`. Point records, unknown kinds and a record
// cut off by the end of the data leave the rest of the chunk unwalked; a frame mark that says
// stop ends the walk with kStop. Nothing at or beyond `length` is read.
PlaybackStep walkRecords(const uint8_t* chunk, int64_t length);

// The handlers of the walk. Each receives its record's first byte; the walk has checked that the
// whole record lies within the chunk.
void drawTriangleRecord(const uint8_t* record);
PlaybackStep handleFrameMark(const uint8_t* record);
