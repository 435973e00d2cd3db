#include "splitter/page/resources.h"

#include <qpdf/InputSource.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

// Pruning used to be most of the splitter's CPU: qpdf's parser builds an object for every number
// of every text-showing operator of every page. All it needs are names and operators.
namespace pagerift::splitter {

// The same table as qpdf's.
const char* resource_type(std::string_view op) {
  static const std::pair<std::string_view, const char*> kTypes[] = {
      {"CS", "/ColorSpace"}, {"cs", "/ColorSpace"}, {"gs", "/ExtGState"},   {"Tf", "/Font"},
      {"SCN", "/Pattern"},   {"scn", "/Pattern"},   {"BDC", "/Properties"}, {"DP", "/Properties"},
      {"sh", "/Shading"},    {"Do", "/XObject"},
  };
  for (auto& [name, type] : kTypes)
    if (name == op) return type;
  return nullptr;
}

namespace {

void note(ResourceNames& names, const std::string& name, std::string_view op) {
  if (const char* type = resource_type(op)) {
    names.all.insert(name);
    names.by_type[type].insert(name);
  }
}

// The characters qpdf's tokenizer treats as white space and as delimiters.
bool is_space(char c) {
  return c == '\0' || c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\v';
}
bool is_delimiter(char c) {
  return is_space(c) || c == '/' || c == '(' || c == ')' || c == '<' || c == '>' || c == '[' ||
         c == ']' || c == '{' || c == '}' || c == '%';
}
bool is_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// qpdf's parser fails on an integer past 64 bits. Nineteen digits or more may be one; those few
// are left to the parser.
bool too_long_for_an_integer(std::string_view word) {
  std::size_t start = !word.empty() && (word[0] == '+' || word[0] == '-');
  if (start == word.size()) return false;
  for (std::size_t i = start; i < word.size(); ++i)
    if (word[i] < '0' || word[i] > '9') return false;
  while (start < word.size() && word[start] == '0') ++start;
  return word.size() - start >= 19;
}

// Content in memory as qpdf's tokenizer reads it, without a copy.
class ContentSource : public InputSource {
 public:
  explicit ContentSource(std::string_view content) : s_(content) {}
  qpdf_offset_t findAndSkipNextEOL() override {
    std::size_t eol = std::min(s_.find_first_of("\r\n", at_), s_.size());
    at_ = std::min(s_.find_first_not_of("\r\n", eol), s_.size());
    return static_cast<qpdf_offset_t>(eol);
  }
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return static_cast<qpdf_offset_t>(at_); }
  void seek(qpdf_offset_t offset, int whence) override {
    auto base = static_cast<qpdf_offset_t>(whence == SEEK_SET   ? 0
                                           : whence == SEEK_CUR ? at_
                                                                : s_.size());
    qpdf_offset_t to = 0;
    if (__builtin_add_overflow(base, offset, &to) || to < 0)
      throw std::range_error("seek outside the content");
    at_ = static_cast<std::size_t>(to);
  }
  void rewind() override { at_ = 0; }
  size_t read(char* buffer, size_t length) override {
    last_offset = tell();
    std::size_t n = at_ < s_.size() ? std::min(length, s_.size() - at_) : 0;
    std::memcpy(buffer, s_.data() + at_, n);
    at_ += n;
    return n;
  }
  void unreadCh(char) override {
    if (at_ > 0) --at_;
  }

 private:
  std::string_view s_;
  std::size_t at_ = 0;
  std::string name_ = "content";
};

}  // namespace

// As qpdf's content parser finds it: it drops the character after ID and lets its tokenizer look
// for the EI that ends the data.
bool skip_inline_image(std::string_view s, std::size_t& i) {
  auto input = std::make_shared<ContentSource>(s);
  input->seek(static_cast<qpdf_offset_t>(std::min(i + 1, s.size())), SEEK_SET);
  QPDFTokenizer tokenizer;
  tokenizer.allowEOF();
  tokenizer.expectInlineImage(input);
  if (tokenizer.readToken(input, "content", true).getType() != QPDFTokenizer::tt_inline_image)
    return false;
  i = static_cast<std::size_t>(input->tell());
  return true;
}

