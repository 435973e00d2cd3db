// A read-only PDF source over a FILE*, with a small block cache.
#pragma once

#include <qpdf/InputSource.hh>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace pagerift::splitter {

// qpdf's own file source asks the C library where it is before every read and seeks before most,
// which costs two system calls per object. This one keeps its position itself and reads the file
// in 64 KiB blocks, so the source is read about once however the objects are visited.
class CachedFileSource : public InputSource {
 public:
  // `file` stays owned by the caller and must outlive this source.
  CachedFileSource(std::string name, FILE* file);

  qpdf_offset_t findAndSkipNextEOL() override;
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return pos_; }
  void seek(qpdf_offset_t offset, int whence) override;
  void rewind() override { pos_ = 0; }
  size_t read(char* buffer, size_t length) override;
  void unreadCh(char) override {
    if (pos_ > 0) --pos_;
  }

 private:
  static constexpr size_t kBlockSize = 1 << 16;
  static constexpr size_t kBlocks = 4;
  struct Block {
    qpdf_offset_t start = -1;
    size_t length = 0;
    unsigned long long used = 0;
    std::vector<char> data;
  };
  const Block& block_at(qpdf_offset_t start);

  std::string name_;
  FILE* file_;
  qpdf_offset_t size_ = 0;
  qpdf_offset_t pos_ = 0;
  unsigned long long clock_ = 0;
  std::array<Block, kBlocks> blocks_;
};

}  // namespace pagerift::splitter
