#include "splitter/source/file_source.h"

#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace pagerift::splitter {

CachedFileSource::CachedFileSource(std::string name, FILE* file)
    : name_(std::move(name)), file_(file) {
  if (QUtil::seek(file_, 0, SEEK_END) != 0) throw std::runtime_error(name_ + ": cannot seek");
  size_ = QUtil::tell(file_);
}

const CachedFileSource::Block& CachedFileSource::block_at(qpdf_offset_t start) {
  Block* victim = &blocks_[0];
  for (auto& block : blocks_) {
    if (block.start == start) {
      block.used = ++clock_;
      return block;
    }
    if (block.used < victim->used) victim = &block;
  }
  victim->data.resize(kBlockSize);
  victim->start = -1;
  if (QUtil::seek(file_, start, SEEK_SET) != 0)
    throw QPDFExc(qpdf_e_system, name_, "", start, "cannot seek in the file");
  victim->length = std::fread(victim->data.data(), 1, kBlockSize, file_);
  if (victim->length < kBlockSize && std::ferror(file_))
    throw QPDFExc(qpdf_e_system, name_, "", start, "cannot read the file");
  victim->start = start;
  victim->used = ++clock_;
  return *victim;
}

size_t CachedFileSource::read(char* buffer, size_t length) {
  last_offset = pos_;
  size_t done = 0;
  while (done < length && pos_ < size_) {
    qpdf_offset_t start = pos_ - pos_ % static_cast<qpdf_offset_t>(kBlockSize);
    const Block& block = block_at(start);
    auto skip = static_cast<size_t>(pos_ - start);
    if (skip >= block.length) break;  // the file shrank under us
    size_t n = std::min(length - done, block.length - skip);
    std::memcpy(buffer + done, block.data.data() + skip, n);
    done += n;
    pos_ += static_cast<qpdf_offset_t>(n);
  }
  if (done == 0 && length > 0) {
    pos_ = size_;
    last_offset = pos_;
  }
  return done;
}

// The offset may come straight from the file (a stream's /Length, say) and be anything. Like the
// C library under qpdf's own file source, refuse a position before the start or past what an
// offset can hold, and stay where we were.
void CachedFileSource::seek(qpdf_offset_t offset, int whence) {
  qpdf_offset_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? pos_ : size_;
  qpdf_offset_t to = 0;
  if (__builtin_add_overflow(base, offset, &to) || to < 0)
    throw QPDFSystemError("seek to " + name_ + ", offset " + std::to_string(offset) + " (" +
                              std::to_string(whence) + ")",
                          EINVAL);
  pos_ = to;
}

// Same contract as qpdf's file source: the offset of the next end of line, positioned after it.
qpdf_offset_t CachedFileSource::findAndSkipNextEOL() {
  char buf[10240];
  while (true) {
    qpdf_offset_t at = pos_;
    size_t len = read(buf, sizeof buf);
    if (len == 0) return tell();
    const char* p1 = static_cast<const char*>(std::memchr(buf, '\r', len));
    const char* p2 = static_cast<const char*>(std::memchr(buf, '\n', len));
    const char* p = (p1 && p2) ? std::min(p1, p2) : p1 ? p1 : p2;
    if (!p) continue;
    qpdf_offset_t result = at + (p - buf);
    pos_ = result + 1;
    char ch;
    while (read(&ch, 1) == 1) {
      if (ch != '\r' && ch != '\n') {
        unreadCh(ch);
        break;
      }
    }
    return result;
  }
}

}  // namespace pagerift::splitter
