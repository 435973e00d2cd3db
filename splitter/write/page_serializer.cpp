#include "splitter/write/page_serializer.h"

#include "splitter/write/deflater.h"
#include "splitter/write/digest.h"
#include "splitter/write/encryption.h"
#include "splitter/write/stream_cache.h"
#include "splitter/write/xref.h"

#include <qpdf/Pl_String.hh>
#include <qpdf/QUtil.hh>

#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
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

// What the stream cache may hold: the shared plain streams of a typical document (its colour
// profiles) fit many times over, and the peak memory of one that shares a lot grows by no more.
constexpr std::size_t kStreamCacheBudget = 8u << 20;

struct PageSerializer::Scratch {
  // Stream data stored plain gets zlib's usual compression: a shared one is compressed once.
  Deflater deflater{Z_DEFAULT_COMPRESSION};
  // The object and cross-reference streams are new for every page and mostly small: zlib's fast
  // matcher takes half the time of its default on them, for about 0.2% more bytes in a page file.
  Deflater packer{3};
  std::string body, data, packed, index, object, crypt;
  StreamCache streams{kStreamCacheBudget};
};

namespace {

// One page file being written. Objects get numbers as they are first referenced: 1 is the
// catalog, 2 the page tree, 3 the page. Streams are written as they come; all other objects are
// collected into one object stream written at the end, followed by the cross-reference stream.
// In the classic form every object is written as it comes, and a cross-reference table ends the
// file. An encrypted file encrypts what the format encrypts: stream data, and the strings of
// objects outside the object stream; the object stream is encrypted as a whole.
class PageFile {
 public:
  PageFile(const std::set<QPDFObjGen>& outside, const Substitutes& substitutes,
           QPDFObjectHandle page, const FileForm& form, PageSerializer::Scratch& scratch,
           Pipeline& out)
      : outside_(outside),
        substitutes_(substitutes),
        page_(page.getObjGen()),
        form_(form),
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
    id_seed_ = &id_seed;
    put("%PDF-" + version + "\n%\xbf\xf7\xa2\xfe\n");
    std::string& root = open(1);
    root += "<</Pages 2 0 R ";
    emit_entries(catalog, root);
    root += ">>";
    close(1);
    open(2) += "<</Type /Pages /Kids [3 0 R] /Count 1>>";
    close(2);
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
    if (form_.classic) {
      write_table(info_number);
    } else {
      write_object_stream();
      write_xref(info_number);
    }
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
  // also one outside the page tree, the page tree, a missing object): such references are
  // written as null.
  int reference(QPDFObjectHandle obj) {
    QPDFObjGen og = obj.getObjGen();
    if (auto it = numbers_.find(og); it != numbers_.end()) return it->second;
    auto type = obj.getTypeCode();
    if (type == ::ot_null ||
        (og != page_ && (outside_.count(og) || (type == ::ot_dictionary &&
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
      case ::ot_string:
        if (string_owner_) {
          std::string value = obj.getStringValue();
          form_.encryption->string(string_owner_, value,
                                   *id_seed_ + " string " + std::to_string(string_owner_) + " " +
                                       std::to_string(strings_++));
          out.append(1, '<').append(QUtil::hex_encode(value)).append(1, '>');
          break;
        }
        [[fallthrough]];
      default: out += obj.unparseResolved();  // a top-level object may be an indirect scalar
    }
  }

  // Where object `number`'s text goes: into the object stream, or, in the classic form, out on
  // its own once close() is called.
  std::string& open(int number) {
    if (!form_.classic) {
      packed_.emplace_back(number, body_.size());
      return body_;
    }
    std::string& text = s_.object;
    text = std::to_string(number) + " 0 obj\n";
    if (form_.encryption) string_owner_ = number;
    return text;
  }
  void close(int number) {
    string_owner_ = 0;
    if (!form_.classic) {
      body_ += '\n';
      return;
    }
    s_.object += "\nendobj\n";
    offsets_.emplace_back(number, written_);
    put(s_.object);
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
    std::string& out = open(number);
    if (number == kPage && obj.getTypeCode() == ::ot_dictionary) {
      out += "<</Parent 2 0 R ";
      emit_entries(obj, out, true);
      out += ">>";
    } else {
      emit(obj, out, true);
    }
    close(number);
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
    // A reader leaves metadata plain when the dictionary says so.
    if (form_.encryption) {
      string_owner_ = number;
      if (form_.encryption->encrypts_metadata() || !dict.isDictionaryOfType("/Metadata")) {
        data = encrypt_stream(number, data);
        crc = crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size());
      }
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
    string_owner_ = 0;
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

  std::string_view encrypt_stream(int number, std::string_view data) {
    s_.crypt.assign(data);
    form_.encryption->stream(number, s_.crypt, *id_seed_ + " stream " + std::to_string(number));
    return s_.crypt;
  }

  void write_object_stream() {
    std::string& index = s_.index;
    index.clear();
    for (auto& [number, offset] : packed_)
      index += std::to_string(number) + ' ' + std::to_string(offset) + ' ';
    std::size_t first = index.size();
    index += body_;
    std::string& packed = s_.packed;
    s_.packer.run(index, packed);
    stream_number_ = next_++;
    std::string_view data = packed;
    if (form_.encryption) data = encrypt_stream(stream_number_, data);
    offsets_.emplace_back(stream_number_, written_);
    put(std::to_string(stream_number_) + " 0 obj\n<</Type /ObjStm /N " +
        std::to_string(packed_.size()) + " /First " + std::to_string(first) +
        " /Filter /FlateDecode /Length " + std::to_string(data.size()) + ">>\nstream\n");
    put(data);
    put("\nendstream\nendobj\n");
  }

  // The encryption dictionary goes on its own and in the clear, as readers need it first.
  int write_encryption() {
    if (!form_.encryption) return 0;
    int number = next_++;
    offsets_.emplace_back(number, written_);
    put(std::to_string(number) + " 0 obj\n" + form_.encryption->dictionary() + "\nendobj\n");
    return number;
  }

  // The trailer's entries after /Size. A checksum of the bytes so far tells apart pages of
  // sources that share an /ID; an encrypted file keeps the first element its key depends on.
  std::string trailer_entries(int info_number, int encryption_number) {
    std::string hex_id = QUtil::hex_encode(
        Md5()
            .add(*id_seed_)
            .add(" bytes " + std::to_string(written_) + " crc " + std::to_string(crc_))
            .finish());
    std::string first = form_.encryption ? QUtil::hex_encode(form_.encryption->first_id()) : hex_id;
    std::string entries = " /Root 1 0 R";
    if (info_number) entries += " /Info " + std::to_string(info_number) + " 0 R";
    if (encryption_number) entries += " /Encrypt " + std::to_string(encryption_number) + " 0 R";
    entries.append(" /ID [<").append(first).append("><").append(hex_id).append(">]");
    return entries;
  }

  void write_table(int info_number) {
    int encryption_number = write_encryption();
    std::vector<std::uint64_t> at(static_cast<std::size_t>(next_ - 1), 0);
    for (auto& [number, offset] : offsets_) at[static_cast<std::size_t>(number - 1)] = offset;
    std::string entries = trailer_entries(info_number, encryption_number);
    std::uint64_t table_offset = written_;
    put(xref_table(at) + "trailer\n<</Size " + std::to_string(next_) + entries + ">>\nstartxref\n" +
        std::to_string(table_offset) + "\n%%EOF\n");
  }

  void write_xref(int info_number) {
    int encryption_number = write_encryption();
    int xref_number = next_++;
    std::uint64_t xref_offset = written_;
    XrefRows rows(static_cast<std::size_t>(next_), {0, 0, 0});
    rows[0] = {0, 0, 65535};
    for (auto& [number, offset] : offsets_) rows[static_cast<std::size_t>(number)] = {1, offset, 0};
    for (std::size_t i = 0; i < packed_.size(); ++i)
      rows[static_cast<std::size_t>(packed_[i].first)] = {
          2, static_cast<std::uint64_t>(stream_number_), i};
    rows[static_cast<std::size_t>(xref_number)] = {1, xref_offset, 0};
    int w1 = 0, w2 = 0;
    std::string table;
    s_.packer.run(xref_stream_data(rows, w1, w2), table);
    std::string head = std::to_string(xref_number) + " 0 obj\n<</Type /XRef /Size " +
                       std::to_string(next_) + " /W [1 " + std::to_string(w1) + " " +
                       std::to_string(w2) + "]" + trailer_entries(info_number, encryption_number);
    head += " /Filter /FlateDecode /Length " + std::to_string(table.size()) + ">>\nstream\n";
    put(head);
    put(table);
    put("\nendstream\nendobj\nstartxref\n" + std::to_string(xref_offset) + "\n%%EOF\n");
  }

  static constexpr int kPage = 3;
  const std::set<QPDFObjGen>& outside_;
  const Substitutes& substitutes_;
  QPDFObjGen page_;
  const FileForm& form_;
  PageSerializer::Scratch& s_;
  std::string& body_;  // the object stream's objects
  Pipeline& out_;
  std::uint64_t written_ = 0;
  uLong crc_ = crc32_z(0, nullptr, 0);
  int next_ = 1, stream_number_ = 0;
  int string_owner_ = 0;  // the object whose strings are being written encrypted, or 0
  int strings_ = 0;       // strings encrypted so far: each gets a vector of its own
  const std::string* id_seed_ = nullptr;
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
                           const std::string& version, const std::string& id_seed,
                           const FileForm& form, Pipeline& out) {
  PageFile(outside, substitutes, page, form, *scratch_, out).write(version, catalog, info, id_seed);
  out.finish();
}

}  // namespace pagerift::splitter
