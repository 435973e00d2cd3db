// A page file claims no more than it is: a signed source's page files carry no signature value but
// still show the signature, a PDF/A-1 source's page files are in PDF/A-1's form, and an encrypted
// source's page files are encrypted as it is. Checked on the real binary's page files, from
// sources built here and from real ones made by tests/unit/splitter/fixtures/make.sh.
#include "splitter/source/pdfa.h"
#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>

using namespace splitter_test;

namespace {

const fs::path kFixtures = PAGERIFT_SPLITTER_FIXTURES;

std::string shell_quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// Whether a page file still holds a signature value or a claim that rests on one.
bool claims_a_signature(QPDF& pdf) {
  QPDFObjectHandle root = pdf.getRoot();
  if (root.hasKey("/Perms") || root.hasKey("/DSS")) return true;
  for (auto& obj : pdf.getAllObjects()) {
    QPDFObjectHandle dict = obj.isStream() ? obj.getDict() : obj;
    if (dict.isDictionary() &&
        (dict.hasKey("/ByteRange") || dict.getKey("/Type").isNameAndEquals("/Sig") ||
         (dict.getKey("/FT").isNameAndEquals("/Sig") && dict.hasKey("/V"))))
      return true;
  }
  return false;
}

QPDFObjectHandle annotation_named(QPDFPageObjectHelper page, const std::string& name) {
  for (auto& annot : page.getAnnotations())
    if (annot.getObjectHandle().getKey("/T").isString() &&
        annot.getObjectHandle().getKey("/T").getUTF8Value() == name)
      return annot.getObjectHandle();
  return QPDFObjectHandle::newNull();
}

std::string data_of(QPDFObjectHandle stream) {
  if (!stream.isStream()) return "no stream";
  auto data = stream.getStreamData();
  return std::string(reinterpret_cast<char*>(data->getBuffer()), data->getSize());
}

std::string appearance(QPDFObjectHandle widget) {
  return data_of(widget.getKey("/AP").getKey("/N"));
}

// Every field as qpdf sees it, by name: "<name> <type> <value>".
std::vector<std::string> fields_of(QPDF& pdf) {
  std::vector<std::string> all;
  for (auto& field : QPDFAcroFormDocumentHelper(pdf).getFormFields())
    all.push_back(field.getFullyQualifiedName() + " " + field.getFieldType() + " " +
                  field.getValue().unparse());
  std::sort(all.begin(), all.end());
  return all;
}

// Page `n` of `pdf` drawn by poppler, as bytes of a PPM.
std::string render(const fs::path& pdf, int n, const fs::path& stem) {
  std::string page = std::to_string(n);
  std::string command = "pdftoppm -r 30 -f " + page + " -l " + page + " -singlefile " +
                        shell_quoted(pdf) + " " + shell_quoted(stem);
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return read_file(stem.string() + ".ppm");
}

int qpdf_check(const fs::path& pdf) {
  int status = std::system(("qpdf --check " + shell_quoted(pdf) + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Honest : public ::testing::Test {
 protected:
  RunResult burst(const fs::path& source) {
    return run_burst(out.path, {source.string(), "burst"});
  }
  fs::path page_file(const std::string& stem, int n, int pages = 2) {
    return out.path / page_names(stem, pages).at(static_cast<std::size_t>(n - 1));
  }
  TempDir in, out;
};

TEST_F(Honest, SignedSourceGivesPagesWithoutSignatureValuesThatLookTheSame) {
  fs::path source = kFixtures / "signed.pdf";
  auto result = burst(source);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err_lines(), 1) << result.err;
  EXPECT_NE(result.err.find("signed"), std::string::npos) << result.err;

  PageFile one(page_file("signed", 1)), two(page_file("signed", 2));
  EXPECT_FALSE(claims_a_signature(one.pdf));
  EXPECT_FALSE(claims_a_signature(two.pdf));
  // The signed widget is an annotation alone now, drawn as before; the empty field can still
  // be signed.
  QPDFObjectHandle signer = annotation_named(one.page(), "Signer");
  ASSERT_TRUE(signer.isDictionary());
  EXPECT_FALSE(signer.hasKey("/FT"));
  QPDF original;
  original.processFile(source.string().c_str());
  QPDFPageObjectHelper source_page(original.getAllPages().at(0));
  EXPECT_EQ(appearance(signer), appearance(annotation_named(source_page, "Signer")));
  EXPECT_EQ(fields_of(one.pdf), (std::vector<std::string>{"Empty /Sig null", "Signer  null"}));
  EXPECT_EQ(render(page_file("signed", 1), 1, in.path / "page"),
            render(source, 1, in.path / "src"));
}

// A signature field under a plain parent that a text field shares, its widget a kid of its own,
// with a lock and seed values; the document certified (/Perms) and with validation data (/DSS).
TEST_F(Honest, NestedSignatureFieldsAndDocumentClaimsStayBehind) {
  fs::path source = in.path / "nested.pdf";
  make_pdf(source, {.pages = 2});
  QPDF pdf;
  pdf.processFile(source.string().c_str());
  QPDFObjectHandle page = pdf.getAllPages().at(0);
  auto indirect = [&](const std::string& text) {
    return pdf.makeIndirectObject(QPDFObjectHandle::parse(text));
  };
  QPDFObjectHandle value =
      indirect("<< /Type /Sig /Filter /Adobe.PPKLite /ByteRange [0 10 20 30] /Contents <00ff> >>");
  QPDFObjectHandle parent = indirect("<< /T (form) >>");
  QPDFObjectHandle text =
      indirect("<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Ada) /Rect [0 0 50 20] >>");
  QPDFObjectHandle signature = indirect(
      "<< /FT /Sig /T (approval) /Lock << /Action /All >> "
      "/SV << /Filter /Adobe.PPKLite >> >>");
  QPDFObjectHandle widget = indirect("<< /Type /Annot /Subtype /Widget /Rect [100 100 200 150] >>");
  QPDFObjectHandle stamp = QPDFObjectHandle::newStream(&pdf, "0 0 1 rg 0 0 100 50 re f");
  stamp.replaceDict(
      QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Form /BBox [0 0 100 50] >>"));
  widget.replaceKey("/AP", QPDFObjectHandle::newDictionary({{"/N", stamp}}));
  signature.replaceKey("/V", value);
  signature.replaceKey("/Parent", parent);
  signature.replaceKey("/Kids", QPDFObjectHandle::newArray({widget}));
  widget.replaceKey("/Parent", signature);
  text.replaceKey("/Parent", parent);
  parent.replaceKey("/Kids", QPDFObjectHandle::newArray({text, signature}));
  page.replaceKey("/Annots", QPDFObjectHandle::newArray({text, widget}));
  QPDFObjectHandle root = pdf.getRoot();
  root.replaceKey("/AcroForm", QPDFObjectHandle::parse("<< /SigFlags 3 >>"));
  root.getKey("/AcroForm").replaceKey("/Fields", QPDFObjectHandle::newArray({parent}));
  root.replaceKey("/Perms", QPDFObjectHandle::newDictionary({{"/DocMDP", value}}));
  root.replaceKey("/DSS", QPDFObjectHandle::parse("<< /Certs [] >>"));
  QPDFWriter writer(pdf, (in.path / "signed.pdf").string().c_str());
  writer.setStaticID(true);
  writer.write();

  auto result = burst(in.path / "signed.pdf");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err_lines(), 1) << result.err;
  PageFile one(page_file("signed", 1));
  EXPECT_FALSE(claims_a_signature(one.pdf));
  for (auto& obj : one.pdf.getAllObjects())
    EXPECT_FALSE(obj.isDictionary() && (obj.hasKey("/Lock") || obj.hasKey("/SV"))) << obj.unparse();
  // qpdf counts a widget outside the form as a field of its own, of no name and no type.
  EXPECT_EQ(fields_of(one.pdf), (std::vector<std::string>{"  null", "form.name /Tx (Ada)"}));
  auto annots = one.page().getAnnotations();
  ASSERT_EQ(annots.size(), 2u);
  EXPECT_EQ(appearance(annots[1].getObjectHandle()), "0 0 1 rg 0 0 100 50 re f");
  PageFile two(page_file("signed", 2));
  EXPECT_FALSE(claims_a_signature(two.pdf));
}

TEST(PdfaClaim, ReadsTheAttributeAndTheElementUnderAnyPrefix) {
  using pagerift::splitter::pdfa_part;
  const std::string ns = "http://www.aiim.org/pdfa/ns/id/";
  EXPECT_EQ(pdfa_part("<rdf:Description xmlns:pdfaid=\"" + ns +
                      "\" pdfaid:part=\"1\" "
                      "pdfaid:conformance=\"B\"/>"),
            1);
  EXPECT_EQ(pdfa_part("<rdf:Description xmlns:pdfaid='" + ns + "'><pdfaid:part> 2 </pdfaid:part>"),
            2);
  EXPECT_EQ(pdfa_part("<d xmlns:a = '" + ns + "' a:part = '3'/>"), 3);
  EXPECT_EQ(pdfa_part("<d xmlns:id=\"" + ns + "\"><id:part>4</id:part></d>"), 4);
  // Claims of nothing: another schema's part, a value that is no part, text cut short.
  EXPECT_EQ(pdfa_part("<d xmlns:x=\"urn:other\" x:part=\"1\" xpdfaid:part=\"1\"/>"), 0);
  EXPECT_EQ(pdfa_part("<d pdfaid:part=\"12\" pdfaid:part=\"0\" pdfaid:part=\"\"/>"), 0);
  EXPECT_EQ(pdfa_part("<pdfaid:part>1"), 0);
  EXPECT_EQ(pdfa_part("<d pdfaid:part=\"1"), 0);
  EXPECT_EQ(pdfa_part("xmlns:=\"" + ns + "\" :part=\"1\""), 0);
  EXPECT_EQ(pdfa_part(""), 0);
  // Hostile sizes: many half claims and bindings cost one pass.
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "<pdfaid:part>x xmlns:p=\"" + ns + "\" pdfaid:part='";
  EXPECT_EQ(pdfa_part(many), 0);
  EXPECT_EQ(pdfa_part(many + "' <pdfaid:part>1</pdfaid:part>"), 1);
}

// Where a file's last cross-reference section starts.
std::string last_xref(const std::string& bytes) {
  std::size_t at = bytes.rfind("startxref\n");
  if (at == std::string::npos) return "";
  std::size_t offset = std::stoul(bytes.substr(at + 10));
  return offset < bytes.size() ? bytes.substr(offset, 4) : "";
}

TEST_F(Honest, PdfaOneSourceGivesPagesInItsFormAndLaterPartsKeepObjectStreams) {
  QPDF original;
  original.processFile((kFixtures / "pdfa1b.pdf").string().c_str());
  auto xmp = original.getRoot().getKey("/Metadata").getRawStreamData();
  const std::string metadata(reinterpret_cast<char*>(xmp->getBuffer()), xmp->getSize());

  auto result = burst(kFixtures / "pdfa1b.pdf");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  for (int n : {1, 2}) {
    std::string bytes = read_file(page_file("pdfa1b", n));
    EXPECT_EQ(bytes.substr(0, 9), "%PDF-1.4\n");
    EXPECT_GT(static_cast<unsigned char>(bytes[10]), 127u);  // the binary comment
    EXPECT_EQ(bytes.find("/ObjStm"), std::string::npos);
    EXPECT_EQ(bytes.find("/XRef"), std::string::npos);
    EXPECT_EQ(last_xref(bytes), "xref");
    PageFile page(page_file("pdfa1b", n));
    EXPECT_TRUE(page.pdf.getTrailer().getKey("/ID").isArray());
    EXPECT_TRUE(page.pdf.getRoot().getKey("/OutputIntents").isArray());
    auto kept = page.pdf.getRoot().getKey("/Metadata").getRawStreamData();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(kept->getBuffer()), kept->getSize()), metadata);
    // Stream data is still compressed; only the objects themselves are not.
    EXPECT_TRUE(page.page().getObjectHandle().getKey("/Contents").getDict().hasKey("/Filter"));
    EXPECT_NE(page.text().find("BT"), std::string::npos);
  }
  EXPECT_EQ(render(page_file("pdfa1b", 2), 1, in.path / "page"),
            render(kFixtures / "pdfa1b.pdf", 2, in.path / "src"));

  result = burst(kFixtures / "pdfa2b.pdf");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::string bytes = read_file(page_file("pdfa2b", 1));
  EXPECT_NE(bytes.find("/ObjStm"), std::string::npos);
  EXPECT_EQ(bytes.substr(0, 8), "%PDF-1.6");
}

// A source that claims PDF/A-1 in a later version than 1.4 gives page files of 1.4; one of an
// older version keeps it.
TEST_F(Honest, PdfaOneHeaderIsTheSourcesAtMostOnePointFour) {
  for (std::string version : {"1.7", "1.3"}) {
    make_pdf(in.path / "plain.pdf", {.pages = 2});
    QPDF pdf;
    pdf.processFile((in.path / "plain.pdf").string().c_str());
    pdf.getRoot().replaceKey(
        "/Metadata",
        QPDFObjectHandle::newStream(
            &pdf,
            "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:Description "
            "xmlns:pdfaid='http://www.aiim.org/pdfa/ns/id/' pdfaid:part='1'/></x:xmpmeta>"));
    pdf.getRoot()
        .getKey("/Metadata")
        .replaceDict(QPDFObjectHandle::parse("<< /Type /Metadata /Subtype /XML >>"));
    fs::path source = in.path / ("a" + version + ".pdf");
    QPDFWriter writer(pdf, source.string().c_str());
    writer.setStaticID(true);
    writer.setObjectStreamMode(qpdf_o_disable);
    writer.forcePDFVersion(version);
    writer.write();
    auto result = burst(source);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::string bytes = read_file(page_file("a" + version, 2));
    EXPECT_EQ(bytes.substr(0, 8), "%PDF-" + (version == "1.7" ? std::string("1.4") : version));
    EXPECT_EQ(last_xref(bytes), "xref");
  }
}

struct Method {
  const char* name;
  std::function<void(QPDFWriter&)> set;
  int R;
  bool cleartext_metadata = false;
  bool claims_pdfa1 = false;  // the classic form: every string of the file encrypted on its own
};

const char kXmp[] = "<?xpacket begin=''?><x:xmpmeta xmlns:x='adobe:ns:meta/'/><?xpacket end='w'?>";

std::vector<Method> methods() {
  const auto print = qpdf_r3p_low;
  return {
      {"rc4-40",
       [](QPDFWriter& w) {
         w.setR2EncryptionParametersInsecure("", "owner", false, false, true, false);
       },
       2},
      {"rc4-128",
       [=](QPDFWriter& w) {
         w.setR3EncryptionParametersInsecure("", "owner", true, false, true, false, true, false,
                                             print);
       },
       3},
      {"aes-128",
       [=](QPDFWriter& w) {
         w.setR4EncryptionParametersInsecure("", "owner", true, true, false, false, true, false,
                                             print, true, true);
       },
       4},
      {"aes-128-plain-xmp",
       [=](QPDFWriter& w) {
         w.setR4EncryptionParametersInsecure("", "owner", true, true, false, false, true, false,
                                             print, false, true);
       },
       4, true},
      {"aes-128-pdfa1",
       [=](QPDFWriter& w) {
         w.setR4EncryptionParametersInsecure("", "owner", true, true, false, false, true, false,
                                             print, true, true);
       },
       4, false, true},
      {"aes-256-r5",
       [=](QPDFWriter& w) {
         w.setR5EncryptionParameters("", "owner", true, false, true, false, true, false, print,
                                     true);
       },
       5},
      {"aes-256",
       [=](QPDFWriter& w) {
         w.setR6EncryptionParameters("", "owner", false, false, true, true, false, false, print,
                                     true);
       },
       6},
  };
}

// The source's encryption as qpdf reports it.
std::string encryption_of(QPDF& pdf) {
  int R = 0, P = 0, V = 0;
  QPDF::encryption_method_e stream, string, file;
  if (!pdf.isEncrypted(R, P, V, stream, string, file)) return "none";
  QPDFObjectHandle encrypt = pdf.getTrailer().getKey("/Encrypt");
  return "R " + std::to_string(R) + " P " + std::to_string(P) + " V " + std::to_string(V) +
         " methods " + std::to_string(stream) + std::to_string(string) + std::to_string(file) +
         " " + encrypt.getKey("/Length").unparse() + " metadata " +
         encrypt.getKey("/EncryptMetadata").unparse();
}

TEST_F(Honest, OwnerPasswordSourceGivesPagesEncryptedAsItIs) {
  for (const Method& method : methods()) {
    SCOPED_TRACE(method.name);
    make_pdf(in.path / "plain.pdf", {.pages = 2, .info = true, .annotations = true});
    QPDF plain;
    plain.processFile((in.path / "plain.pdf").string().c_str());
    // Strings in a stream's dictionary, outside any object stream, are encrypted one by one.
    QPDFObjectHandle contents = QPDFObjectHandle(plain.getAllPages().at(1)).getKey("/Contents");
    contents.getDict().replaceKey("/Note", QPDFObjectHandle::newString("a (string) in a stream"));
    std::string xmp = kXmp;
    if (method.claims_pdfa1)
      xmp.replace(
          xmp.find("/>"), 2,
          "><d xmlns:pdfaid='http://www.aiim.org/pdfa/ns/id/' pdfaid:part='1'/></x:xmpmeta>");
    QPDFObjectHandle metadata = QPDFObjectHandle::newStream(&plain, xmp);
    metadata.replaceDict(QPDFObjectHandle::parse("<< /Type /Metadata /Subtype /XML >>"));
    plain.getRoot().replaceKey("/Metadata", metadata);
    fs::path source = in.path / (std::string(method.name) + ".pdf");
    QPDFWriter writer(plain, source.string().c_str());
    writer.setStaticID(true);
    writer.setStaticAesIV(true);
    method.set(writer);
    writer.write();
    QPDF original;
    original.processFile(source.string().c_str());

    auto result = burst(source);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    fs::path path = page_file(method.name, 2);
    PageFile page(path);
    EXPECT_EQ(encryption_of(page.pdf), encryption_of(original));
    EXPECT_FALSE(page.pdf.ownerPasswordMatched());
    QPDFObjectHandle id = page.pdf.getTrailer().getKey("/ID");
    if (method.R <= 4) {
      EXPECT_EQ(id.getArrayItem(0).getStringValue(),
                original.getTrailer().getKey("/ID").getArrayItem(0).getStringValue());
    }
    EXPECT_NE(id.getArrayItem(1).getStringValue(), id.getArrayItem(0).getStringValue());
    EXPECT_NE(page.text().find("(Page 2)"), std::string::npos);
    EXPECT_EQ(page.pdf.getTrailer().getKey("/Info").getKey("/Title").getUTF8Value(),
              "Quarterly report");
    EXPECT_EQ(
        page.page().getObjectHandle().getKey("/Contents").getDict().getKey("/Note").getUTF8Value(),
        "a (string) in a stream");
    EXPECT_EQ(page.page().getAnnotations().at(0).getObjectHandle().getKey("/V").getUTF8Value(),
              "Ada Lovelace");
    EXPECT_EQ(data_of(page.pdf.getRoot().getKey("/Metadata")), xmp);
    std::string bytes = read_file(path);
    EXPECT_EQ(bytes.find("Page 2"), std::string::npos);
    EXPECT_EQ(bytes.find("<x:xmpmeta") != std::string::npos, method.cleartext_metadata);
    EXPECT_EQ(bytes.find("/ObjStm") == std::string::npos, method.claims_pdfa1);
    EXPECT_EQ(qpdf_check(path), 0);

    QPDF owner;
    owner.processFile(path.string().c_str(), "owner");
    EXPECT_TRUE(owner.ownerPasswordMatched());

    // The same bytes from a second run, AES vectors included.
    TempDir again;
    ASSERT_EQ(run_burst(again.path, {source.string(), "burst"}).exit_code, 0);
    for (auto& name : page_names(method.name, 2))
      EXPECT_EQ(read_file(again.path / name), read_file(out.path / name)) << name;
    for (auto& name : page_names(method.name, 2)) fs::remove(out.path / name);
  }
}

// A content array that names a non-stream: readers skip it, and so does the page file, which then
// checks clean where qpdf's own split of the page gives a warning.
TEST_F(Honest, NonStreamsAmongThePagesContentAreLeftOut) {
  make_pdf(in.path / "plain.pdf", {.pages = 2});
  QPDF pdf;
  pdf.processFile((in.path / "plain.pdf").string().c_str());
  std::vector<QPDFObjectHandle> pages = pdf.getAllPages();
  QPDFObjectHandle text = pages.at(0).getKey("/Contents");
  pages.at(0).replaceKey(
      "/Contents",
      QPDFObjectHandle::newArray({text, pdf.makeIndirectObject(QPDFObjectHandle::newNull()),
                                  pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Foo 1 >>")),
                                  pdf.makeIndirectObject(QPDFObjectHandle::newInteger(42))}));
  pages.at(1).replaceKey("/Contents", pdf.makeIndirectObject(QPDFObjectHandle::parse("<< >>")));
  QPDFWriter writer(pdf, (in.path / "odd.pdf").string().c_str());
  writer.setStaticID(true);
  writer.write();

  auto result = burst(in.path / "odd.pdf");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  PageFile one(page_file("odd", 1)), two(page_file("odd", 2));
  QPDFObjectHandle contents = one.page().getObjectHandle().getKey("/Contents");
  ASSERT_TRUE(contents.isArray());
  EXPECT_EQ(contents.getArrayNItems(), 1);
  EXPECT_NE(one.text().find("(Page 1)"), std::string::npos);
  EXPECT_FALSE(two.page().getObjectHandle().hasKey("/Contents"));
  EXPECT_EQ(qpdf_check(page_file("odd", 1)), 0);
  EXPECT_EQ(qpdf_check(page_file("odd", 2)), 0);
}

}  // namespace