namespace {

// An array or dictionary being read. qpdf warns about a dictionary key that is no name, a key
// given twice and a key without a value; the scanner gives up on all three.
struct Level {
  explicit Level(bool is_dictionary) : dictionary(is_dictionary) {}
  bool dictionary;
  std::size_t items = 0;
  std::vector<std::string_view> keys;

  bool take(bool is_name, std::string_view token) {
    if (!dictionary || items++ % 2) return true;
    if (!is_name || std::find(keys.begin(), keys.end(), token) != keys.end()) return false;
    keys.push_back(token);
    return true;
  }
};

constexpr std::size_t kMaxDepth = 400;  // qpdf warns past 500

// qpdf's own route for content the scanner gives up on: every object built, last name before a
// resource operator noted.
class NameCollector : public QPDFObjectHandle::ParserCallbacks {
 public:
  explicit NameCollector(ResourceNames& names) : names_(names) {}
  void handleObject(QPDFObjectHandle obj, size_t, size_t) override {
    if (obj.isOperator() && !last_name_.empty())
      note(names_, last_name_, obj.getOperatorValue());
    else if (obj.isName())
      last_name_ = obj.getName();
  }
  void handleEOF() override {}

 private:
  ResourceNames& names_;
  std::string last_name_;
};

class Pruner {
 public:
  explicit Pruner(QPDF& pdf) : pdf_(pdf) {}

  // As QPDFPageObjectHelper::removeUnreferencedResources: the form XObjects first, then the page
  // unless one of them could not be read.
  void prune_page(QPDFPageObjectHelper page) {
    std::set<std::string> unresolved;
    bool any_failures = false;
    page.forEachFormXObject(true,
                            [&](QPDFObjectHandle& obj, QPDFObjectHandle&, std::string const&) {
                              if (!prune(QPDFPageObjectHelper(obj), unresolved))
                                any_failures = true;
                            });
    if (!any_failures) prune(page, unresolved);
  }

 private:
  // As qpdf's removeUnreferencedResourcesHelper, step for step, so that the same dictionaries are
  // copied and the same keys removed.
  bool prune(QPDFPageObjectHelper ph, std::set<std::string>& unresolved) {
    QPDFObjectHandle oh = ph.getObjectHandle();
    bool is_page = !oh.isFormXObject();
    const ResourceNames* names = names_of(ph);
    if (!names) return false;

    QPDFObjectHandle resources = ph.getAttribute("/Resources", true);
    std::vector<QPDFObjectHandle> dicts;
    std::set<std::string> known;
    static const char* const kPruned[] = {"/Font", "/XObject"};
    if (resources.isDictionary()) {
      for (const char* type : kPruned) {
        QPDFObjectHandle dict = resources.getKey(type);
        if (!dict.isDictionary()) continue;
        dict = resources.replaceKeyAndGetNew(type, dict.shallowCopy());
        dicts.push_back(dict);
        for (auto& key : dict.getKeys()) known.insert(key);
      }
    }
    bool local_unresolved = false;
    for (const char* type : kPruned) {
      auto used = names->by_type.find(type);
      if (used == names->by_type.end()) continue;
      for (auto& name : used->second)
        if (!known.count(name)) {
          unresolved.insert(name);
          local_unresolved = true;
        }
    }
    if (local_unresolved && resources.isDictionary()) return false;
    for (auto& dict : dicts)
      for (auto& key : dict.getKeys())
        if (!(is_page && unresolved.count(key)) && !names->all.count(key)) dict.removeKey(key);
    return true;
  }

  // The names a page or form uses, or null when qpdf's parse would fail or warn (it has then
  // warned as qpdf does). A form drawn by many pages is read once.
  const ResourceNames* names_of(QPDFPageObjectHelper ph) {
    QPDFObjectHandle oh = ph.getObjectHandle();
    bool is_form = oh.isFormXObject() && oh.isIndirect();
    if (is_form)
      if (auto known = forms_.find(oh.getObjGen()); known != forms_.end()) return &known->second;
    ResourceNames names;
    if (!read_names(ph, names)) return nullptr;
    if (!is_form) return &(page_names_ = std::move(names));
    return &(forms_[oh.getObjGen()] = std::move(names));
  }

