// The skin's pictures are loaded by the shell as raw bytes and laid out in fixed
// pixels, so a regenerated picture of the wrong size, format or colour key would
// only show up as a broken window. These checks read the committed files directly.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string ArtPath(const std::string& name) {
  return std::string(PAGERIFT_SOURCE_DIR) + "/skin/art/" + name;
}

Bytes ReadArt(const std::string& name) {
  std::ifstream in(ArtPath(name), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t Le16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t Le32(const Bytes& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }
std::uint32_t Be16(const Bytes& b, size_t at) { return b.at(at) << 8 | b.at(at + 1); }

// Where the window must be see-through: the 5 px margins beyond the 548 x 366
// client area and the rounded corners, 5-3-2-1-1 px on the outermost rows.
bool IsKeyPixel(int x, int y) {
  constexpr int kW = 548, kH = 366;
  constexpr int kCut[5] = {5, 3, 2, 1, 1};
  if (x >= kW || y >= kH) return true;
  for (int row : {y, kH - 1 - y}) {
    if (row < 5 && (x < kCut[row] || x >= kW - kCut[row])) return true;
  }
  return false;
}

TEST(Art, BackgroundIsMagentaExactlyWhereTheWindowIsCut) {
  const Bytes bmp = ReadArt("background.bmp");
  ASSERT_GE(bmp.size(), 54u);
  ASSERT_EQ('B', bmp[0]);
  ASSERT_EQ('M', bmp[1]);
  const int w = static_cast<int>(Le32(bmp, 18));
  const int h = static_cast<int>(Le32(bmp, 22));  // positive: bottom-up rows
  ASSERT_EQ(553, w);
  ASSERT_EQ(371, h);
  ASSERT_EQ(24u, Le16(bmp, 28));
  ASSERT_EQ(0u, Le32(bmp, 30));  // BI_RGB
  const size_t offset = Le32(bmp, 10);
  const size_t stride = (w * 3 + 3) / 4 * 4;
  ASSERT_GE(bmp.size(), offset + stride * h);

  int key_pixels = 0, wrong = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t at = offset + (h - 1 - y) * stride + x * 3;
      const bool magenta = bmp[at] == 255 && bmp[at + 1] == 0 && bmp[at + 2] == 255;
      key_pixels += magenta;
      if (magenta != IsKeyPixel(x, y) && ++wrong <= 5) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") magenta=" << magenta;
      }
    }
  }
  EXPECT_EQ(0, wrong);
  EXPECT_EQ(5 * 371 + 5 * 548 + 4 * 12, key_pixels);
}

// Width and height from the first frame header; only baseline (SOF0) is accepted
// because that is the one kind every JPEG decoder handles.
struct JpegFrame {
  int marker = 0;
  int width = 0;
  int height = 0;
};

JpegFrame ReadJpegFrame(const Bytes& jpg) {
  JpegFrame frame;
  if (jpg.size() < 4 || jpg[0] != 0xFF || jpg[1] != 0xD8) return frame;
  size_t at = 2;
  while (at + 4 <= jpg.size() && jpg[at] == 0xFF) {
    const int marker = jpg[at + 1];
    const size_t length = Be16(jpg, at + 2);
    const bool is_sof =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (is_sof && at + 9 <= jpg.size()) {
      frame.marker = marker;
      frame.height = static_cast<int>(Be16(jpg, at + 5));
      frame.width = static_cast<int>(Be16(jpg, at + 7));
      return frame;
    }
    at += 2 + length;
  }
  return frame;
}

TEST(Art, JpegsAreBaselineOfTheLaidOutSize) {
  const struct {
    const char* name;
    int width, height;
  } pictures[] = {
      {"dropzone.jpg", 545, 302},  {"dropzone_light.jpg", 545, 302}, {"browse_light.jpg", 42, 22},
      {"browse_dark.jpg", 42, 22}, {"button.jpg", 18, 18},           {"button_light.jpg", 18, 18},
      {"pb_fill.jpg", 1, 14},      {"pb_left.jpg", 5, 14},           {"pb_right.jpg", 5, 14},
  };
  for (const auto& p : pictures) {
    SCOPED_TRACE(p.name);
    const JpegFrame frame = ReadJpegFrame(ReadArt(p.name));
    EXPECT_EQ(0xC0, frame.marker);
    EXPECT_EQ(p.width, frame.width);
    EXPECT_EQ(p.height, frame.height);
  }
}

