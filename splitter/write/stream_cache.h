// Stream data that more than one page file carries, kept as it is written.
#pragma once

#include <qpdf/QPDFObjGen.hh>

#include <cstddef>
#include <map>
#include <set>
#include <string>

namespace pagerift::splitter {

// A stream stored plain in the source is compressed for every page file that carries it: colour
// profiles, and the fonts and images of some writers. Compressed and checksummed once, its bytes
// are written again from here. Only what a second page asks for is kept, and no more than a
// budget in all. What the source stores compressed is not kept: copying it costs about what
// keeping it saves, and keeping the fonts of a large document raised its peak memory by 8%.
class StreamCache {
 public:
  struct Entry {
    std::string data;       // compressed by us
    unsigned long crc = 0;  // CRC-32 of `data`
  };

  explicit StreamCache(std::size_t budget) : budget_(budget) {}

  // The kept bytes of `stream`, or null when they are not kept.
  const Entry* find(QPDFObjGen stream) const {
    auto it = kept_.find(stream);
    return it == kept_.end() ? nullptr : &it->second;
  }

  // Offers the bytes just compressed for `stream`: kept when a page asked for it before and they
  // fit the budget.
  void offer(QPDFObjGen stream, const std::string& data, unsigned long crc) {
    if (seen_.insert(stream).second) return;
    if (data.size() > budget_ - used_) return;
    used_ += data.size();
    kept_.emplace(stream, Entry{data, crc});
  }

 private:
  std::size_t budget_, used_ = 0;
  std::set<QPDFObjGen> seen_;
  std::map<QPDFObjGen, Entry> kept_;
};

}  // namespace pagerift::splitter
