// Page files carry only the glyphs their pages draw: documents with each kind of font are burst,
// the glyphs each page file's programs keep are listed by fontTools, and every page is rendered
// by poppler from the source and from its page file and compared pixel for pixel.
#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <set>
#include <sstream>

using namespace splitter_test;

namespace {

const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kDejaVuSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

std::string output_of(const std::string& command) {
  std::string out;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return out;
}

std::string fixtures(const std::string& what, const fs::path& file) {
  return output_of("/usr/bin/python3 " FONT_FIXTURES " " + what + " '" + file.string() + "'");
}

std::set<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::set<std::string> out;
  for (std::string w; in >> w;) out.insert(w);
  return out;
}

QPDFObjectHandle name(const std::string& n) { return QPDFObjectHandle::newName(n); }
QPDFObjectHandle parse(const std::string& s) { return QPDFObjectHandle::parse(s); }

// A document being built: pages with their content and resources.
struct Doc {
  Doc() { pdf.emptyPDF(); }
  QPDFObjectHandle add(QPDFObjectHandle obj) { return pdf.makeIndirectObject(obj); }
  QPDFObjectHandle stream(const std::string& data, const std::string& dict = "<<>>") {
    QPDFObjectHandle s = QPDFObjectHandle::newStream(&pdf, data);
    for (auto& [k, v] : parse(dict).ditems()) s.getDict().replaceKey(k, v);
    return s;
  }
  QPDFObjectHandle descriptor(const std::string& font_name, const char* file_key,
                              QPDFObjectHandle file, int flags = 32) {
    QPDFObjectHandle d = parse(
        "<</Type /FontDescriptor /FontBBox [-200 -300 1200 1000] "
        "/Ascent 900 /Descent -200 /CapHeight 700 /ItalicAngle 0 /StemV 80>>");
    d.replaceKey("/FontName", name(font_name));
    d.replaceKey("/Flags", QPDFObjectHandle::newInteger(flags));
    d.replaceKey(file_key, file);
    return add(d);
  }
  QPDFObjectHandle simple(const std::string& subtype, const std::string& base,
                          QPDFObjectHandle descriptor, QPDFObjectHandle encoding) {
    QPDFObjectHandle f = parse("<</Type /Font /FirstChar 0 /LastChar 255>>");
    f.replaceKey("/Subtype", name(subtype));
    f.replaceKey("/BaseFont", name(base));
    f.replaceKey("/FontDescriptor", descriptor);
    if (!encoding.isNull()) f.replaceKey("/Encoding", encoding);
    QPDFObjectHandle widths = QPDFObjectHandle::newArray();
    for (int k = 0; k < 256; ++k) widths.appendItem(QPDFObjectHandle::newInteger(600));
    f.replaceKey("/Widths", widths);
    return add(f);
  }
  QPDFObjectHandle truetype(const char* path, int flags, QPDFObjectHandle encoding) {
    std::string data = read_file(path);
    QPDFObjectHandle file = stream(data, "<</Length1 " + std::to_string(data.size()) + ">>");
    return simple("/TrueType", "/DejaVuSans", descriptor("/DejaVuSans", "/FontFile2", file, flags),
                  encoding);
  }
  QPDFObjectHandle page(const std::string& content, QPDFObjectHandle resources) {
    QPDFObjectHandle p = parse("<</Type /Page /MediaBox [0 0 300 200]>>");
    p.replaceKey("/Contents", stream(content));
    p.replaceKey("/Resources", resources);
    p = add(p);
    QPDFPageDocumentHelper(pdf).addPage(p, false);
    return p;
  }
  void save(const fs::path& path) {
    QPDFWriter w(pdf, path.string().c_str());
    w.setStaticID(true);
    w.write();
  }
  QPDF pdf;
};

QPDFObjectHandle fonts(std::vector<std::pair<std::string, QPDFObjectHandle>> named) {
  QPDFObjectHandle f = QPDFObjectHandle::newDictionary();
  for (auto& [k, v] : named) f.replaceKey(k, v);
  QPDFObjectHandle r = QPDFObjectHandle::newDictionary();
  r.replaceKey("/Font", f);
  return r;
}

