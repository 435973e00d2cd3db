#include "win32/pictures.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "skin/art/resource_ids.h"
#include "win32/device_scale.h"
#include "win32/raii.h"

extern "C" {
#include <jpeglib.h>
}

namespace pagerift::win {

namespace {

std::string ResourceBytes(int id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!res) return {};
  HGLOBAL loaded = LoadResource(module, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return std::string(static_cast<const char*>(data), SizeofResource(module, res));
}

// A top-down 32-bit DIB section; `bits` receives its pixel memory.
HBITMAP MakeDib(int w, int h, uint32_t** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* p = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t*>(p);
  return b;
}

// The colour key as a pixel of a 32-bit DIB (0x00RRGGBB), and the nearest
// colour that is not it.
constexpr uint32_t kKeyPixel = 0x00FF00FF;
constexpr uint32_t kNearKeyPixel = 0x00FE00FF;
// No picture of ours comes near this; a larger length is a broken resource.
constexpr uint32_t kMaxPackedBmp = 64u << 20;

struct Pixels {
  int w = 0, h = 0;
  const uint32_t* bits = nullptr;
};

Pixels PixelsOf(HBITMAP b) {
  DIBSECTION dib{};
  // Every bitmap here comes from MakeDib: 32 bits a pixel, top-down.
  if (!b || GetObjectW(b, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 32 ||
      !dib.dsBm.bmBits)
    return {};
  return {dib.dsBm.bmWidth, dib.dsBm.bmHeight, static_cast<const uint32_t*>(dib.dsBm.bmBits)};
}

HBITMAP Decode(const std::string& bytes) {
  if (bytes.size() > 2 && bytes[0] == 'B') return DecodeBmp(bytes);
  if (bytes.size() > 4 && bytes.compare(0, 4, "PRZ1") == 0) return DecodePackedBmp(bytes);
  return DecodeJpeg(bytes);
}

// Decoded resources, by id, for the program's life.
HBITMAP ResourceBitmap(int id) {
  static std::map<int, UniqueBitmap> cache;
  auto it = cache.find(id);
  if (it != cache.end()) return it->second.get();
  return cache.emplace(id, UniqueBitmap(Decode(ResourceBytes(id)))).first->second.get();
}

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

void OnJpegError(j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }

}  // namespace

HBITMAP DecodeBmp(const std::string& bytes) {
  if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) || bytes[0] != 'B' ||
      bytes[1] != 'M')
    return nullptr;
  BITMAPFILEHEADER fh;
  BITMAPINFOHEADER ih;
  std::memcpy(&fh, bytes.data(), sizeof fh);
  std::memcpy(&ih, bytes.data() + sizeof fh, sizeof ih);
  if (ih.biBitCount != 24 || ih.biCompression != BI_RGB || ih.biWidth <= 0 || ih.biHeight == 0)
    return nullptr;
  const int w = ih.biWidth;
  const bool bottomUp = ih.biHeight > 0;
  const int h = bottomUp ? ih.biHeight : -ih.biHeight;
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  if (fh.bfOffBits + stride * h > bytes.size()) return nullptr;
  uint32_t* px = nullptr;
  HBITMAP b = MakeDib(w, h, &px);
  if (!b) return nullptr;
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const uint8_t*>(bytes.data()) + fh.bfOffBits +
                      stride * static_cast<size_t>(bottomUp ? h - 1 - y : y);
    for (int x = 0; x < w; ++x)
      px[y * w + x] = row[x * 3] | (row[x * 3 + 1] << 8) | (row[x * 3 + 2] << 16);
  }
  return b;
}

HBITMAP DecodeJpeg(const std::string& bytes) {
  // libjpeg reports an error by a longjmp back to here, which runs no
  // destructors: from setjmp on, only libjpeg's own pools may hold memory.
  jpeg_decompress_struct info{};
  JpegError err{};
  info.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  HBITMAP volatile result = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    if (result) DeleteObject(result);
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  const int w = static_cast<int>(info.output_width);
  const int h = static_cast<int>(info.output_height);
  uint32_t* px = nullptr;
  result = MakeDib(w, h, &px);
  if (!result) longjmp(err.jump, 1);
  JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                              static_cast<JDIMENSION>(w) * 3, 1);
  while (info.output_scanline < info.output_height) {
    const int y = static_cast<int>(info.output_scanline);
    jpeg_read_scanlines(&info, rows, 1);
    const JSAMPLE* row = rows[0];
    for (int x = 0; x < w; ++x)
      px[y * w + x] = (row[x * 3] << 16) | (row[x * 3 + 1] << 8) | row[x * 3 + 2];
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return result;
}

