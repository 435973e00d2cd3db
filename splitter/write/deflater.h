// zlib's deflate, one stream kept for many runs.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pagerift::splitter {

// Part of a zlib stream compressed on its own, to be joined with others by `join_stream`: raw
// deflate data ending on a byte boundary, with the checksum and length of what it holds.
struct DeflatePiece {
  std::string data;
  uLong adler = 1;
  std::size_t size = 0;
};

// One zlib stream reused for every compression, so that its state is allocated once per run
// rather than a few times per page.
class Deflater final {
 public:
  // `raw` for one that makes pieces (no zlib header or checksum) instead of whole streams.
  explicit Deflater(int level, bool raw = false) {
    // A smaller hash than zlib's default: the same output on page-sized data, and less to
    // clear on every reset.
    if (deflateInit2(&z_, level, Z_DEFLATED, raw ? -15 : 15, 6, Z_DEFAULT_STRATEGY) != Z_OK)
      throw std::bad_alloc();
  }
  ~Deflater() { deflateEnd(&z_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Replaces `out` with `in` compressed. zlib counts in 32 bits (its bound, too, on Windows).
  void run(const std::string& in, std::string& out) {
    if (in.size() > kMaxInput) throw std::length_error("an object too large to compress");
    deflateReset(&z_);
    out.resize(deflateBound(&z_, static_cast<uLong>(in.size())));
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z_.avail_in = static_cast<uInt>(in.size());
    z_.next_out = reinterpret_cast<Bytef*>(out.data());
    z_.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z_, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("compression failed");
    out.resize(z_.total_out);
  }

  // Replaces `out` with `in` as a piece, for a raw deflater: `last` ends the stream, any other
  // piece ends in an empty stored block so that the next one starts on a byte.
  void piece(std::string_view in, bool last, DeflatePiece& out);

 private:
  static constexpr std::size_t kMaxInput = 1u << 30;
  z_stream z_{};
};

// `in` as a piece of stored blocks, for data that does not compress.
void stored_piece(std::string_view in, DeflatePiece& out);

// Replaces `out` with the zlib stream of `pieces` one after the other, the last one last: so
// that the parts of data that are the same from one stream to the next are compressed once.
void join_stream(std::initializer_list<const DeflatePiece*> pieces, std::string& out);

}  // namespace pagerift::splitter
