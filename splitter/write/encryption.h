// A page file encrypted as its source is, without knowing the source's owner password.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoImpl.hh>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pagerift::splitter {

// A source that opens without a password has a file key computed from the empty user password.
// A page file that keeps the source's encryption dictionary (and, for revisions 2 to 4, the first
// /ID element the key was computed with) has the same file key, so its data is encrypted with the
// source's key and the owner password still lifts the limits. The ciphers are qpdf's.
class Encryption {
 public:
  // The source's encryption, or nothing when it is not encrypted. When qpdf cannot tell its
  // methods, `unsupported` is set and nothing is returned.
  static std::optional<Encryption> of(QPDF& pdf, bool& unsupported);

  // The /ID element the file key depends on.
  const std::string& first_id() const { return first_id_; }
  // The encryption dictionary as PDF text, ready to be written as an object.
  const std::string& dictionary() const { return dictionary_; }
  bool encrypts_metadata() const { return encrypt_metadata_; }

  // Encrypt `data` in place as a stream or a string of object `number`. `iv_seed` makes the
  // initialisation vector of the AES methods: equal seeds give equal bytes.
  void stream(int number, std::string& data, std::string_view iv_seed) const {
    apply(stream_method_, number, data, iv_seed);
  }
  void string(int number, std::string& data, std::string_view iv_seed) const {
    apply(string_method_, number, data, iv_seed);
  }

 private:
  Encryption() = default;
  void apply(QPDF::encryption_method_e method, int number, std::string& data,
             std::string_view iv_seed) const;

  std::string key_, first_id_, dictionary_;
  int V_ = 0, R_ = 0;
  QPDF::encryption_method_e stream_method_ = QPDF::e_none, string_method_ = QPDF::e_none;
  bool encrypt_metadata_ = true;
  std::shared_ptr<QPDFCryptoImpl> crypto_;
};

}  // namespace pagerift::splitter
