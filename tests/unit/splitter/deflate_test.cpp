// Streams joined from pieces compressed apart: what a reader inflates is the data, whatever the
// pieces are, and zlib's own checks (block lengths, the Adler-32 at the end) hold.
#include "splitter/write/deflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

using pagerift::splitter::DeflatePiece;
using pagerift::splitter::Deflater;
using pagerift::splitter::join_stream;
using pagerift::splitter::stored_piece;

namespace {

// zlib's inflate of a whole stream; fails the test on any error or on bytes past its end.
std::string inflated(const std::string& in) {
  z_stream z{};
  EXPECT_EQ(inflateInit(&z), Z_OK);
  std::string out(1 << 20, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0u);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

std::string noise(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  return s;
}

}  // namespace

TEST(Deflate, JoinedPiecesInflateToTheirData) {
  Deflater best(9, true), fast(1, true);
  const std::string head = "%!PS-AdobeFont-1.0: Test\n" + std::string(3000, 'a') + "eexec\r";
  const std::string tail = std::string(512, '0') + "cleartomark\n";
  // Stored blocks hold at most 65,535 bytes: the middle takes one, two and more of them, and none.
  for (std::size_t size : {0u, 1u, 65535u, 65536u, 200000u}) {
    SCOPED_TRACE(size);
    std::string middle = noise(size, static_cast<unsigned>(size));
    DeflatePiece h, m, t;
    best.piece(head, false, h);
    stored_piece(middle, m);
    best.piece(tail, true, t);
    std::string joined;
    join_stream({&h, &m, &t}, joined);
    EXPECT_EQ(inflated(joined), head + middle + tail);
    // The same middle compressed, and the ends reused for another middle.
    fast.piece(middle, false, m);
    join_stream({&h, &m, &t}, joined);
    EXPECT_EQ(inflated(joined), head + middle + tail);
  }
  // Empty ends.
  DeflatePiece h, m, t;
  best.piece("", false, h);
  stored_piece("data", m);
  best.piece("", true, t);
  std::string joined;
  join_stream({&h, &m, &t}, joined);
  EXPECT_EQ(inflated(joined), "data");
}
