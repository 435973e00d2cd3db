#include "splitter/write/deflater.h"

#include <algorithm>

namespace pagerift::splitter {
namespace {

uLong adler_of(std::string_view in) {
  return adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(in.data()),
                 static_cast<uInt>(in.size()));
}

}  // namespace

void Deflater::piece(std::string_view in, bool last, DeflatePiece& out) {
  if (in.size() > kMaxInput) throw std::length_error("an object too large to compress");
  deflateReset(&z_);
  // deflateBound leaves out the marker a flush writes.
  out.data.resize(deflateBound(&z_, static_cast<uLong>(in.size())) + 16);
  z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z_.avail_in = static_cast<uInt>(in.size());
  z_.next_out = reinterpret_cast<Bytef*>(out.data.data());
  z_.avail_out = static_cast<uInt>(out.data.size());
  int done = deflate(&z_, last ? Z_FINISH : Z_SYNC_FLUSH);
  if (last ? done != Z_STREAM_END : done != Z_OK || z_.avail_in != 0)
    throw std::runtime_error("compression failed");
  out.data.resize(z_.total_out);
  out.adler = adler_of(in);
  out.size = in.size();
}

void stored_piece(std::string_view in, DeflatePiece& out) {
  constexpr std::size_t kBlock = 65535;  // the most a stored block holds
  if (in.size() > (1u << 30)) throw std::length_error("an object too large to compress");
  out.data.clear();
  out.data.reserve(in.size() + 5 * (in.size() / kBlock + 1));
  for (std::size_t at = 0; at < in.size(); at += kBlock) {
    std::size_t n = std::min(kBlock, in.size() - at);
    // Not the last block, stored: three bits of header, then the rest of the byte unused.
    out.data += '\0';
    out.data += static_cast<char>(n & 0xff);
    out.data += static_cast<char>(n >> 8);
    out.data += static_cast<char>(~n & 0xff);
    out.data += static_cast<char>((~n >> 8) & 0xff);
    out.data.append(in.substr(at, n));
  }
  out.adler = adler_of(in);
  out.size = in.size();
}

void join_stream(std::initializer_list<const DeflatePiece*> pieces, std::string& out) {
  std::size_t size = 6;
  for (const DeflatePiece* piece : pieces) size += piece->data.size();
  out.clear();
  out.reserve(size);
  out += "\x78\x01";
  uLong sum = adler32(0, nullptr, 0);
  for (const DeflatePiece* piece : pieces) {
    out += piece->data;
    sum = adler32_combine(sum, piece->adler, static_cast<z_off_t>(piece->size));
  }
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((sum >> shift) & 0xff);
}

}  // namespace pagerift::splitter
