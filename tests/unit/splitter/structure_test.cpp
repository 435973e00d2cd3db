// A page file of a tagged source is a tagged PDF of its page, and keeps the bookmarks that lead
// to it with their parents. Checked on the real binary's page files: each page's tree and
// outlines, read back as a reader reads them, and the parent tree that ties content to elements.
#include "support.h"
#include "tagged_doc.h"

#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFNumberTreeObjectHelper.hh>

#include <gtest/gtest.h>

#include <functional>

using namespace splitter_test;
using Handle = QPDFObjectHandle;
using Lines = std::vector<std::string>;

namespace {

std::vector<Handle> kids_of(Handle node) {
  Handle kids = node.getKey("/K");
  if (kids.isArray()) return kids.getArrayAsVector();
  return kids.isNull() ? std::vector<Handle>{} : std::vector<Handle>{kids};
}

// The tree as lines: each element's type and what it says of itself, its content below it.
Lines tree_of(QPDF& pdf) {
  Lines lines;
  std::function<void(Handle, std::string)> walk = [&](Handle node, std::string pad) {
    for (auto& kid : kids_of(node)) {
      if (kid.isInteger()) {
        lines.push_back(pad + "mcid " + std::to_string(kid.getIntValue()));
      } else if (kid.getKey("/Type").isNameAndEquals("/MCR")) {
        lines.push_back(pad + "mcr " + std::to_string(kid.getKey("/MCID").getIntValue()) +
                        (kid.hasKey("/Stm") ? " in form" : ""));
      } else if (kid.getKey("/Type").isNameAndEquals("/OBJR")) {
        lines.push_back(pad + "objr " + kid.getKey("/Obj").getKey("/Subtype").getName());
      } else {
        std::string line = pad + kid.getKey("/S").getName().substr(1);
        for (const char* key : {"/T", "/Lang", "/ID", "/Alt", "/ActualText", "/E"})
          if (kid.hasKey(key))
            line += std::string(" ") + key + "=" + kid.getKey(key).getUTF8Value();
        if (kid.hasKey("/C")) line += " /C=" + kid.getKey("/C").unparse();
        lines.push_back(line);
        walk(kid, pad + "  ");
      }
    }
  };
  walk(pdf.getRoot().getKey("/StructTreeRoot"), "");
  return lines;
}

// What a reader relies on: each element's /P is its parent, its /Pg this page or absent; the
// parent tree leads from each MCID and annotation back to its element; nothing refers to
// another page. Returns what is wrong.
Lines faults_of(PageFile& file) {
  Lines faults;
  Handle root = file.pdf.getRoot().getKey("/StructTreeRoot");
  Handle page = file.page().getObjectHandle();
  QPDFNumberTreeObjectHelper parents(root.getKey("/ParentTree"), file.pdf);
  auto entry = [&](Handle owner, const char* key, long long mcid) -> Handle {
    Handle k = (owner.isStream() ? owner.getDict() : owner).getKey(key);
    Handle value;
    if (!k.isInteger() || !parents.findObject(k.getIntValue(), value)) return Handle();
    if (k.getIntValue() >= root.getKey("/ParentTreeNextKey").getIntValue())
      faults.push_back("a key at or past /ParentTreeNextKey");
    return mcid < 0          ? value
           : value.isArray() ? value.getArrayItem(static_cast<int>(mcid))
                             : Handle();
  };
  std::set<QPDFObjGen> annots;
  for (auto& annot : file.page().getAnnotations())
    annots.insert(annot.getObjectHandle().getObjGen());
  std::function<void(Handle, Handle, Handle)> walk = [&](Handle node, Handle parent, Handle pg) {
    std::string name = node.getKey("/S").isName() ? node.getKey("/S").getName() : "root";
    if (parent.isInitialized() && node.getKey("/P").getObjGen() != parent.getObjGen())
      faults.push_back(name + ": /P is not its parent");
    if (node.hasKey("/Pg")) {
      if (node.getKey("/Pg").getObjGen() != page.getObjGen()) faults.push_back(name + ": /Pg");
      pg = node.getKey("/Pg");
    }
    for (auto& kid : kids_of(node)) {
      Handle got;
      if (kid.isInteger()) {
        got = entry(page, "/StructParents", kid.getIntValue());
        if (pg.getObjGen() != page.getObjGen()) faults.push_back(name + ": an MCID on no page");
      } else if (kid.getKey("/Type").isNameAndEquals("/MCR")) {
        Handle form = kid.getKey("/Stm");
        got = form.isStream() ? entry(form, "/StructParents", kid.getKey("/MCID").getIntValue())
                              : entry(page, "/StructParents", kid.getKey("/MCID").getIntValue());
      } else if (kid.getKey("/Type").isNameAndEquals("/OBJR")) {
        if (!annots.count(kid.getKey("/Obj").getObjGen()))
          faults.push_back(name + ": an object of another page");
        got = entry(kid.getKey("/Obj"), "/StructParent", -1);
      } else {
        walk(kid, node, pg);
        continue;
      }
      if (!got.isInitialized() || got.getObjGen() != node.getObjGen())
        faults.push_back(name + ": the parent tree leads elsewhere from " + kid.unparse());
    }
  };
  walk(root, Handle(), Handle::newNull());
  return faults;
}

// The outlines as lines: title, where the item leads, its /Count, colour and style. Checks the
// chain's links on the way.
Lines outlines_of(PageFile& file) {
  Lines lines;
  Handle root = file.pdf.getRoot().getKey("/Outlines");
  if (!root.isDictionary()) return lines;
  std::function<void(Handle, std::string)> walk = [&](Handle parent, std::string pad) {
    Handle prev;
    for (Handle item = parent.getKey("/First"); item.isDictionary(); item = item.getKey("/Next")) {
      EXPECT_EQ(item.getKey("/Parent").getObjGen(), parent.getObjGen());
      EXPECT_EQ(item.getKey("/Prev").getObjGen(),
                prev.isInitialized() ? prev.getObjGen() : QPDFObjGen());
      Handle action = item.getKey("/A");
      std::string line = pad + item.getKey("/Title").getUTF8Value() + " " +
                         (action.getKey("/S").isNameAndEquals("/URI")
                              ? "uri " + action.getKey("/URI").getUTF8Value()
                              : lead(file, item));
      if (item.hasKey("/Count"))
        line += " count=" + std::to_string(item.getKey("/Count").getIntValue());
      if (item.hasKey("/C")) line += " C=" + item.getKey("/C").unparse();
      if (item.hasKey("/F")) line += " F=" + item.getKey("/F").unparse();
      lines.push_back(line);
      walk(item, pad + "  ");
      prev = item;
    }
    EXPECT_EQ(parent.getKey("/Last").getObjGen(),
              prev.isInitialized() ? prev.getObjGen() : QPDFObjGen());
  };
  walk(root, "");
  lines.push_back("count=" + std::to_string(root.getKey("/Count").getIntValue()));
  return lines;
}

Lines ids_of(PageFile& file) {
  Lines ids;
  Handle tree = file.pdf.getRoot().getKey("/StructTreeRoot").getKey("/IDTree");
  if (!tree.isDictionary()) return ids;
  for (auto& [id, element] : QPDFNameTreeObjectHelper(tree, file.pdf))
    ids.push_back(id + " " + element.getKey("/S").getName());
  return ids;
}

class Structure : public ::testing::Test {
 protected:
  TempDir in, out;
};

TEST_F(Structure, EachPageFileHoldsItsPartOfTheTreeInTheSourcesOrder) {
  make_tagged(in.path / "doc.pdf");
  auto result = run_burst(out.path, {(in.path / "doc.pdf").string(), "burst"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const Lines want[] = {
      {"Document", "  H1 /T=Title /Lang=en-GB /ID=h1", "    mcid 0", "  P /C=/body", "    mcr 1",
       "  L", "    LI", "      LBody", "        mcid 2", "    LI", "      LBody", "        mcid 3",
       "  Figure /Alt=A red box /ActualText=box", "    mcid 4", "  Link", "    mcid 5",
       "    objr /Link"},
      {"Document", "  P /C=/body", "    mcr 0", "  Table /ID=tbl", "    TR", "      TD",
       "        mcid 1", "    TR", "      TD", "        mcid 2", "      TD", "  Span /E=form",
       "    mcr 0 in form", "  H2", "    mcid 3"},
      {"Document", "  Table /ID=tbl", "    TR", "      TD", "        mcid 0", "  H3 /ID=h3",
       "    mcid 1", "  Heading", "    mcid 2", "  Figure /Alt=Drawn elsewhere"},
      {},
  };
  const Lines ids[] = {{"h1 /H1"}, {"tbl /Table"}, {"h3 /H3", "tbl /Table"}, {}};
  auto names = page_names("doc", 4);
  for (std::size_t i = 0; i < 4; ++i) {
    PageFile file(out.path / names[i]);
    Handle root = file.pdf.getRoot();
    ASSERT_TRUE(root.getKey("/StructTreeRoot").isDictionary()) << names[i];
    EXPECT_EQ(tree_of(file.pdf), want[i]) << names[i];
    EXPECT_EQ(faults_of(file), Lines{}) << names[i];
    EXPECT_EQ(ids_of(file), ids[i]) << names[i];
    EXPECT_TRUE(root.getKey("/MarkInfo").getKey("/Marked").getBoolValue());
    Handle tree = root.getKey("/StructTreeRoot");
    EXPECT_EQ(tree.getKey("/RoleMap").unparse(), "<< /Heading /H1 >>");
    EXPECT_EQ(tree.getKey("/ClassMap").getKey("/body").getKey("/TextAlign").unparse(), "/Justify");
  }
  // The span on page 2 refers to the H2 beside it, no longer to the title on page 1; the
  // paragraph keeps its attributes.
  PageFile two(out.path / names[1]);
  Handle document = two.pdf.getRoot().getKey("/StructTreeRoot").getKey("/K").getArrayItem(0);
  Handle span = document.getKey("/K").getArrayItem(2), refs = span.getKey("/Ref");
  ASSERT_EQ(refs.getArrayNItems(), 1);
  EXPECT_EQ(refs.getArrayItem(0).getKey("/S").getName(), "/H2");
  EXPECT_EQ(document.getKey("/K").getArrayItem(0).getKey("/A").getKey("/SpaceAfter").getIntValue(),
            6);
}

TEST_F(Structure, EachPageFileKeepsTheBookmarksThatLeadToItWithTheirParents) {
  make_tagged(in.path / "doc.pdf");
  auto result = run_burst(out.path, {(in.path / "doc.pdf").string(), "burst"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Lines want[] = {
      {"1 Intro here /XYZ 0 792 0 ] count=2", "  1.1 Lists here /FitH 500 ]",
       "  1.2 Figure here /Fit ]", "count=3"},
      {"2 Results here /Fit ] count=-3", "  2.1 Table here /FitH 600 ]",
       "  2.2 Web uri https://example.org/ count=1", "    2.2.1 Note here /XYZ 1 2 3 ]", "count=1"},
      {"2 Results doc_pg_0002.pdf [ 0 /Fit ] count=-2",
       "  2.1 Table doc_pg_0002.pdf [ 0 /FitH 600 ] count=1",
       "    2.1.1 End of table here /XYZ 72 400 null ]", "3 Last here /Fit ] C=[ 1 0 0 ] F=2",
       "count=2"},
      {},
  };
  auto names = page_names("doc", 4);
  for (std::size_t i = 0; i < 4; ++i) {
    PageFile file(out.path / names[i]);
    EXPECT_EQ(outlines_of(file), want[i]) << names[i];
    EXPECT_EQ(file.pdf.getRoot().hasKey("/PageMode"), i < 3) << names[i];
  }
}

// Whatever the tree or the outlines hold, the run succeeds with one warning each, every page
// file reads cleanly, and what is sound is kept.
TEST_F(Structure, ADamagedTreeKeepsItsSoundPartAndWarnsOnce) {
  Doc doc;
  make_pages(doc);
  auto font = doc.add("<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>");
  auto annot2 = doc.link("/Dest [%1 /Fit]"), annot3 = doc.link("/Dest [%1 /Fit] /StructParent 7");
  doc.page(2).replaceKey("/Annots", Handle::newArray({annot2}));
  doc.page(3).replaceKey("/Annots", Handle::newArray({annot3}));
  doc.page(3).replaceKey("/StructParents", Handle::newInteger(7));
  auto p = [&](int n) { return doc.page(n).unparse(); };
  auto good = doc.add("<< /S /P /Pg " + p(1) + " /K 0 >>");
  auto looped = doc.add("<< /S /Div /Pg " + p(1) + " >>");
  looped.replaceKey("/K", Handle::newArray({Handle::newInteger(1), looped}));
  auto twice = doc.add("<< /S /Span /Pg " + p(1) + " /K 2 >>");
  auto stray = doc.add("<< /S /P /K [3 << /Type /MCR /MCID 4 >>] >>");  // no /Pg anywhere
  auto odd_pg = doc.add("<< /S /P /Pg " + font.unparse() + " /K 5 >>");
  auto huge = doc.add("<< /S /P /Pg " + p(1) + " /K 1000000000 >>");
  auto objr = doc.add("<< /S /Link /Pg " + p(1) + " /K [<< /Type /OBJR /Obj " + annot2.unparse() +
                      " >> << /Type /OBJR /Obj " + p(2) + " >>] >>");
  auto keyless = doc.add("<< /S /P /Pg " + p(2) + " /K [0 << /Type /MCR >>] >>");
  auto clash = doc.add("<< /S /Link /Pg " + p(3) + " /K [0 << /Type /OBJR /Obj " +
                       annot3.unparse() + " >>] >>");
  auto top = doc.add("<< /S /Document >>");
  top.replaceKey(
      "/K", Handle::newArray({good, looped, twice, twice, font, Handle::newString("x"),
                              Handle::newStream(&doc.pdf, "x"), stray, odd_pg, huge, objr, keyless,
                              clash, Handle::newName("/odd"), doc.page(2)}));
  doc.page(2).replaceKey("/S", Handle::newName("/Div"));  // a page is no element all the same
  auto root = doc.add("<< /Type /StructTreeRoot /ParentTree 5 /IDTree [1] >>");
  root.replaceKey("/K", Handle::newArray({top, Handle::newInteger(9), root}));
  doc.pdf.getRoot().replaceKey("/StructTreeRoot", root);
  auto item = doc.add("<< /Title (loop) /Dest [" + p(1) + " /Fit] >>");
  item.replaceKey("/Next", item);
  item.replaceKey("/First", doc.page(3));
  auto outlines = doc.add("<< /Type /Outlines >>");
  outlines.replaceKey("/First", item);
  doc.pdf.getRoot().replaceKey("/Outlines", outlines);
  doc.write(in.path / "bad.pdf");

  auto result = run_burst(out.path, {(in.path / "bad.pdf").string(), "burst"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err_lines(), 2) << result.err;
  EXPECT_NE(result.err.find("structure tree is damaged"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("outline is damaged"), std::string::npos) << result.err;
  const Lines want[] = {
      {"Document", "  P", "    mcid 0", "  Div", "    mcid 1", "  Span", "    mcid 2"},
      {"Document", "  Link", "    objr /Link", "  P", "    mcid 0"},
      {"Document", "  Link", "    mcid 0", "    objr /Link"},
  };
  auto names = page_names("bad", 3);
  for (std::size_t i = 0; i < 3; ++i) {
    PageFile file(out.path / names[i]);
    EXPECT_EQ(tree_of(file.pdf), want[i]) << names[i];
    EXPECT_EQ(faults_of(file), Lines{}) << names[i];
    EXPECT_EQ(outlines_of(file), (i == 0 ? Lines{"loop here /Fit ]", "count=1"} : Lines{}));
  }
  // Page 2 had no key for its content nor its annotation, page 3's annotation had the page's.
  PageFile two(out.path / names[1]), three(out.path / names[2]);
  EXPECT_TRUE(two.page().getObjectHandle().getKey("/StructParents").isInteger());
  EXPECT_NE(
      three.page().getAnnotations().at(0).getObjectHandle().getKey("/StructParent").getIntValue(),
      7);
}

}  // namespace