// Bursts the document in a folder of its own; the page files in order.
std::vector<fs::path> burst(const TempDir& dir, Doc& doc, const std::string& stem = "doc") {
  fs::path source = dir.path / (stem + ".pdf");
  doc.save(source);
  fs::path out = dir.path / stem;
  fs::create_directory(out);
  RunResult r = run_burst(out, {source.string(), "burst"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<fs::path> files;
  for (auto& name : list_dir(out)) files.push_back(out / name);
  // Every page as its source page, to the pixel.
  for (std::size_t n = 0; n < files.size(); ++n) {
    auto render = [&](const fs::path& pdf, std::size_t page) {
      std::string p = std::to_string(page);
      return output_of("pdftoppm -r 72 -f " + p + " -l " + p + " '" + pdf.string() +
                       "' 2>/dev/null");
    };
    EXPECT_EQ(render(source, n + 1), render(files[n], 1))
        << "page " << n + 1 << " renders otherwise";
  }
  return files;
}

// A font program of a page file, saved where fontTools can read it.
struct Program {
  Program(const fs::path& page_file, const std::string& font, const char* key) {
    PageFile file(page_file);
    QPDFObjectHandle f =
        file.page().getObjectHandle().getKey("/Resources").getKey("/Font").getKey(font);
    dict = f.getKey("/Subtype").isNameAndEquals("/Type0")
               ? f.getKey("/DescendantFonts").getArrayItem(0)
               : f;
    font_dict = f.unparseResolved();
    descriptor = dict.getKey("/FontDescriptor").unparseResolved();
    QPDFObjectHandle s = dict.getKey("/FontDescriptor").getKey(key);
    stream_dict = s.getDict().unparseResolved();
    auto buffer = s.getStreamData(qpdf_dl_generalized);
    data.assign(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
    path = page_file.string() + font.substr(1) + ".bin";
    write_file(path, data);
  }
  QPDFObjectHandle dict;
  std::string font_dict, descriptor, stream_dict, data;
  fs::path path;
};

}  // namespace

// Type 1: the glyphs of the codes shown, through /Differences, the font's base encoding or the
// program's own; .notdef; both parts of an accented character; /CharSet and a subset tag.
TEST(Fonts, Type1KeepsWhatThePageShows) {
  TempDir dir;
  Doc doc;
  fs::path program = dir.path / "font.t1";
  std::istringstream lengths(fixtures("type1", program));
  std::size_t l1, l2, l3;
  lengths >> l1 >> l2 >> l3;
  QPDFObjectHandle file = doc.stream(
      read_file(program), "<</Length1 " + std::to_string(l1) + " /Length2 " + std::to_string(l2) +
                              " /Length3 " + std::to_string(l3) + ">>");
  QPDFObjectHandle descriptor = doc.descriptor("/NimbusSans-Regular", "/FontFile", file);
  descriptor.replaceKey("/CharSet", QPDFObjectHandle::newString("/A/Aacute/H/i/x/y/z/acute"));
  QPDFObjectHandle differences =
      doc.add(parse("<</Type /Encoding /BaseEncoding /WinAnsiEncoding /Differences [1 /Aacute]>>"));
  QPDFObjectHandle f1 = doc.simple("/Type1", "/NimbusSans-Regular", descriptor, differences);
  QPDFObjectHandle f2 =
      doc.simple("/Type1", "/NimbusSans-Regular", descriptor, QPDFObjectHandle::newNull());
  doc.page("BT /F1 24 Tf 20 100 Td (Hi\\001) Tj ET", fonts({{"/F1", f1}, {"/F2", f2}}));
  doc.page("BT /F1 24 Tf 20 100 Td [(z) 120 (z)] TJ /F2 24 Tf (xy) ' ET",
           fonts({{"/F1", f1}, {"/F2", f2}}));
  auto files = burst(dir, doc);
  ASSERT_EQ(files.size(), 2u);

  Program one(files[0], "/F1", "/FontFile");
  std::istringstream listed(fixtures("type1-glyphs", one.path));
  std::string glyphs, subrs;
  std::getline(listed, glyphs);
  std::getline(listed, subrs);
  EXPECT_EQ(glyphs, ".notdef A Aacute H acute i");
  EXPECT_EQ(subrs, "5");  // all of them: hint replacement is subroutine 4, and every glyph calls it
  EXPECT_NE(one.descriptor.find("/CharSet (/A/H/Aacute/i/acute)"), std::string::npos)
      << one.descriptor;
  std::string tagged = one.descriptor.substr(one.descriptor.find("/FontName /") + 11, 25);
  EXPECT_EQ(tagged.substr(6), "+NimbusSans-Regular") << one.descriptor;
  EXPECT_NE(one.font_dict.find("/BaseFont /" + tagged.substr(0, 7) + "NimbusSans-Regular"),
            std::string::npos);
  EXPECT_NE(one.stream_dict.find("/Length3 " + std::to_string(l3)), std::string::npos);
  EXPECT_LT(one.data.size(), read_file(program).size() / 5);

  Program two(files[1], "/F2", "/FontFile");
  std::istringstream listed_two(fixtures("type1-glyphs", two.path));
  std::getline(listed_two, glyphs);
  EXPECT_EQ(glyphs, ".notdef x y z");
  EXPECT_NE(two.descriptor.find("/FontName /" + tagged.substr(0, 6)),
            0u);  // another subset, another tag
}

// TrueType: glyph ids as a viewer maps codes (through the encoding's names and the Unicode cmap,
// or straight through the cmap for a symbolic font), composite glyphs with their components; CID
// fonts through /CIDToGIDMap, with /CIDSet made to match.
TEST(Fonts, TrueTypeKeepsGlyphIdsAndComponents) {
  TempDir dir;
  Doc doc;
  QPDFObjectHandle plain = doc.truetype(kDejaVu, 32, name("/WinAnsiEncoding"));
  QPDFObjectHandle symbolic = doc.truetype(kDejaVuSerif, 4, QPDFObjectHandle::newNull());
  std::string serif = read_file(kDejaVuSerif);
  QPDFObjectHandle cid_file =
      doc.stream(serif, "<</Length1 " + std::to_string(serif.size()) + ">>");
  QPDFObjectHandle cid_descriptor = doc.descriptor("/DejaVuSerif", "/FontFile2", cid_file);
  cid_descriptor.replaceKey("/CIDSet", doc.stream(std::string(8000, '\xff')));
  // CID 1 is drawn with glyph 37 ("B"), everything else with glyph 0.
  std::string map(4, '\0');
  map[3] = 37;
  QPDFObjectHandle cid = doc.add(
      parse("<</Type /Font /Subtype /CIDFontType2 /BaseFont /DejaVuSerif "
            "/CIDSystemInfo <</Registry (Adobe) /Ordering (Identity) /Supplement 0>> /DW 600>>"));
  cid.replaceKey("/FontDescriptor", cid_descriptor);
  cid.replaceKey("/CIDToGIDMap", doc.stream(map));
  QPDFObjectHandle type0 = doc.add(parse(
      "<</Type /Font /Subtype /Type0 /BaseFont /DejaVuSerif-Identity-H /Encoding /Identity-H>>"));
  type0.replaceKey("/DescendantFonts", QPDFObjectHandle::newArray({cid}));
  // Á (WinAnsi 0301) is a composite of A and the acute.
  doc.page("BT /F1 24 Tf 20 100 Td (a\\301) Tj /F2 24 Tf (Z) Tj /F3 24 Tf <0001> Tj ET",
           fonts({{"/F1", plain}, {"/F2", symbolic}, {"/F3", type0}}));
  auto files = burst(dir, doc);
  ASSERT_EQ(files.size(), 1u);

  Program one(files[0], "/F1", "/FontFile2");
  std::set<std::string> kept = words(fixtures("ttf-glyphs", one.path));
  EXPECT_TRUE(kept.count("a") && kept.count("Aacute") && kept.count(".notdef"))
      << fixtures("ttf-glyphs", one.path);
  EXPECT_LE(kept.size(), 6u);  // and the components of Aacute
  EXPECT_NE(one.stream_dict.find("/Length1 " + std::to_string(one.data.size())), std::string::npos);
  EXPECT_EQ(one.data.size() % 4, 0u);

  Program two(files[0], "/F2", "/FontFile2");
  EXPECT_EQ(words(fixtures("ttf-glyphs", two.path)), (std::set<std::string>{".notdef", "Z"}));

  Program three(files[0], "/F3", "/FontFile2");
  EXPECT_EQ(words(fixtures("ttf-glyphs", three.path)), (std::set<std::string>{".notdef", "B"}));
  PageFile page(files[0]);
  QPDFObjectHandle cid_set = page.page()
                                 .getObjectHandle()
                                 .getKey("/Resources")
                                 .getKey("/Font")
                                 .getKey("/F3")
                                 .getKey("/DescendantFonts")
                                 .getArrayItem(0)
                                 .getKey("/FontDescriptor")
                                 .getKey("/CIDSet");
  auto bits = cid_set.getStreamData(qpdf_dl_generalized);
  ASSERT_EQ(bits->getSize(), 1u);
  EXPECT_EQ(bits->getBuffer()[0], 0xc0);  // CIDs 0 and 1
  EXPECT_NE(three.font_dict.find("+DejaVuSerif-Identity-H"), std::string::npos) << three.font_dict;
}

// CFF: the glyphs of the codes shown keep their charstrings, accented characters their parts;
// every other glyph id stays, drawing nothing. The charset and encoding are the program's own.
TEST(Fonts, CffKeepsGlyphIdsAndItsOwnEncoding) {
  TempDir dir;
  Doc doc;
  fs::path cff = dir.path / "font.cff";
  fixtures("cff", cff);
  QPDFObjectHandle file = doc.stream(read_file(cff), "<</Subtype /Type1C>>");
  QPDFObjectHandle descriptor = doc.descriptor("/NimbusSans-Regular", "/FontFile3", file);
  QPDFObjectHandle own =
      doc.simple("/Type1", "/NimbusSans-Regular", descriptor, QPDFObjectHandle::newNull());
  QPDFObjectHandle differences =
      doc.simple("/Type1", "/NimbusSans-Regular", descriptor,
                 doc.add(parse("<</Type /Encoding /Differences [1 /eacute]>>")));
  doc.page("BT /F1 24 Tf 20 100 Td (Cab) Tj /F2 24 Tf (\\001) Tj ET",
           fonts({{"/F1", own}, {"/F2", differences}}));
  auto files = burst(dir, doc);
  ASSERT_EQ(files.size(), 1u);
  Program one(files[0], "/F1", "/FontFile3");
  EXPECT_EQ(fixtures("cff-glyphs", one.path), ".notdef C a b eacute\n");
  EXPECT_EQ(one.data.size(), read_file(cff).size());
  EXPECT_NE(one.font_dict.find("+NimbusSans-Regular"), std::string::npos);
}

// The glyphs drawn by a form XObject (with the font its caller set), a tiling pattern, an
// annotation's appearance and a Type 3 font's glyph procedure count as the page's.
TEST(Fonts, FollowsEverythingThePageDraws) {
  TempDir dir;
  Doc doc;
  QPDFObjectHandle sans = doc.truetype(kDejaVu, 32, name("/WinAnsiEncoding"));
  QPDFObjectHandle serif = doc.truetype(kDejaVuSerif, 32, name("/WinAnsiEncoding"));
  QPDFObjectHandle form =
      doc.stream("BT 30 0 Td (f) Tj ET", "<</Type /XObject /Subtype /Form /BBox [0 0 300 200]>>");
  QPDFObjectHandle pattern = doc.stream("BT /S 10 Tf (p) Tj ET",
                                        "<</Type /Pattern /PatternType 1 /PaintType 1 /TilingType "
                                        "1 /BBox [0 0 20 20] /XStep 20 /YStep 20>>");
  pattern.getDict().replaceKey("/Resources", fonts({{"/S", sans}}));
  QPDFObjectHandle glyph = doc.stream("0 0 d0 BT /S 1 Tf (g) Tj ET");
  QPDFObjectHandle type3 =
      doc.add(parse("<</Type /Font /Subtype /Type3 /FontBBox [0 0 1 1] "
                    "/FontMatrix [0.001 0 0 0.001 0 0] /FirstChar 65 /LastChar 65 /Widths [1000] "
                    "/Encoding <</Differences [65 /g]>>>>"));
  type3.replaceKey("/CharProcs", QPDFObjectHandle::newDictionary({{"/g", glyph}}));
  type3.replaceKey("/Resources", fonts({{"/S", sans}}));
  QPDFObjectHandle resources = fonts({{"/S", sans}, {"/T", type3}});
  resources.replaceKey("/XObject", QPDFObjectHandle::newDictionary({{"/X", form}}));
  resources.replaceKey("/Pattern", QPDFObjectHandle::newDictionary({{"/P", pattern}}));
  QPDFObjectHandle page = doc.page(
      "BT /S 20 Tf 10 10 Td (s) Tj /T 20 Tf (A) Tj ET q BT /S 20 Tf 10 150 Td ET /X Do Q "
      "/Pattern cs /P scn 0 0 50 50 re f",
      resources);
  QPDFObjectHandle look = doc.stream("BT /R 12 Tf 5 5 Td (n) Tj ET",
                                     "<</Type /XObject /Subtype /Form /BBox [0 0 100 30]>>");
  look.getDict().replaceKey("/Resources", fonts({{"/R", serif}}));
  QPDFObjectHandle note =
      doc.add(parse("<</Type /Annot /Subtype /Square /Rect [100 100 200 130]>>"));
  note.replaceKey("/AP", QPDFObjectHandle::newDictionary({{"/N", look}}));
  page.replaceKey("/Annots", QPDFObjectHandle::newArray({note}));
  auto files = burst(dir, doc);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(words(fixtures("ttf-glyphs", Program(files[0], "/S", "/FontFile2").path)),
            (std::set<std::string>{".notdef", "f", "g", "p", "s"}));
  PageFile file(files[0]);
  QPDFObjectHandle ap =
      file.page().getObjectHandle().getKey("/Annots").getArrayItem(0).getKey("/AP").getKey("/N");
  auto data = ap.getDict()
                  .getKey("/Resources")
                  .getKey("/Font")
                  .getKey("/R")
                  .getKey("/FontDescriptor")
                  .getKey("/FontFile2")
                  .getStreamData(qpdf_dl_generalized);
  fs::path path = dir.path / "annotation.ttf";
  write_file(path, std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()));
  EXPECT_EQ(words(fixtures("ttf-glyphs", path)), (std::set<std::string>{".notdef", "n"}));
}

// Whole when in doubt: a form's fonts (it may draw new text), text the page shows before it sets
// a font, CFF programs. The same bytes on every run.
TEST(Fonts, WholeWhenInDoubtAndTheSameEveryRun) {
  TempDir dir;
  Doc doc;
  QPDFObjectHandle field_font = doc.truetype(kDejaVu, 32, name("/WinAnsiEncoding"));
  QPDFObjectHandle serif = doc.truetype(kDejaVuSerif, 32, name("/WinAnsiEncoding"));
  std::string otf = read_file("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf");
  QPDFObjectHandle otf_font = doc.simple("/Type1", "/NimbusSans-Regular",
                                         doc.descriptor("/NimbusSans-Regular", "/FontFile3",
                                                        doc.stream(otf, "<</Subtype /OpenType>>")),
                                         name("/WinAnsiEncoding"));
  QPDFObjectHandle page = doc.page("BT /Helv 12 Tf 10 10 Td (x) Tj /C 12 Tf (c) Tj ET",
                                   fonts({{"/Helv", field_font}, {"/C", otf_font}}));
  QPDFObjectHandle field =
      doc.add(parse("<</Type /Annot /Subtype /Widget /FT /Tx /T (name) "
                    "/Rect [10 50 200 80] /DA (/Helv 0 Tf 0 g)>>"));
  field.replaceKey("/P", page);
  page.replaceKey("/Annots", QPDFObjectHandle::newArray({field}));
  QPDFObjectHandle acroform = parse("<</DA (/Helv 0 Tf 0 g)>>");
  acroform.replaceKey("/Fields", QPDFObjectHandle::newArray({field}));
  acroform.replaceKey("/DR", fonts({{"/Helv", field_font}}));
  doc.pdf.getRoot().replaceKey("/AcroForm", acroform);
  doc.page("BT 10 10 Td (no font yet) Tj /S 12 Tf (s) Tj ET", fonts({{"/S", serif}}));
  auto files = burst(dir, doc);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_TRUE(Program(files[0], "/Helv", "/FontFile2").data == read_file(kDejaVu));
  EXPECT_TRUE(Program(files[0], "/C", "/FontFile3").data == otf);
  Program uncertain(files[1], "/S", "/FontFile2");
  EXPECT_TRUE(uncertain.data == read_file(kDejaVuSerif));
  EXPECT_NE(uncertain.descriptor.find("/FontName /DejaVuSans"), std::string::npos);  // no tag

  // Again, from the same source: the same bytes.
  Doc again;
  QPDFObjectHandle sans = again.truetype(kDejaVu, 32, name("/WinAnsiEncoding"));
  again.page("BT /S 12 Tf 10 10 Td (same) Tj ET", fonts({{"/S", sans}}));
  again.page("BT /S 12 Tf 10 10 Td (bytes) Tj ET", fonts({{"/S", sans}}));
  auto first = burst(dir, again, "first");
  fs::path second = dir.path / "second";
  fs::create_directory(second);
  ASSERT_EQ(run_burst(second, {(dir.path / "first.pdf").string(), "burst"}).exit_code, 0);
  ASSERT_EQ(first.size(), 2u);
  for (auto& f : first) EXPECT_EQ(read_file(f), read_file(second / f.filename())) << f;
}

// A program of a few kilobytes stays whole, on a page with a large one that is cut down and on a
// page of its own, which is not read for its text at all.
TEST(Fonts, SmallProgramsStayWhole) {
  TempDir dir;
  fs::path small_path = dir.path / "small.ttf";
  fixtures("ttf-small", small_path);
  std::string small = read_file(small_path);
  ASSERT_LT(small.size(), 16u << 10);
  Doc doc;
  QPDFObjectHandle file = doc.stream(small, "<</Length1 " + std::to_string(small.size()) + ">>");
  QPDFObjectHandle little =
      doc.simple("/TrueType", "/DejaVuSans", doc.descriptor("/DejaVuSans", "/FontFile2", file, 32),
                 name("/WinAnsiEncoding"));
  QPDFObjectHandle serif = doc.truetype(kDejaVuSerif, 32, name("/WinAnsiEncoding"));
  doc.page("BT /A 12 Tf 10 10 Td (ab) Tj /S 12 Tf (se) Tj ET",
           fonts({{"/A", little}, {"/S", serif}}));
  doc.page("BT /A 12 Tf 10 10 Td (z) Tj ET", fonts({{"/A", little}}));
  auto files = burst(dir, doc);
  ASSERT_EQ(files.size(), 2u);
  for (auto& f : files) {
    Program kept(f, "/A", "/FontFile2");
    EXPECT_TRUE(kept.data == small) << f;
    EXPECT_NE(kept.descriptor.find("/FontName /DejaVuSans"), std::string::npos) << f;
  }
  EXPECT_EQ(words(fixtures("ttf-glyphs", Program(files[0], "/S", "/FontFile2").path)),
            (std::set<std::string>{".notdef", "e", "s"}));
}
