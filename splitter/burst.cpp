#include "splitter/burst.h"

#include "splitter/digest.h"
#include "splitter/file_source.h"
#include "splitter/fs.h"
#include "splitter/page_writer.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

namespace pagerift::splitter {
namespace {

// Thrown to stop a write once the page file cannot take more bytes.
struct WriteFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Failure {
    int code;
    std::string message;
};

std::string one_line(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// Takes a page file's bytes and remembers why it stopped, so that a full disk is reported as a
// write failure and not as a damaged source.
class FileSink : public Pipeline {
public:
    explicit FileSink(FILE* file) : Pipeline("page file", nullptr), file_(file) {
        std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    }
    void write(unsigned char const* data, size_t len) override {
        if (failed_ || std::fwrite(data, 1, len, file_) != len) fail();
    }
    void finish() override {
        if (std::fflush(file_) != 0) fail();
    }
    // Closes the file; false when any byte may be missing.
    bool close() {
        bool ok = std::fclose(file_) == 0 && !failed_;
        file_ = nullptr;
        return ok;
    }
    ~FileSink() override {
        if (file_) std::fclose(file_);
    }
    bool failed() const { return failed_; }

private:
    [[noreturn]] void fail() {
        failed_ = true;
        throw WriteFailed(std::strerror(errno));
    }
    FILE* file_;
    bool failed_ = false;
};

// Page files are written under temporary names and only renamed into place once every page is
// done, so a failure leaves the folder as it was: no partial set, earlier page files untouched.
class Staging {
public:
    explicit Staging(std::string dir) : dir_(std::move(dir)) {}
    ~Staging() {
        for (auto& t : temps_) fs::remove_file(t);
    }

    std::string path(const std::string& name) const { return dir_.empty() ? name : dir_ + "/" + name; }

    // Opens a fresh temporary file for page `page`; never reuses an existing name.
    FILE* open(std::size_t page, std::string& error) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = "~burst-" + std::to_string(fs::process_id()) + "-" + std::to_string(page);
            if (attempt) name.append("-").append(std::to_string(attempt));
            name += ".tmp";
            bool exists = false;
            if (FILE* f = fs::create_new(path(name), exists, error)) {
                temps_.push_back(path(name));
                return f;
            }
            if (!exists) return nullptr;
        }
        error = "no free temporary name";
        return nullptr;
    }

    // Renames every temporary file to its final name. If one rename fails, the pages already
    // renamed are removed again, so the run leaves no partial set.
    bool commit(const std::vector<std::string>& finals, std::string& failed_name, std::string& error) {
        for (std::size_t i = 0; i < temps_.size(); ++i) {
            if (!fs::replace(temps_[i], path(finals[i]), error)) {
                failed_name = finals[i];
                for (std::size_t j = 0; j < i; ++j) fs::remove_file(path(finals[j]));
                temps_.erase(temps_.begin(), temps_.begin() + static_cast<std::ptrdiff_t>(i));
                return false;
            }
        }
        temps_.clear();
        return true;
    }

private:
    std::string dir_;
    std::vector<std::string> temps_;
};

void collect_warnings(QPDF& pdf, std::vector<std::string>& into) {
    for (auto& w : pdf.getWarnings()) {
        std::string line = one_line(w.what());
        if (std::find(into.begin(), into.end(), line) == into.end()) into.push_back(line);
    }
}

bool has_pdf_header(FILE* f) {
    char head[1024];
    size_t n = std::fread(head, 1, sizeof head, f);
    std::rewind(f);
    return std::search(head, head + n, "%PDF-", "%PDF-" + 5) != head + n;
}

// What every page file's /ID is derived from: the source's own /ID, or a digest of its bytes when it
// has none. The same source gives the same page files on every run and from both builds.
std::string id_seed(QPDF& pdf, FILE* file) {
    std::string seed = "id";
    QPDFObjectHandle id = pdf.getTrailer().getKey("/ID");
    if (id.isArray())
        for (auto& part : id.aitems())
            if (part.isString()) seed.append(" <").append(QUtil::hex_encode(part.getStringValue())).append(">");
    if (seed.size() > 2) return seed;
    Md5 digest;
    std::vector<char> block(1 << 16);
    std::rewind(file);
    while (std::size_t n = std::fread(block.data(), 1, block.size(), file)) digest.add({block.data(), n});
    if (std::ferror(file)) throw Failure{kCannotRead, "cannot read " + quoted(fs::file_name(pdf.getFilename()))};
    return std::string("md5 ").append(QUtil::hex_encode(digest.finish()));
}

class Burster {
public:
    Burster(const std::string& source, const std::string& out_dir)
        : source_(source), name_(fs::file_name(source)), staging_(out_dir) {}

