// Prunes the fonts and XObjects that pages share down to what each page's content uses.
#pragma once

#include <qpdf/QPDF.hh>

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace pagerift::splitter {

// The resource names a content stream uses: the last name before each operator that takes one.
struct ResourceNames {
  std::set<std::string> all;
  std::map<std::string, std::set<std::string>> by_type;  // "/Font" -> {"/F1", ...}
};

// The resource type ("/Font", ...) whose name an operator takes, or null when it takes none.
const char* resource_type(std::string_view op);

// Reads the names from decoded content without building an object for every token; the end of
// an inline image's data is found by qpdf's own tokenizer. Returns false when the content holds
// anything qpdf's parser would warn about or treat specially (stray tokens, unbalanced brackets,
// odd dictionaries, "#" in names, integers past 64 bits): such content is left to it.
bool scan_resource_names(std::string_view content, ResourceNames& names);

// Where an inline image's data ends: `i` is just past its ID on the way in, and just past its
// data on the way out. False when qpdf's tokenizer finds no end.
bool skip_inline_image(std::string_view content, std::size_t& i);

// What qpdf's QPDFPageDocumentHelper::removeUnreferencedResources does, to the same result, objects
// and warnings; only the content streams are read with scan_resource_names where it can, and a
// form XObject that many pages draw is read once.
void remove_unreferenced_resources(QPDF& pdf);

}  // namespace pagerift::splitter
