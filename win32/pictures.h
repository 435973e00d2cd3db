// Turns the artwork resources (BMP and JPEG bytes) into bitmaps, once each.
#pragma once

#include <windows.h>

#include <string>

namespace pagerift::win {

// A 32-bit top-down DIB section of the resource's picture, owned by the
// cache; null when the resource is missing or cannot be decoded.
HBITMAP PictureBitmap(int resource);

// Decoders, exposed for tests. Return null on bad data.
HBITMAP DecodeBmp(const std::string& bytes);
HBITMAP DecodeJpeg(const std::string& bytes);

// Draws `bitmap` into dest (stretched to it), clipped by the DC.
void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& dest, bool stretch);

}  // namespace pagerift::win
