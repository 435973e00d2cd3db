// MD5 through qpdf's crypto provider: the same digest from the native and the Windows build.
#pragma once

#include <qpdf/QPDFCryptoImpl.hh>
#include <qpdf/QPDFCryptoProvider.hh>

#include <memory>
#include <string>
#include <string_view>

namespace pagerift::splitter {

class Md5 {
 public:
  Md5() : impl_(QPDFCryptoProvider::getImpl()) { impl_->MD5_init(); }
  Md5& add(std::string_view bytes) {
    impl_->MD5_update(reinterpret_cast<unsigned char const*>(bytes.data()), bytes.size());
    return *this;
  }
  // The 16 bytes of the digest; the object is done with after this.
  std::string finish() {
    QPDFCryptoImpl::MD5_Digest digest;
    impl_->MD5_finalize();
    impl_->MD5_digest(digest);
    return std::string(reinterpret_cast<char*>(digest), sizeof digest);
  }

 private:
  std::shared_ptr<QPDFCryptoImpl> impl_;
};

}  // namespace pagerift::splitter
