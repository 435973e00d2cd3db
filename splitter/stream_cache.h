// Stream data that more than one page file carries, kept as it is written.
#pragma once

#include <qpdf/QPDFObjGen.hh>

#include <cstddef>
#include <map>
#include <set>
#include <string>

namespace pagerift::splitter {

// Fonts, images and the document's own XMP and colour profiles go into many page files. Read,
// compressed and checksummed once, their bytes are written again from here. Only what a second
// page asks for is kept, and no more than a budget in all, so a document whose pages share
// nothing costs no memory, and one that shares a lot costs a bounded amount.
class StreamCache {
 public:
  struct Entry {
    std::string data;       // as written: compressed by us when `deflated`
    bool deflated = false;  // stored plain in the source, compressed for the page file
    unsigned long crc = 0;  // CRC-32 of `data`
  };

  explicit StreamCache(std::size_t budget) : budget_(budget) {}

  // The kept bytes of `stream`, or null when they are not kept.
  const Entry* find(QPDFObjGen stream) const {
    auto it = kept_.find(stream);
    return it == kept_.end() ? nullptr : &it->second;
  }

  // Offers the bytes just written for `stream`: kept when a page asked for it before and they
  // fit the budget.
  void offer(QPDFObjGen stream, const std::string& data, bool deflated, unsigned long crc) {
    if (seen_.insert(stream).second) return;
    if (data.size() > budget_ - used_) return;
    used_ += data.size();
    kept_.emplace(stream, Entry{data, deflated, crc});
  }

 private:
  std::size_t budget_, used_ = 0;
  std::set<QPDFObjGen> seen_;
  std::map<QPDFObjGen, Entry> kept_;
};

}  // namespace pagerift::splitter
