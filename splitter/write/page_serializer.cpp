#include "splitter/write/page_serializer.h"

#include "splitter/write/digest.h"
#include "splitter/write/stream_cache.h"

#include <qpdf/Pl_String.hh>
#include <qpdf/QUtil.hh>

#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <list>
#include <map>
#include <new>
#include <stdexcept>
#include <string_view>

namespace pagerift::splitter {
namespace {

// A dictionary key in PDF syntax. qpdf keeps a malformed "#" escape as a NUL byte.
void append_name(std::string& out, const std::string& name) {
  out += '/';
  for (std::size_t i = 1; i < name.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    if (c == 0) {
      out += '#';
    } else if (c < 33 || c > 126 || std::strchr("#()<>[]{}/%", c)) {
      static const char hex[] = "0123456789abcdef";
      out += '#';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
}

bool has_filter(QPDFObjectHandle dict) {
  QPDFObjectHandle filter = dict.getKey("/Filter");
  return filter.isName() || (filter.isArray() && filter.getArrayNItems() > 0);
}

}  // namespace

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

// What the stream cache may hold: the shared plain streams of a typical document (its colour
// profiles) fit many times over, and the peak memory of one that shares a lot grows by no more.
constexpr std::size_t kStreamCacheBudget = 8u << 20;

struct PageSerializer::Scratch {
  // Stream data stored plain gets zlib's usual compression: a shared one is compressed once.
  Deflater deflater{Z_DEFAULT_COMPRESSION};
  // The object and cross-reference streams are new for every page and mostly small: zlib's fast
  // matcher takes half the time of its default on them, for about 0.2% more bytes in a page file.
  Deflater packer{3};
  std::string body, data, packed, index;
  StreamCache streams{kStreamCacheBudget};
};

namespace {

// One page file being written. Objects get numbers as they are first referenced: 1 is the
// catalog, 2 the page tree, 3 the page. Streams are written as they come; all other objects are
// collected into one object stream written at the end, followed by the cross-reference stream.
class PageFile {
 public:
  PageFile(const std::set<QPDFObjGen>& outside, const Substitutes& substitutes,
           QPDFObjectHandle page, PageSerializer::Scratch& scratch, Pipeline& out)
      : outside_(outside),
        substitutes_(substitutes),
        page_(page.getObjGen()),
        s_(scratch),
        body_(scratch.body),
        out_(out) {
    body_.clear();
    numbers_[page_] = kPage;
    todo_.push_back({kPage, page});
    next_ = kPage + 1;
  }

  void write(const std::string& version, QPDFObjectHandle catalog, QPDFObjectHandle info,
             const std::string& id_seed) {
    put("%PDF-" + version + "\n%\xbf\xf7\xa2\xfe\n");
    packed_.emplace_back(1, body_.size());
    body_ += "<</Pages 2 0 R ";
    emit_entries(catalog, body_);
    body_ += ">>\n";
    packed_.emplace_back(2, body_.size());
    body_ += "<</Type /Pages /Kids [3 0 R] /Count 1>>\n";
    int info_number = 0;
    if (info.isDictionary()) {
      if (info.isIndirect())
        info_number = reference(info);
      else
        add_direct(info_number = next_++, info);
    }
    while (!todo_.empty()) {
      auto [number, obj] = todo_.front();
      todo_.pop_front();
      QPDFObjGen source = obj.getObjGen();
      if (!substitutes_.empty())
        if (auto it = substitutes_.find(source); it != substitutes_.end()) {
          obj = it->second;
          source = QPDFObjGen();  // not the source's own, so not the cache's either
        }
      if (obj.getTypeCode() == ::ot_stream)
        write_stream(number, obj, source);
      else
        add_direct(number, obj);
    }
    write_object_stream();
    write_xref(info_number, id_seed);
  }

 private:
  void put(std::string_view bytes) {
    put(bytes, crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
  }
  // Bytes whose CRC-32 is known already: the checksum of the file so far takes it in at once.
  void put(std::string_view bytes, uLong crc) {
    out_.write(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    written_ += bytes.size();
    crc_ = crc32_combine(crc_, crc, static_cast<z_off_t>(bytes.size()));
  }

  // The number an indirect object gets in this file, or 0 when it stays out (another page,
  // also one outside the page tree, the page tree, a part of the document's structure that this
  // page file does not rebuild, a missing object): such references are written as null.
  int reference(QPDFObjectHandle obj) {
    QPDFObjGen og = obj.getObjGen();
    if (auto it = numbers_.find(og); it != numbers_.end()) return it->second;
    auto type = obj.getTypeCode();
    if (type == ::ot_null || (og != page_ && ((outside_.count(og) && !substitutes_.count(og)) ||
                                              (type == ::ot_dictionary &&
                                               obj.getKey("/Type").isNameAndEquals("/Page")))))
      return numbers_[og] = 0;
    numbers_[og] = next_;
    todo_.push_back({next_, obj});
    return next_++;
  }

  void emit(QPDFObjectHandle obj, std::string& out, bool top = false) {
    if (!top && obj.isIndirect()) {
      int number = reference(obj);
      out += number ? std::to_string(number) + " 0 R" : "null";
      return;
    }
    switch (obj.getTypeCode()) {
      case ::ot_array: {
        out += '[';
        for (auto& item : obj.getArrayAsVector()) {
          emit(item, out);
          out += ' ';
        }
        out += ']';
        break;
      }
      case ::ot_dictionary:
        out += "<<";
        emit_entries(obj, out);
        out += ">>";
        break;
      default: out += obj.unparseResolved();  // a top-level object may be an indirect scalar
    }
  }

  // Filters and their parameters written in place: readers expect no references there.
  void emit_resolved(QPDFObjectHandle obj, std::string& out) {
    if (obj.getTypeCode() != ::ot_array) return emit(obj, out, true);
    out += '[';
    for (auto& item : obj.getArrayAsVector()) {
      emit(item, out, true);
      out += ' ';
    }
    out += ']';
  }

  // Null entries are left out, as a null value means the key is absent.
  void emit_entries(QPDFObjectHandle dict, std::string& out, bool is_page = false,
                    bool is_stream = false) {
    // Type tests by type code: qpdf's isNull() and friends cost a dynamic_cast each.
    for (auto& [key, value] : dict.getDictAsMap()) {
      if (is_stream && (key == "/Length" || key == "/Filter" || key == "/DecodeParms")) continue;
      if (is_page && key == "/Parent") continue;
      if (value.isIndirect() ? reference(value) == 0 : value.getTypeCode() == ::ot_null) continue;
      append_name(out, key);
      out += ' ';
      emit(value, out);
      out += ' ';
    }
  }

  void add_direct(int number, QPDFObjectHandle obj) {
    packed_.emplace_back(number, body_.size());
    if (number == kPage && obj.getTypeCode() == ::ot_dictionary) {
      body_ += "<</Parent 2 0 R ";
      emit_entries(obj, body_, true);
      body_ += ">>";
    } else {
      emit(obj, body_, true);
    }
    body_ += '\n';
  }

  // `source` names the stream in the source document, or is empty for one that is not its own.
  void write_stream(int number, QPDFObjectHandle stream, QPDFObjGen source) {
    QPDFObjectHandle dict = stream.getDict();
    const StreamCache::Entry* kept = source.isIndirect() ? s_.streams.find(source) : nullptr;
    std::string_view data;
    bool deflated = false;
    uLong crc = 0;
    if (kept) {
      data = kept->data;
      deflated = true;
      crc = kept->crc;
    } else {
      deflated = read_stream(stream, dict, s_.data);
      data = s_.data;
      crc = crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size());
      if (deflated && source.isIndirect()) s_.streams.offer(source, s_.data, crc);
    }
    std::string head = std::to_string(number) + " 0 obj\n<<";
    if (deflated) {
      head += "/Filter /FlateDecode ";
    } else if (has_filter(dict)) {
      head += "/Filter ";
      emit_resolved(dict.getKey("/Filter"), head);
      if (dict.hasKey("/DecodeParms")) {
        head += " /DecodeParms ";
        emit_resolved(dict.getKey("/DecodeParms"), head);
      }
      head += ' ';
    }
    emit_entries(dict, head, false, true);
    head += "/Length " + std::to_string(data.size()) + ">>\nstream\n";
    offsets_.emplace_back(number, written_);
    put(head);
    put(data, crc);
    put("\nendstream\nendobj\n");
  }

  // Reads the stream's data as stored into `data`; whether it was compressed here. Like qpdf,
  // compress what is stored plain, but keep XMP metadata readable as text: byte for byte as the
  // source has it.
  bool read_stream(QPDFObjectHandle stream, QPDFObjectHandle dict, std::string& data) {
    data.clear();
    Pl_String sink("stream data", nullptr, data);
    if (!stream.pipeStreamData(&sink, nullptr, 0, qpdf_dl_none, false, false))
      throw std::runtime_error("the data of object " + stream.getObjGen().unparse(' ') +
                               " cannot be read");
    if (has_filter(dict) || data.size() <= 64 || data.size() >= (1u << 30) ||
        dict.isDictionaryOfType("/Metadata") || dict.getKey("/Subtype").isNameAndEquals("/XML"))
      return false;
    std::string& packed = s_.packed;
    s_.deflater.run(data, packed);
    if (packed.size() >= data.size()) return false;
    data.swap(packed);
    return true;
  }

  void write_object_stream() {
    std::string& index = s_.index;
    index.clear();
    for (auto& [number, offset] : packed_)
      index += std::to_string(number) + ' ' + std::to_string(offset) + ' ';
    std::size_t first = index.size();
    index += body_;
    std::string& data = s_.packed;
    s_.packer.run(index, data);
    stream_number_ = next_++;
    offsets_.emplace_back(stream_number_, written_);
    put(std::to_string(stream_number_) + " 0 obj\n<</Type /ObjStm /N " +
        std::to_string(packed_.size()) + " /First " + std::to_string(first) +
        " /Filter /FlateDecode /Length " + std::to_string(data.size()) + ">>\nstream\n");
    put(data);
    put("\nendstream\nendobj\n");
  }

  void write_xref(int info_number, const std::string& id_seed) {
    int xref_number = next_++;
    std::uint64_t xref_offset = written_;
    // Rows of three fields: type, offset or object stream, generation or index.
    std::vector<std::array<std::uint64_t, 3>> rows(static_cast<std::size_t>(next_), {0, 0, 0});
    rows[0] = {0, 0, 65535};
    for (auto& [number, offset] : offsets_) rows[static_cast<std::size_t>(number)] = {1, offset, 0};
    for (std::size_t i = 0; i < packed_.size(); ++i)
      rows[static_cast<std::size_t>(packed_[i].first)] = {
          2, static_cast<std::uint64_t>(stream_number_), i};
    rows[static_cast<std::size_t>(xref_number)] = {1, xref_offset, 0};
    auto width = [](std::uint64_t max) {
      int w = 1;
      while (max >>= 8) ++w;
      return w;
    };
    int w1 = width(std::max<std::uint64_t>(xref_offset, static_cast<std::uint64_t>(next_)));
    int w2 = std::max(2, width(packed_.size()));
    std::string table(rows.size() * static_cast<std::size_t>(1 + w1 + w2), '\0');
    char* at = table.data();
    for (auto& row : rows) {
      *at++ = static_cast<char>(row[0]);
      for (int b = w1 - 1; b >= 0; --b) *at++ = static_cast<char>((row[1] >> (8 * b)) & 0xff);
      for (int b = w2 - 1; b >= 0; --b) *at++ = static_cast<char>((row[2] >> (8 * b)) & 0xff);
    }
    std::string packed_table;
    s_.packer.run(table, packed_table);
    table.swap(packed_table);
    // A checksum of the bytes so far tells apart pages of sources that share an /ID.
    std::string hex_id = QUtil::hex_encode(
        Md5()
            .add(id_seed)
            .add(" bytes " + std::to_string(written_) + " crc " + std::to_string(crc_))
            .finish());
    std::string head = std::to_string(xref_number) + " 0 obj\n<</Type /XRef /Size " +
                       std::to_string(next_) + " /W [1 " + std::to_string(w1) + " " +
                       std::to_string(w2) + "] /Root 1 0 R";
    if (info_number) head += " /Info " + std::to_string(info_number) + " 0 R";
    head.append(" /ID [<").append(hex_id).append("><").append(hex_id).append(">]");
    head += " /Filter /FlateDecode /Length " + std::to_string(table.size()) + ">>\nstream\n";
    put(head);
    put(table);
    put("\nendstream\nendobj\nstartxref\n" + std::to_string(xref_offset) + "\n%%EOF\n");
  }

  static constexpr int kPage = 3;
  const std::set<QPDFObjGen>& outside_;
  const Substitutes& substitutes_;
  QPDFObjGen page_;
  PageSerializer::Scratch& s_;
  std::string& body_;  // the object stream's objects
  Pipeline& out_;
  std::uint64_t written_ = 0;
  uLong crc_ = crc32_z(0, nullptr, 0);
  int next_ = 1, stream_number_ = 0;
  std::map<QPDFObjGen, int> numbers_;
  std::list<std::pair<int, QPDFObjectHandle>> todo_;
  std::vector<std::pair<int, std::size_t>> packed_;     // number, offset in body_
  std::vector<std::pair<int, std::uint64_t>> offsets_;  // number, offset in the file
};

}  // namespace

PageSerializer::PageSerializer() : scratch_(std::make_unique<Scratch>()) {}
PageSerializer::~PageSerializer() = default;

void PageSerializer::write(const std::set<QPDFObjGen>& outside, const Substitutes& substitutes,
                           QPDFObjectHandle page, QPDFObjectHandle catalog, QPDFObjectHandle info,
                           const std::string& version, const std::string& id_seed, Pipeline& out) {
  PageFile(outside, substitutes, page, *scratch_, out).write(version, catalog, info, id_seed);
  out.finish();
}

}  // namespace pagerift::splitter
