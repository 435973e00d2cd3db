#include "tagged_doc.h"

#include "whole_doc.h"

#include <qpdf/QPDFWriter.hh>

#include <map>

namespace splitter_test {

namespace {

using Handle = QPDFObjectHandle;

// Marked content with these MCIDs, each a line of text.
std::string marked(const std::vector<std::pair<int, std::string>>& runs) {
  std::string content;
  int y = 700;
  for (auto& [mcid, text] : runs) {
    content += "/P <</MCID " + std::to_string(mcid) + ">> BDC BT /F1 12 Tf 72 " +
               std::to_string(y) + " Td (" + text + ") Tj ET EMC\n";
    y -= 20;
  }
  return content;
}

struct Builder {
  Doc& doc;
  // An element: `rest` is the rest of its dictionary, "%1" to "%4" standing for the pages.
  Handle element(const std::string& type, const std::string& rest, std::vector<Handle> kids) {
    std::string text = rest;
    for (int n = 1; n <= 4; ++n)
      for (std::size_t at; (at = text.find("%" + std::to_string(n))) != std::string::npos;)
        text.replace(at, 2, doc.page(n).unparse());
    Handle e = doc.add("<< /Type /StructElem /S " + type + " " + text + " >>");
    if (!kids.empty()) e.replaceKey("/K", Handle::newArray(kids));
    for (auto& kid : kids)
      if (kid.isDictionary() && kid.getKey("/S").isName()) kid.replaceKey("/P", e);
    return e;
  }
  Handle mcr(int page, int mcid) {
    return Handle::parse(&doc.pdf, "<< /Type /MCR /Pg " + doc.page(page).unparse() + " /MCID " +
                                       std::to_string(mcid) + " >>");
  }
};

Handle mcid(int n) { return Handle::newInteger(n); }

}  // namespace

void make_tagged(const std::filesystem::path& path) {
  Doc doc;
  doc.pdf.emptyPDF();
  auto font = doc.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  const std::vector<std::pair<int, std::string>> runs[] = {
      {{0, "Title"},
       {1, "A paragraph that goes"},
       {2, "First item"},
       {3, "Second item"},
       {4, "(figure)"},
       {5, "Go to the end"}},
      {{0, "on over the break."}, {1, "Row 1"}, {2, "Row 2"}, {3, "Section"}},
      {{0, "Row 3"}, {1, "Subsection"}, {2, "Mapped heading"}},
      {},
  };
  auto form = Handle::newStream(&doc.pdf, marked({{0, "In a form"}}));
  form.getDict().replaceKey("/Type", Handle::newName("/XObject"));
  form.getDict().replaceKey("/Subtype", Handle::newName("/Form"));
  form.getDict().replaceKey("/BBox", Handle::parse("[0 0 612 792]"));
  form.getDict().replaceKey("/StructParents", Handle::newInteger(3));
  form.getDict().replaceKey("/Resources", Handle::parse("<< /Font << >> >>"));
  form.getDict().getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
  for (int n = 1; n <= 4; ++n) {
    std::string content = marked(runs[n - 1]);
    if (n == 2) content += "q 1 0 0 1 0 -300 cm /Fm0 Do Q\n";
    if (n == 4) content += "/Artifact BMC BT /F1 12 Tf 72 72 Td (page 4) Tj ET EMC\n";
    auto page = doc.add("<< /Type /Page /MediaBox [0 0 612 792] >>");
    page.replaceKey("/Contents", Handle::newStream(&doc.pdf, content));
    auto resources = Handle::parse("<< /Font << >> /XObject << >> >>");
    resources.getKey("/Font").replaceKey("/F1", font);
    if (n == 2) resources.getKey("/XObject").replaceKey("/Fm0", form);
    page.replaceKey("/Resources", resources);
    if (n <= 3) page.replaceKey("/StructParents", Handle::newInteger(n - 1));
    doc.pdf.addPage(page, false);
    doc.pages.push_back(page);
  }
  auto link = doc.link("/Dest [%3 /Fit] /StructParent 4");
  doc.page(1).replaceKey("/Annots", Handle::newArray({link}));

  Builder b{doc};
  auto h1 = b.element("/H1", "/Pg %1 /T (Title) /ID (h1) /Lang (en-GB)", {mcid(0)});
  auto para =
      b.element("/P", "/C /body /A << /O /Layout /SpaceAfter 6 >>", {b.mcr(1, 1), b.mcr(2, 0)});
  auto list = b.element("/L", "/Pg %1",
                        {b.element("/LI", "", {b.element("/LBody", "", {mcid(2)})}),
                         b.element("/LI", "", {b.element("/LBody", "", {mcid(3)})})});
  auto figure = b.element("/Figure", "/Pg %1 /Alt (A red box) /ActualText (box)", {mcid(4)});
  auto objr = doc.add("<< /Type /OBJR /Obj " + link.unparse() + " >>");
  auto link_element = b.element("/Link", "/Pg %1", {mcid(5), objr});
  auto table = b.element(
      "/Table", "/ID (tbl)",
      {b.element("/TR", "", {b.element("/TD", "/Pg %2", {mcid(1)})}),
       b.element("/TR", "", {b.element("/TD", "/Pg %2", {mcid(2)}), b.element("/TD", "", {})}),
       b.element("/TR", "", {b.element("/TD", "/Pg %3", {mcid(0)})})});
  auto in_form =
      b.element("/Span", "/E (form)",
                {Handle::parse(&doc.pdf, "<< /Type /MCR /Pg " + doc.page(2).unparse() +
                                             " /MCID 0 /Stm " + form.unparse() + " >>")});
  auto h2 = b.element("/H2", "/Pg %2", {mcid(3)});
  auto h3 = b.element("/H3", "/Pg %3 /ID (h3)", {mcid(1)});
  auto mapped = b.element("/Heading", "/Pg %3", {mcid(2)});
  auto empty_figure = b.element("/Figure", "/Pg %3 /Alt (Drawn elsewhere)", {});
  // A note on page 2 refers to the heading there and to the title on page 1.
  in_form.replaceKey("/Ref", Handle::newArray({h2, h1}));
  auto document = b.element(
      "/Document", "",
      {h1, para, list, figure, link_element, table, in_form, h2, h3, mapped, empty_figure});
  auto root = doc.add(
      "<< /Type /StructTreeRoot /RoleMap << /Heading /H1 >> "
      "/ClassMap << /body << /O /Layout /TextAlign /Justify >> >> >>");
  root.replaceKey("/K", Handle::newArray({document}));
  document.replaceKey("/P", root);
  // The source's parent tree, as its writer would make it.
  auto nums = Handle::newArray();
  auto array = [](std::vector<Handle> items) { return Handle::newArray(items); };
  for (auto [key, value] : std::vector<std::pair<int, Handle>>{
           {0, array({h1, para, list.getKey("/K").getArrayItem(0).getKey("/K").getArrayItem(0),
                      list.getKey("/K").getArrayItem(1).getKey("/K").getArrayItem(0), figure,
                      link_element})},
           {1, array({para, table.getKey("/K").getArrayItem(0).getKey("/K").getArrayItem(0),
                      table.getKey("/K").getArrayItem(1).getKey("/K").getArrayItem(0), h2})},
           {2,
            array({table.getKey("/K").getArrayItem(2).getKey("/K").getArrayItem(0), h3, mapped})},
           {3, array({in_form})},
           {4, link_element}}) {
    nums.appendItem(Handle::newInteger(key));
    nums.appendItem(value);
  }
  root.replaceKey("/ParentTree", Handle::newDictionary({{"/Nums", nums}}));
  root.replaceKey("/ParentTreeNextKey", Handle::newInteger(5));
  root.replaceKey(
      "/IDTree",
      Handle::newDictionary(
          {{"/Names", Handle::newArray({Handle::newString("h1"), h1, Handle::newString("h3"), h3,
                                        Handle::newString("tbl"), table})}}));
  Handle catalog = doc.pdf.getRoot();
  catalog.replaceKey("/StructTreeRoot", root);
  catalog.replaceKey("/MarkInfo", Handle::parse("<< /Marked true >>"));
  catalog.replaceKey("/Lang", Handle::newString("en"));
  add_outlines(doc);
  doc.write(path);
}

void add_outlines(Doc& doc) {
  Handle catalog = doc.pdf.getRoot();
  auto outlines = doc.add("<< /Type /Outlines >>");
  // title, dictionary rest with %n for pages, kids, open
  struct Spec {
    std::string title, rest;
    std::vector<Spec> kids;
    bool open = true;
  };
  const std::vector<Spec> top = {
      {"1 Intro",
       "/Dest [%1 /XYZ 0 792 0]",
       {{"1.1 Lists", "/Dest /lists", {}}, {"1.2 Figure", "/A << /S /GoTo /D [%1 /Fit] >>", {}}}},
      {"2 Results",
       "/Dest [%2 /Fit]",
       {{"2.1 Table",
         "/Dest [%2 /FitH 600]",
         {{"2.1.1 End of table", "/Dest [%3 /XYZ 72 400 null]", {}}}},
        {"2.2 Web",
         "/A << /S /URI /URI (https://example.org/) >>",
         {{"2.2.1 Note", "/A << /S /GoTo /D (note) >>", {}}}}},
       false},
      {"3 Last", "/Dest [%3 /Fit] /C [1 0 0] /F 2", {}},
      {"Web only", "/A << /S /URI /URI (https://example.org/only) >>", {}},
  };
  std::function<std::pair<Handle, int>(const std::vector<Spec>&, Handle)> level =
      [&](const std::vector<Spec>& specs, Handle parent) {
        Handle first, prev;
        int shown = 0;
        for (auto& spec : specs) {
          std::string rest = spec.rest;
          for (int n = 1; n <= 4; ++n)
            for (std::size_t at; (at = rest.find("%" + std::to_string(n))) != std::string::npos;)
              rest.replace(at, 2, doc.page(n).unparse());
          Handle item = doc.add("<< " + rest + " >>");
          item.replaceKey("/Title", Handle::newUnicodeString(spec.title));
          item.replaceKey("/Parent", parent);
          if (prev.isInitialized()) {
            prev.replaceKey("/Next", item);
            item.replaceKey("/Prev", prev);
          } else {
            first = item;
          }
          ++shown;
          if (!spec.kids.empty()) {
            auto [kid, count] = level(spec.kids, item);
            item.replaceKey("/Count", Handle::newInteger(spec.open ? count : -count));
            if (spec.open) shown += count;
          }
          prev = item;
        }
        parent.replaceKey("/First", first);
        parent.replaceKey("/Last", prev);
        return std::make_pair(first, shown);
      };
  auto [first, count] = level(top, outlines);
  outlines.replaceKey("/Count", Handle::newInteger(count));
  catalog.replaceKey("/Outlines", outlines);
  catalog.replaceKey("/PageMode", Handle::newName("/UseOutlines"));
  catalog.replaceKey(
      "/Dests", Handle::parse(&doc.pdf, "<< /lists [" + doc.page(1).unparse() + " /FitH 500] >>"));
  catalog.replaceKey(
      "/Names", Handle::parse(&doc.pdf, "<< /Dests << /Names [(note) [" + doc.page(2).unparse() +
                                            " /XYZ 1 2 3]] >> >>"));
}

}  // namespace splitter_test
