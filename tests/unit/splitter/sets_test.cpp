// Page sets: the same source gives the same bytes.
#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>

#include <map>
#include <set>

using namespace splitter_test;

namespace {

std::string id_of(const fs::path& page_file) {
    QPDF pdf;
    pdf.processFile(page_file.string().c_str());
    return pdf.getTrailer().getKey("/ID").getArrayItem(0).getStringValue();
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> contents(const fs::path& dir) {
    std::map<std::string, std::string> all;
    for (auto& name : list_dir(dir)) all[name] = fs::is_directory(dir / name) ? "(folder)" : read_file(dir / name);
    return all;
}

TEST(Sets, TheSameSourceGivesTheSameBytesAndEveryPageItsOwnId) {
    TempDir in;
    // The test PDFs all carry one fixed /ID, as some producers write: the pages must differ anyway.
    std::vector<fs::path> sources{in.path / "a.pdf", in.path / "b.pdf", in.path / "c.pdf", in.path / "d.pdf"};
    make_pdf(sources[0], {.pages = 4, .title = "a "});
    make_pdf(sources[1], {.pages = 4, .title = "b "});
    make_pdf(sources[2], {.pages = 4, .title = "c ", .no_id = true});
    make_pdf(sources[3], {.pages = 4, .title = "d ", .no_id = true});
    std::set<std::string> ids;
    for (auto& source : sources) {
        TempDir once, twice;
        for (auto* dir : {&once, &twice}) ASSERT_EQ(run_burst(dir->path, {source.string(), "burst"}).exit_code, 0);
        EXPECT_EQ(contents(once.path), contents(twice.path)) << source;
        for (auto& name : list_dir(once.path)) ids.insert(id_of(once.path / name));
    }
    EXPECT_EQ(ids.size(), 16u);
}

}  // namespace
