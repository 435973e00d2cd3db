// Turns the artwork resources (BMP, deflated BMP and JPEG bytes) into
// bitmaps, once each, in the size a display scale shows them at.
#pragma once

#include <windows.h>

#include <string>

#include "core/form.h"

namespace pagerift::win {

// The display scales the artwork is drawn for, in percent; resource id +
// IDR_SCALE_STRIDE * k holds the kth.
inline constexpr int kArtScales[] = {100, 125, 150, 175, 200};

// Which of kArtScales the picture for `dpi` starts from: the one drawn for
// that scale, else the next larger one, else (past 200 %) the largest.
int ArtScaleFor(UINT dpi);

// A 32-bit top-down DIB section of the picture as shown at `dpi`, its
// natural size times dpi / 96: the artwork drawn for that scale, or the one
// ArtScaleFor names resampled to the size. Owned by the cache; null when the
// resource is missing or cannot be decoded.
HBITMAP PictureBitmap(const Picture& picture, UINT dpi);

// Decoders, exposed for tests. Return null on bad data.
HBITMAP DecodeBmp(const std::string& bytes);
HBITMAP DecodeJpeg(const std::string& bytes);
// "PRZ1", the BMP's length (32 bits, little end first), the zlib stream.
HBITMAP DecodePackedBmp(const std::string& bytes);

// `source` scaled to w x h, each pixel the average of the area it covers.
// A picture that holds the colour key keeps it exact: a pixel mostly
// covered by key takes the key, the others average only what is not key,
// so no blend of key and face leaves a rim that is neither.
HBITMAP Resample(HBITMAP source, int w, int h);

// Draws `bitmap` into dest (stretched to it), clipped by the DC.
void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& dest, bool stretch);

}  // namespace pagerift::win