    BurstResult run() {
        BurstResult result;
        try {
            open_source();
            write_pages();
            std::string failed_name, error;
            if (!staging_.commit(finals_, failed_name, error))
                throw Failure{kCannotWrite, "cannot put " + quoted(failed_name) + " in place: " + error};
            result.pages = finals_.size();
            collect_warnings(in_, warnings_);
            result.warnings = std::move(warnings_);
        } catch (Failure& f) {
            result.code = f.code;
            result.error = one_line(f.message);
        } catch (std::bad_alloc&) {
            result.code = kInternal;
            result.error = "out of memory while splitting " + quoted(name_);
        } catch (std::exception& e) {
            result.code = kInternal;
            result.error = one_line("unexpected fault while splitting " + quoted(name_) + ": " + e.what());
        }
        return result;
    }

private:
    void open_source() {
        std::string why;
        switch (fs::kind_of(source_, &why)) {
        case fs::Kind::missing: throw Failure{kCannotRead, "cannot find " + quoted(source_)};
        case fs::Kind::directory: throw Failure{kCannotRead, quoted(source_) + " is a folder, not a PDF file"};
        case fs::Kind::other:
            throw Failure{kCannotRead, "cannot read " + quoted(source_) + (why.empty() ? "" : ": " + why)};
        case fs::Kind::file: break;
        }
        file_.reset(fs::open_read(source_, why));
        if (!file_) throw Failure{kCannotRead, "cannot open " + quoted(source_) + ": " + why};
        // Without a header qpdf may still find pages; if it does not, that was no PDF at all.
        bool header = has_pdf_header(file_.get());
        in_.setSuppressWarnings(true);
        try {
            in_.processInputSource(std::make_shared<CachedFileSource>(name_, file_.get()));
            pages_ = in_.getAllPages();
        } catch (QPDFExc& e) {
            if (e.getErrorCode() == qpdf_e_password)
                throw Failure{kPassword, quoted(name_) + " is protected by a password"};
            if (!header) throw Failure{kNotPdf, quoted(name_) + " is not a PDF file"};
            throw Failure{kNotPdf, quoted(name_) + " is damaged beyond repair: " + e.getMessageDetail()};
        } catch (std::bad_alloc&) {
            throw;
        } catch (std::exception& e) {
            if (!header) throw Failure{kNotPdf, quoted(name_) + " is not a PDF file"};
            throw Failure{kNotPdf, quoted(name_) + " is damaged beyond repair: " + e.what()};
        }
        if (pages_.empty()) throw Failure{kNotPdf, quoted(name_) + " has no pages"};
    }

    // Refuses names that cannot be replaced before any work is done, rather than after.
    void name_pages() {
        std::string stem = output_stem(source_);
        for (std::size_t i = 0; i < pages_.size(); ++i) {
            finals_.push_back(page_file_name(stem, i + 1, pages_.size()));
            std::string target = staging_.path(finals_.back());
            fs::Kind kind = fs::kind_of(target);
            if (kind == fs::Kind::directory || kind == fs::Kind::other)
                throw Failure{kCannotWrite, "cannot replace " + quoted(finals_.back()) + ": it is not a file"};
            if (kind == fs::Kind::file && fs::same_file(target, source_))
                throw Failure{kCannotWrite, "refusing to replace the source itself, " + quoted(finals_.back())};
        }
    }

    void write_pages() {
        name_pages();
        std::optional<PageWriter> writer;
        try {
            writer.emplace(in_, id_seed(in_, file_.get()));
        } catch (Failure&) {
            throw;
        } catch (std::bad_alloc&) {
            throw;
        } catch (std::exception& e) {
            throw Failure{kNotPdf, quoted(name_) + " is damaged beyond repair: " + e.what()};
        }
        for (std::size_t i = 0; i < finals_.size(); ++i) write_page(*writer, i);
    }

    void write_page(PageWriter& writer, std::size_t i) {
        std::string error;
        FILE* f = staging_.open(i + 1, error);
        if (!f) throw Failure{kCannotWrite, "cannot write in the output folder: " + error};
        FileSink sink(f);
        try {
            writer.write(i, sink);
        } catch (std::bad_alloc&) {
            throw;
        } catch (std::exception& e) {
            if (sink.failed())
                throw Failure{kCannotWrite, "cannot write page " + std::to_string(i + 1) + ": " + e.what()};
            throw Failure{kNotPdf, quoted(name_) + " is damaged beyond repair at page " +
                                       std::to_string(i + 1) + ": " + e.what()};
        }
        if (!sink.close()) throw Failure{kCannotWrite, "cannot write page " + std::to_string(i + 1)};
    }

    struct FileCloser {
        void operator()(FILE* f) const { std::fclose(f); }
    };

    std::string source_, name_;
    Staging staging_;
    std::unique_ptr<FILE, FileCloser> file_;  // read lazily by in_, so it outlives it
    QPDF in_;
    std::vector<QPDFObjectHandle> pages_;
    std::vector<std::string> finals_, warnings_;
};

}  // namespace

std::string output_stem(std::string_view source_path) {
    std::string name = fs::file_name(std::string(source_path));
    if (name.size() > 4) {
        std::string ext = name.substr(name.size() - 4);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (ext == ".pdf") name.resize(name.size() - 4);
    }
    return name;
}

std::string page_file_name(std::string_view stem, std::size_t page, std::size_t page_count) {
    std::size_t width = std::max<std::size_t>(4, std::to_string(page_count).size());
    std::string number = std::to_string(page);
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    return std::string(stem) + "_pg_" + number + ".pdf";
}

BurstResult burst(const std::string& source, const std::string& out_dir) {
    return Burster(source, out_dir).run();
}

}  // namespace pagerift::splitter
