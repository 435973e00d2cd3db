// What a source's XMP metadata says of its PDF/A conformance.
#pragma once

#include <qpdf/QPDF.hh>

#include <string_view>

namespace pagerift::splitter {

// The part of PDF/A that `xmp` claims (1 to 4), or 0 when it claims none. The claim is the
// property `part` of the PDF/A identification schema, written as an attribute or as an element,
// under whatever prefix the packet binds to the schema's namespace. Anything else, malformed
// text included, is no claim.
int pdfa_part(std::string_view xmp);

// The same for the document's own metadata stream; 0 when it has none or it cannot be read.
int pdfa_part(QPDF& pdf);

}  // namespace pagerift::splitter