TEST(Art, IconHoldsEverySizeAtTwoDepths) {
  const Bytes ico = ReadArt("pagerift.ico");
  ASSERT_GE(ico.size(), 6u);
  ASSERT_EQ(0u, Le16(ico, 0));
  ASSERT_EQ(1u, Le16(ico, 2));  // icon, not cursor
  const size_t count = Le16(ico, 4);
  std::set<std::pair<int, int>> found;  // (size, bits per pixel)
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * i;
    const int size = ico.at(entry) == 0 ? 256 : ico.at(entry);
    const size_t bytes = Le32(ico, entry + 8), offset = Le32(ico, entry + 12);
    ASSERT_LE(offset + bytes, ico.size());
    // The directory must agree with the image it points at (a DIB, twice as high).
    EXPECT_EQ(40u, Le32(ico, offset));
    EXPECT_EQ(static_cast<std::uint32_t>(size), Le32(ico, offset + 4));
    EXPECT_EQ(static_cast<std::uint32_t>(2 * size), Le32(ico, offset + 8));
    EXPECT_EQ(Le16(ico, entry + 6), Le16(ico, offset + 14));
    found.insert({size, static_cast<int>(Le16(ico, offset + 14))});
  }
  std::set<std::pair<int, int>> wanted;
  for (int size : {16, 24, 32, 48, 128}) {
    wanted.insert({size, 32});
    wanted.insert({size, 8});
  }
  EXPECT_EQ(wanted, found);
}

TEST(Art, HandCursorPointsWithItsHotSpot) {
  const Bytes cur = ReadArt("hand.cur");
  ASSERT_GE(cur.size(), 22u);
  ASSERT_EQ(2u, Le16(cur, 2));  // cursor
  ASSERT_EQ(1u, Le16(cur, 4));
  EXPECT_EQ(32, cur[6]);
  EXPECT_EQ(32, cur[7]);
  EXPECT_EQ(6u, Le16(cur, 10));
  EXPECT_EQ(0u, Le16(cur, 12));
  const size_t dib = Le32(cur, 18);
  ASSERT_LE(dib + 40 + 8 + 2 * 128, cur.size());
  EXPECT_EQ(1u, Le16(cur, dib + 14));  // monochrome
  // The hot spot must sit on a visible pixel of the fingertip: AND bit clear
  // in the top row (rows are stored bottom-up, 4 bytes each).
  const size_t and_mask = dib + 40 + 8 + 128;
  const std::uint8_t top_row_byte = cur.at(and_mask + 31 * 4 + 6 / 8);
  EXPECT_EQ(0, top_row_byte & (0x80 >> 6));
}

TEST(Art, ResourceScriptNamesOnlyFilesThatExist) {
  std::ifstream in(ArtPath("pagerift.rc")), scaled(ArtPath("scaled.rc"));
  const std::string rc = std::string(std::istreambuf_iterator<char>(in), {}) +
                         std::string(std::istreambuf_iterator<char>(scaled), {});
  ASSERT_FALSE(rc.empty());
  ASSERT_NE(rc.find("#include \"skin/art/scaled.rc\""), std::string::npos);
  const std::regex file_ref("\"(skin/art/[^\"]+)\"");
  int files = 0;
  for (std::sregex_iterator it(rc.begin(), rc.end(), file_ref), end; it != end; ++it) {
    ++files;
    const std::string path = std::string(PAGERIFT_SOURCE_DIR) + "/" + (*it)[1].str();
    EXPECT_TRUE(std::ifstream(path).good()) << path;
  }
  EXPECT_GE(files, 13 + 4 * 10);  // icon, ten pictures, cursor, manifest; ten more a scale
}

}  // namespace
