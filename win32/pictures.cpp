#include "win32/pictures.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

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

HBITMAP PictureBitmap(int resource) {
  static std::map<int, UniqueBitmap> cache;
  auto it = cache.find(resource);
  if (it != cache.end()) return it->second.get();
  std::string bytes = ResourceBytes(resource);
  HBITMAP b = bytes.size() > 2 && bytes[0] == 'B' ? DecodeBmp(bytes) : DecodeJpeg(bytes);
  return cache.emplace(resource, UniqueBitmap(b)).first->second.get();
}

void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& dest, bool stretch) {
  if (!bitmap) return;
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  UniqueMemDc mem(CreateCompatibleDC(dc));
  Selected sel(mem.get(), bitmap);
  if (stretch) {
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
