// Images in memory and the palettized BMP files that fill them.
// Receives sizes, a fill colour and BMP paths; hands on a block that starts with a 32-byte header
// and holds the rows behind it, and the file's palette as 6-bit-per-channel words.
#pragma once
#include <cstdint>

constexpr int kImageTypeMemory = 1;

// The first 32 bytes of every image; the rows follow in the same block, top row first, each
// `pitch` bytes long.
struct Image {
  int32_t type;             // kImageTypeMemory
  int32_t bytes_per_pixel;  // 1 for depth 8, 2 for 16, 3 for 24, 4 for 32
  int32_t width;            // pixels
  int32_t height;           // rows
  int32_t pitch;            // bytes per row: width x bytes per pixel rounded up to 16
  int32_t reserved[3];
};
static_assert(sizeof(Image) == 32, "the rows begin 32 bytes into the block");

// The largest block createImage hands out, header included: 1 GiB.
constexpr int64_t kMaxImageBytes = int64_t{1} << 30;

// Error codes of createImage and loadImage besides 0 (success) and 1 (illegal call).
constexpr int kImageTooLarge = 2;     // createImage: the block would exceed kMaxImageBytes
constexpr int kImageNoMemory = 3;     // createImage: the allocation failed
constexpr int kImageCannotOpen = 2;   // loadImage: the file cannot be opened
constexpr int kImageNotReadable = 3;  // loadImage: not an uncompressed 1/2/4/8-bit BMP

// The first byte of row 0.
inline uint8_t* imagePixels(Image* image) { return reinterpret_cast<uint8_t*>(image + 1); }

// A width x height image of the given depth (8, 16, 24 or 32) with every pixel set to the low
// bytes of `colour`, little-endian. Needs one of those depths and a width and height above 0,
// else error 1 and null; the code goes to *error when error is not null. No screen is needed:
// images are plain memory, made and used on any thread. Release with destroyImage.
Image* createImage(int width, int height, uint32_t colour, int depth, int* error = nullptr);

// Decodes an uncompressed BMP of 1, 2, 4 or 8 bits per pixel with an info header of 40 bytes or
// more into an image of 8-bit cells: cell (c, r), r counted from the picture's top row, receives
// the index of pixel (c, r). Bottom-up files (positive height) and top-down files (negative
// height) are both read. Only the cells inside both the picture and the image are written, and
// only those the file actually holds: cells of rows that end early keep their value.
// When palette is not null its first 2^bits entries receive the colour table as words
// ((blue << 16 | green << 8 | red) >> 2) & 0x3F3F3F; entries the file does not hold become 0.
// 0 on success; 1 for a null path or image or an image whose cells are not one byte;
// kImageCannotOpen; kImageNotReadable (nothing written then).
int loadImage(const char* path, Image* image, int32_t* palette);

// Releases an image made by createImage. 1 for a null image.
int destroyImage(Image* image);
