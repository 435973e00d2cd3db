#include "splitter/burst.h"

#include "splitter/write/digest.h"
#include "splitter/source/file_source.h"
#include "splitter/platform/fs.h"
#include "splitter/write/page_set.h"
#include "splitter/page/page_writer.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace pagerift::splitter {
namespace {

// Thrown to stop a write once the page file cannot take more bytes.
struct WriteFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using enum SplitterExit;

struct Failure {
  SplitterExit code;
  std::string message;
};

std::string one_line(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// Collects a page file in memory and writes it with one call: every write is a system call, and
// under Wine more than one. Large stream data is written straight through rather than copied.
// Remembers why it stopped, so that a full disk is reported as a write failure and not as a
// damaged source.
class PageSink : public Pipeline {
 public:
  PageSink() : Pipeline("page file", nullptr) {}
  ~PageSink() override {
    std::string ignored;
    if (file_ != fs::kNoHandle) fs::close(file_, ignored);
  }
  // Takes the next page's file; the buffer stays allocated from page to page.
  void start(fs::Handle file) {
    file_ = file;
    buffer_.clear();
  }
  void write(unsigned char const* data, size_t len) override {
    if (len > kBufferLimit - buffer_.size()) {
      flush();
      if (len > kBufferLimit) return put(reinterpret_cast<const char*>(data), len);
    }
    buffer_.append(reinterpret_cast<const char*>(data), len);
  }
  // Writes what is left and closes the file.
  void finish() override {
    flush();
    fs::Handle file = std::exchange(file_, fs::kNoHandle);
    if (!fs::close(file, error_)) fail();
  }
  bool failed() const { return failed_; }

 private:
  static constexpr std::size_t kBufferLimit = 4u << 20;
  void flush() {
    put(buffer_.data(), buffer_.size());
    buffer_.clear();
  }
  void put(const char* data, std::size_t len) {
    if (failed_ || !fs::write_all(file_, data, len, error_)) fail();
  }
  [[noreturn]] void fail() {
    failed_ = true;
    throw WriteFailed(error_);
  }
  fs::Handle file_ = fs::kNoHandle;
  std::string buffer_, error_;
  bool failed_ = false;
};

// Damaged content can give a warning for every token, hundreds of thousands of them: repeats are
// found in a hash set, so the time stays linear in the warnings.
void collect_warnings(QPDF& pdf, std::vector<std::string>& into) {
  std::unordered_set<std::string> seen(into.begin(), into.end());
  for (auto& w : pdf.getWarnings()) {
    std::string line = one_line(w.what());
    if (seen.insert(line).second) into.push_back(std::move(line));
  }
}

bool has_pdf_header(FILE* f) {
  char head[1024];
  size_t n = std::fread(head, 1, sizeof head, f);
  std::rewind(f);
  constexpr std::string_view kHeader = "%PDF-";
  return std::search(head, head + n, kHeader.begin(), kHeader.end()) != head + n;
}

// What every page file's /ID is derived from: the source's own /ID, or a digest of its bytes when
// it has none. The same source gives the same page files on every run and from both builds.
std::string id_seed(QPDF& pdf, FILE* file) {
  std::string seed = "id";
  QPDFObjectHandle id = pdf.getTrailer().getKey("/ID");
  if (id.isArray())
    for (auto& part : id.aitems())
      if (part.isString())
        seed.append(" <").append(QUtil::hex_encode(part.getStringValue())).append(">");
  if (seed.size() > 2) return seed;
  Md5 digest;
  std::vector<char> block(1 << 16);
  std::rewind(file);
  while (std::size_t n = std::fread(block.data(), 1, block.size(), file))
    digest.add({block.data(), n});
  if (std::ferror(file))
    throw Failure{kCannotRead, "cannot read " + quoted(fs::file_name(pdf.getFilename()))};
  return std::string("md5 ").append(QUtil::hex_encode(digest.finish()));
}

class Burster {
 public:
  Burster(const std::string& source, const std::string& out_dir)
      : source_(source), name_(fs::file_name(source)), out_dir_(out_dir) {}

  BurstResult run() {
    BurstResult result;
    try {
      open_source();
      name_pages();
      write_pages();
      place_pages();
      result.pages = pages_.size();
      collect_warnings(*in_, warnings_);
      result.warnings = std::move(warnings_);
    } catch (...) {
      Failure failure = explain(std::current_exception());
      result.code = failure.code;
      result.error = one_line(failure.message);
    }
    return result;
  }

  // Keeps the source's objects from being freed: the process frees them all at once when it
  // ends. A global holds them, so a leak checker sees them as reachable.
  void leave_to_exit() {
    static QPDF* left = nullptr;
    if (!left) left = in_.release();
  }

 private:
  // What the run was doing when it failed, which decides what a fault from qpdf means.
  enum class Step { kOpening, kNaming, kPreparing, kWriting, kCommitting };

  // The one place that turns whatever stopped the run into an exit code and a line for the user.
  Failure explain(std::exception_ptr fault) const {
    try {
      std::rethrow_exception(fault);
    } catch (const Failure& failure) {
      return failure;
    } catch (const std::bad_alloc&) {
      return {kInternal, "out of memory while splitting " + quoted(name_)};
    } catch (const std::exception& e) {
      const bool password = dynamic_cast<const QPDFExc*>(&e) &&
                            static_cast<const QPDFExc&>(e).getErrorCode() == qpdf_e_password;
      switch (step_) {
        case Step::kOpening:
          if (password) return {kPassword, quoted(name_) + " is protected by a password"};
          // Without a header qpdf may still find pages; if it does not, that was no PDF at all.
          if (!header_) return {kNotPdf, quoted(name_) + " is not a PDF file"};
          return {kNotPdf, quoted(name_) + " is damaged beyond repair: " + detail(e)};
        case Step::kPreparing:
          return {kNotPdf, quoted(name_) + " is damaged beyond repair: " + e.what()};
        case Step::kWriting:
          if (sink_.failed())
            return {kCannotWrite,
                    "cannot write page " + std::to_string(page_ + 1) + ": " + e.what()};
          return {kNotPdf, quoted(name_) + " is damaged beyond repair at page " +
                               std::to_string(page_ + 1) + ": " + e.what()};
        case Step::kNaming:
        case Step::kCommitting: break;
      }
      return {kInternal, "unexpected fault while splitting " + quoted(name_) + ": " + e.what()};
    } catch (...) {
      return {kInternal, "unexpected fault while splitting " + quoted(name_)};
    }
  }

  static std::string detail(const std::exception& e) {
    if (auto* qpdf = dynamic_cast<const QPDFExc*>(&e)) return qpdf->getMessageDetail();
    return e.what();
  }

  void open_source() {
    std::string why;
    switch (fs::kind_of(source_, &why)) {
      case fs::Kind::missing: throw Failure{kCannotRead, "cannot find " + quoted(source_)};
      case fs::Kind::directory:
        throw Failure{kCannotRead, quoted(source_) + " is a folder, not a PDF file"};
      case fs::Kind::other:
        throw Failure{kCannotRead,
                      "cannot read " + quoted(source_) + (why.empty() ? "" : ": " + why)};
      case fs::Kind::file: break;
    }
    file_.reset(fs::open_read(source_, why));
    if (!file_) throw Failure{kCannotRead, "cannot open " + quoted(source_) + ": " + why};
    header_ = has_pdf_header(file_.get());
    in_->setSuppressWarnings(true);
    in_->processInputSource(std::make_shared<CachedFileSource>(name_, file_.get()));
    pages_ = in_->getAllPages();
    if (pages_.empty()) throw Failure{kNotPdf, quoted(name_) + " has no pages"};
  }

  // Before any work is done, so that a folder that cannot be read fails the run at once.
  void name_pages() {
    step_ = Step::kNaming;
    set_.emplace(out_dir_, output_stem(source_), pages_.size());
    if (std::string error; !set_->choose_names(error)) throw Failure{kCannotWrite, error};
  }

  void write_pages() {
    if (!writer_) {
      step_ = Step::kPreparing;
      writer_.emplace(*in_, id_seed(*in_, file_.get()));
    }
    writer_->set_file_names(set_->names());
    step_ = Step::kWriting;
    for (page_ = 0; page_ < pages_.size(); ++page_) {
      std::string error;
      fs::Handle file = set_->create_temp(error);
      if (file == fs::kNoHandle)
        throw Failure{kCannotWrite, "cannot write in the output folder: " + error};
      sink_.start(file);
      writer_->write(page_, sink_);
    }
  }

  // Links name the pages' files, so a set that must move on to other names is written again.
  void place_pages() {
    step_ = Step::kCommitting;
    std::function<void()> rewrite;
    if (writer_->names_files())
      rewrite = [this] {
        set_->discard_temps();
        write_pages();
        step_ = Step::kCommitting;
      };
    if (std::string error; !set_->commit(error, rewrite)) throw Failure{kCannotWrite, error};
  }

  struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
  };

  std::string source_, name_, out_dir_;
  // Before file_ and in_, so temporary files go after the source is closed.
  std::optional<PageSet> set_;
  std::unique_ptr<FILE, FileCloser> file_;  // read lazily by in_, so it outlives it
  std::unique_ptr<QPDF> in_ = std::make_unique<QPDF>();
  std::optional<PageWriter> writer_;  // reads in_
  std::vector<QPDFObjectHandle> pages_;
  std::vector<std::string> warnings_;
  PageSink sink_;
  Step step_ = Step::kOpening;
  bool header_ = false;
  std::size_t page_ = 0;
};

}  // namespace

BurstResult burst(const std::string& source, const std::string& out_dir, Teardown teardown) {
  Burster burster(source, out_dir);
  BurstResult result = burster.run();
  if (teardown == Teardown::kLeaveToExit) burster.leave_to_exit();
  return result;
}

}  // namespace pagerift::splitter
