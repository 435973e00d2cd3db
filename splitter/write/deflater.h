// zlib's deflate, one stream kept for many runs.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>

namespace pagerift::splitter {

// One zlib stream reused for every compression, so that its state is allocated once per run
// rather than a few times per page.
class Deflater final {
 public:
  explicit Deflater(int level) {
    // A smaller hash than zlib's default: the same output on page-sized data, and less to
    // clear on every reset.
    if (deflateInit2(&z_, level, Z_DEFLATED, 15, 6, Z_DEFAULT_STRATEGY) != Z_OK)
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

 private:
  static constexpr std::size_t kMaxInput = 1u << 30;
  z_stream z_{};
};

}  // namespace pagerift::splitter