  bool read_names(QPDFPageObjectHelper ph, ResourceNames& names) {
    QPDFObjectHandle oh = ph.getObjectHandle();
    std::size_t warnings = pdf_.numWarnings();
    try {
      // What qpdf's parseContents reads, with the same description for its messages.
      bool is_form = oh.isFormXObject();
      std::string description =
          (is_form ? "object " : "page object ") + oh.getObjGen().unparse(' ');
      content_.clear();
      Pl_String sink("content", nullptr, content_);
      std::string ignored;
      (is_form ? oh : oh.getKey("/Contents")).pipeContentStreams(&sink, description, ignored);
      if (pdf_.numWarnings() > warnings) return refuse(oh);
      if (scan_resource_names(content_, names)) return true;
      names = {};
      NameCollector collector(names);
      ph.parseContents(&collector);
      if (pdf_.numWarnings() > warnings) return refuse(oh);
    } catch (std::exception& e) {
      oh.warnIfPossible(std::string("Unable to parse content stream: ") + e.what() +
                        "; not attempting to remove unreferenced objects from this object");
      return false;
    }
    return true;
  }

  static bool refuse(QPDFObjectHandle oh) {
    oh.warnIfPossible(
        "Bad token found while scanning content stream; not attempting to remove "
        "unreferenced objects from this object");
    return false;
  }

  QPDF& pdf_;
  std::string content_;  // kept from page to page
  ResourceNames page_names_;
  std::map<QPDFObjGen, ResourceNames> forms_;
};

}  // namespace

bool scan_resource_names(std::string_view s, ResourceNames& names) {
  std::string last_name;
  std::vector<Level> open;
  // Takes one whole object at the current level; false where qpdf would warn.
  auto take = [&open](bool is_name, std::string_view token) {
    return open.empty() || open.back().take(is_name, token);
  };
  std::size_t i = 0, n = s.size();
  while (i < n) {
    char c = s[i];
    if (is_space(c)) {
      ++i;
    } else if (c == '%') {
      while (i < n && s[i] != '\r' && s[i] != '\n') ++i;
      if (i == n) return false;  // a comment that ends the content is a bad token to qpdf
    } else if (c == '/') {
      std::size_t start = i++;
      for (; i < n && !is_delimiter(s[i]); ++i)
        if (s[i] == '#') return false;
      std::string_view name = s.substr(start, i - start);
      if (!take(true, name)) return false;
      if (open.empty()) last_name.assign(name);
    } else if (c == '(') {
      int depth = 1;
      for (++i; i < n && depth; ++i) {
        if (s[i] == '\\')
          ++i;
        else if (s[i] == '(')
          ++depth;
        else if (s[i] == ')')
          --depth;
      }
      if (depth || !take(false, {})) return false;
    } else if (c == '<' && i + 1 < n && s[i + 1] == '<') {
      i += 2;
      if (open.size() >= kMaxDepth) return false;
      open.emplace_back(true);
    } else if (c == '<') {
      for (++i; i < n && s[i] != '>'; ++i)
        if (!is_hex(s[i]) && !is_space(s[i])) return false;
      if (i++ == n || !take(false, {})) return false;
    } else if (c == '>') {
      if (i + 1 == n || s[i + 1] != '>' || open.empty() || !open.back().dictionary ||
          open.back().items % 2)
        return false;
      i += 2;
      open.pop_back();
      if (!take(false, {})) return false;
    } else if (c == '[') {
      ++i;
      if (open.size() >= kMaxDepth) return false;
      open.emplace_back(false);
    } else if (c == ']') {
      if (open.empty() || open.back().dictionary) return false;
      ++i;
      open.pop_back();
      if (!take(false, {})) return false;
    } else if (c == ')' || c == '{' || c == '}') {
      return false;
    } else {
      // A number, a keyword or an operator: everything up to the next delimiter.
      std::size_t start = i;
      while (i < n && !is_delimiter(s[i])) ++i;
      std::string_view word = s.substr(start, i - start);
      if (too_long_for_an_integer(word) || !take(false, word)) return false;
      if (open.empty() && !last_name.empty()) note(names, last_name, word);
      if (word == "ID" && (!open.empty() || !skip_inline_image(s, i))) return false;
    }
  }
  return open.empty();
}

void remove_unreferenced_resources(QPDF& pdf) {
  Pruner pruner(pdf);
  for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages()) pruner.prune_page(page);
}

}  // namespace pagerift::splitter