HBITMAP DecodePackedBmp(const std::string& bytes) {
  if (bytes.size() < 8 || bytes.compare(0, 4, "PRZ1") != 0) return nullptr;
  uint32_t length = 0;
  std::memcpy(&length, bytes.data() + 4, sizeof length);
  if (length == 0 || length > kMaxPackedBmp) return nullptr;
  std::string bmp(length, '\0');
  uLongf got = length;
  if (uncompress(reinterpret_cast<Bytef*>(bmp.data()), &got,
                 reinterpret_cast<const Bytef*>(bytes.data() + 8),
                 static_cast<uLong>(bytes.size() - 8)) != Z_OK ||
      got != length)
    return nullptr;
  return DecodeBmp(bmp);
}

HBITMAP Resample(HBITMAP source, int w, int h) {
  const Pixels src = PixelsOf(source);
  if (!src.bits || w <= 0 || h <= 0) return nullptr;
  const bool keyed = std::find(src.bits, src.bits + size_t(src.w) * src.h, kKeyPixel) !=
                     src.bits + size_t(src.w) * src.h;
  uint32_t* out = nullptr;
  HBITMAP result = MakeDib(w, h, &out);
  if (!result) return nullptr;
  const double fx = double(src.w) / w, fy = double(src.h) / h;
  for (int ty = 0; ty < h; ++ty) {
    const double y0 = ty * fy, y1 = y0 + fy;
    for (int tx = 0; tx < w; ++tx) {
      const double x0 = tx * fx, x1 = x0 + fx;
      double sum[3] = {0, 0, 0}, face = 0, key = 0;
      for (int sy = int(y0); sy < std::min<int>(src.h, int(std::ceil(y1))); ++sy) {
        const double cy = std::min<double>(y1, sy + 1) - std::max<double>(y0, sy);
        for (int sx = int(x0); sx < std::min<int>(src.w, int(std::ceil(x1))); ++sx) {
          const double cover = cy * (std::min<double>(x1, sx + 1) - std::max<double>(x0, sx));
          const uint32_t p = src.bits[size_t(sy) * src.w + sx];
          if (keyed && p == kKeyPixel) {
            key += cover;
            continue;
          }
          face += cover;
          for (int c = 0; c < 3; ++c) sum[c] += cover * ((p >> (8 * c)) & 0xFF);
        }
      }
      uint32_t p = kKeyPixel;
      if (face > key || (!keyed && face > 0)) {
        p = 0;
        for (int c = 0; c < 3; ++c)
          p |= uint32_t(std::clamp(std::lround(sum[c] / face), 0L, 255L)) << (8 * c);
        if (keyed && p == kKeyPixel) p = kNearKeyPixel;
      }
      out[size_t(ty) * w + tx] = p;
    }
  }
  return result;
}

int ArtScaleFor(UINT dpi) {
  for (int percent : kArtScales)
    if (percent * int(DeviceScale::kDesignDpi) >= int(dpi) * 100) return percent;
  return std::end(kArtScales)[-1];
}

HBITMAP PictureBitmap(const Picture& picture, UINT dpi) {
  const int percent = ArtScaleFor(dpi);
  const auto k =
      std::find(std::begin(kArtScales), std::end(kArtScales), percent) - std::begin(kArtScales);
  HBITMAP drawn = ResourceBitmap(picture.resource + IDR_SCALE_STRIDE * static_cast<int>(k));
  if (!drawn) drawn = ResourceBitmap(picture.resource);  // at least the picture, resampled
  const int w =
      static_cast<int>(std::lround(double(picture.width) * dpi / DeviceScale::kDesignDpi));
  const int h =
      static_cast<int>(std::lround(double(picture.height) * dpi / DeviceScale::kDesignDpi));
  const Pixels has = PixelsOf(drawn);
  if (!drawn || (has.w == w && has.h == h)) return drawn;
  static std::map<std::pair<int, UINT>, UniqueBitmap> resampled;
  const auto key = std::make_pair(picture.resource, dpi);
  auto it = resampled.find(key);
  if (it != resampled.end()) return it->second.get();
  return resampled.emplace(key, UniqueBitmap(Resample(drawn, w, h))).first->second.get();
}

void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& dest, bool stretch) {
  if (!bitmap) return;
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  UniqueMemDc mem(CreateCompatibleDC(dc));
  Selected sel(mem.get(), bitmap);
  if (stretch) {
    // Only the progress fill stretches: one column of a vertical gradient.
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, mem.get(),
               0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  } else {
    // Natural size from the top-left corner, cut at the control's edge.
    int w = std::min<int>(info.bmWidth, dest.right - dest.left);
    int h = std::min<int>(info.bmHeight, dest.bottom - dest.top);
    BitBlt(dc, dest.left, dest.top, w, h, mem.get(), 0, 0, SRCCOPY);
  }
}

}  // namespace pagerift::win
