#include "splitter/write/encryption.h"

#include "splitter/write/digest.h"

#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstring>
#include <stdexcept>

namespace pagerift::splitter {
namespace {

// The dictionary written whole, with references resolved: the reader needs it before it can read
// any other object. Its strings are not encrypted. A crafted one nests without end.
void unparse_direct(QPDFObjectHandle obj, std::string& out, int depth = 0) {
  if (depth > 16) throw std::runtime_error("the encryption dictionary nests too deep");
  switch (obj.getTypeCode()) {
    case ::ot_dictionary:
      out += "<<";
      for (auto& [key, value] : obj.getDictAsMap()) {
        if (value.isNull()) continue;
        out += QPDFObjectHandle::newName(key).unparse();
        out += ' ';
        unparse_direct(value, out, depth + 1);
        out += ' ';
      }
      out += ">>";
      break;
    case ::ot_array:
      out += '[';
      for (auto& item : obj.getArrayAsVector()) {
        unparse_direct(item, out, depth + 1);
        out += ' ';
      }
      out += ']';
      break;
    default: out += obj.unparseResolved();
  }
}

bool known(QPDF::encryption_method_e method) {
  return method == QPDF::e_none || method == QPDF::e_rc4 || method == QPDF::e_aes ||
         method == QPDF::e_aesv3;
}

}  // namespace

std::optional<Encryption> Encryption::of(QPDF& pdf, bool& unsupported) {
  unsupported = false;
  int R = 0, P = 0, V = 0;
  QPDF::encryption_method_e stream = QPDF::e_none, string = QPDF::e_none, file = QPDF::e_none;
  if (!pdf.isEncrypted(R, P, V, stream, string, file)) return std::nullopt;
  // Crypt filters came with version 4; before it everything is RC4, which qpdf leaves unsaid.
  if (V < 4) stream = string = QPDF::e_rc4;
  QPDFObjectHandle dict = pdf.getTrailer().getKey("/Encrypt");
  std::string key = pdf.getEncryptionKey();
  if (!known(stream) || !known(string) || !dict.isDictionary() || key.empty()) {
    unsupported = true;
    return std::nullopt;
  }
  Encryption e;
  e.key_ = std::move(key);
  e.V_ = V;
  e.R_ = R;
  e.stream_method_ = stream;
  e.string_method_ = string;
  QPDFObjectHandle metadata = dict.getKey("/EncryptMetadata");
  e.encrypt_metadata_ = V < 4 || !metadata.isBool() || metadata.getBoolValue();
  unparse_direct(dict, e.dictionary_);
  QPDFObjectHandle id = pdf.getTrailer().getKey("/ID");
  if (id.isArray() && id.getArrayNItems() > 0 && id.getArrayItem(0).isString())
    e.first_id_ = id.getArrayItem(0).getStringValue();
  e.crypto_ = QPDFCryptoProvider::getImpl();
  return e;
}

void Encryption::apply(QPDF::encryption_method_e method, int number, std::string& data,
                       std::string_view iv_seed) const {
  if (method == QPDF::e_none) return;
  const bool aes = method != QPDF::e_rc4;
  std::string key = QPDF::compute_data_key(key_, number, 0, aes, V_, R_);
  auto* bytes = reinterpret_cast<unsigned char*>(data.data());
  if (!aes) {
    crypto_->RC4_init(reinterpret_cast<const unsigned char*>(key.data()),
                      static_cast<int>(key.size()));
    crypto_->RC4_process(bytes, data.size(), bytes);
    crypto_->RC4_finalize();
    return;
  }
  // CBC with the padding of PKCS #5, the initialisation vector first, as the methods ask.
  constexpr std::size_t kBlock = QPDFCryptoImpl::rijndael_buf_size;
  static_assert(kBlock == 16);
  std::string iv = Md5().add("iv ").add(iv_seed).finish();
  const std::size_t pad = kBlock - data.size() % kBlock;
  data.append(pad, static_cast<char>(pad));
  std::string out = iv;
  out.resize(kBlock + data.size());
  unsigned char chain[kBlock];
  std::memcpy(chain, iv.data(), kBlock);
  crypto_->rijndael_init(true, reinterpret_cast<const unsigned char*>(key.data()), key.size(), true,
                         chain);
  auto* to = reinterpret_cast<unsigned char*>(out.data()) + kBlock;
  for (std::size_t at = 0; at < data.size(); at += kBlock)
    crypto_->rijndael_process(reinterpret_cast<unsigned char*>(data.data()) + at, to + at);
  crypto_->rijndael_finalize();
  data.swap(out);
}

}  // namespace pagerift::splitter
