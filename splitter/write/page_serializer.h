// Serialises one page of an open document as a complete PDF file.
#pragma once

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <memory>
#include <set>
#include <string>

namespace pagerift::splitter {

// Objects written in place of the source's own, keyed by the object they stand in for.
using Substitutes = std::map<QPDFObjGen, QPDFObjectHandle>;

// A fresh copy of what stands in for `obj` (its substitute, or `obj` itself), made its substitute,
// for a part of the writer to change: the changes of earlier parts stay.
inline QPDFObjectHandle substitute_copy(Substitutes& substitutes, QPDFObjectHandle obj) {
  auto it = substitutes.find(obj.getObjGen());
  return substitutes[obj.getObjGen()] = (it != substitutes.end() ? it->second : obj).shallowCopy();
}

class Encryption;

// How a page file is laid out and protected.
struct FileForm {
  // A cross-reference table and every object on its own, as PDF 1.4 has it.
  bool classic = false;
  // Encrypted as the source is; null for a plain file. Must outlive the write.
  const Encryption* encryption = nullptr;
};

// Writes the page with everything it reaches, straight from the source document, except the
// objects in `outside` (other pages, the page tree): references to them become null, as in a
// page copied with qpdf. Stream data is copied as stored; streams stored uncompressed are
// compressed. All other objects go into one compressed object stream, indexed by a
// cross-reference stream, unless the form asks for the classic layout. Nothing is copied into a
// second document and nothing is serialised twice, which is what makes this fast; the source is not
// changed. What the page file needs otherwise than the source has it (a mended link, say) comes as
// a direct object in `substitutes`, written under the number of the object it stands in for.
//
// An object in `outside` that has a substitute is written all the same: that is how a page file
// gets its part of the structure tree and the outlines, and none of the rest.
class PageSerializer {
 public:
  PageSerializer();
  ~PageSerializer();
  PageSerializer(const PageSerializer&) = delete;
  PageSerializer& operator=(const PageSerializer&) = delete;

  // `catalog` is a direct dictionary without /Pages; `info` is null or the information
  // dictionary. The file's /ID is a digest of `id_seed` and the file's own bytes, so equal
  // input gives equal files and different pages never share an /ID. Throws when the source's
  // data cannot be read; `out` may throw when it cannot take the bytes. An encrypted file keeps
  // the first /ID element its key depends on, and its AES vectors are derived from `id_seed`.
  void write(const std::set<QPDFObjGen>& outside, const Substitutes& substitutes,
             QPDFObjectHandle page, QPDFObjectHandle catalog, QPDFObjectHandle info,
             const std::string& version, const std::string& id_seed, const FileForm& form,
             Pipeline& out);

  struct Scratch;  // buffers and compressor state kept from one page to the next

 private:
  std::unique_ptr<Scratch> scratch_;
};

}  // namespace pagerift::splitter
