// Encoding on a thread of its own, so that drawing the next frames and encoding the last ones
// overlap: the drawing thread queues copies of its pictures, the encoding thread hands them to
// the video encoder in order. Receives pictures with time stamps; hands on the encoder's result.
#pragma once
#include <cstdint>
#include <string>

#include "tools/export/video_encoder.h"

struct EncodeThread;

// Starts the thread over an open encoder, with room for `slots` pictures of width x height.
EncodeThread* startEncodeThread(VideoEncoder& encoder, int width, int height, int slots);

// Copies the picture into a free slot (waiting for one) and queues it. False, with the
// encoder's message in *error, once encoding has failed.
bool queuePicture(EncodeThread& thread, const Pixel565* pixels, int64_t pts, std::string* error);

// Encodes what is queued, finishes the video (finishVideo) and ends the thread; false with the
// first failure's message. `finish` false gives up instead: the queue is dropped.
bool stopEncodeThread(EncodeThread* thread, bool finish, std::string* error);
