#include "whole_doc.h"

#include <qpdf/QPDFWriter.hh>

namespace splitter_test {

namespace fs = std::filesystem;

extern const char kXmp[] =
    "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
    "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'/></x:xmpmeta>\n"
    "<?xpacket end='w'?>";

QPDFObjectHandle Doc::add(const std::string& text) {
  return pdf.makeIndirectObject(QPDFObjectHandle::parse(&pdf, text));
}

QPDFObjectHandle Doc::link(std::string target, bool direct) {
  for (int n = 1; n <= 3; ++n)
    for (std::size_t at; (at = target.find("%" + std::to_string(n))) != std::string::npos;)
      target.replace(at, 2, page(n).unparse());
  auto annot = QPDFObjectHandle::parse(
      &pdf, "<< /Type /Annot /Subtype /Link /Rect [0 0 10 10] " + target + " >>");
  return direct ? annot : pdf.makeIndirectObject(annot);
}

void Doc::write(const fs::path& path) {
  QPDFWriter writer(pdf, path.string().c_str());
  writer.setStaticID(true);
  writer.write();
}

void make_pages(Doc& doc) {
  doc.pdf.emptyPDF();
  auto font = doc.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  auto shown = doc.add("<< /Type /OCG /Name (Shown note) >>");
  auto hidden = doc.add("<< /Type /OCG /Name (Hidden note) >>");
  for (int n = 1; n <= 3; ++n) {
    std::string text = "BT /F1 24 Tf 72 720 Td (Page " + std::to_string(n) + ") Tj ET\n";
    if (n == 1)
      text +=
          "/OC /on BDC 0 1 0 rg 100 100 100 100 re f EMC /OC /off BDC 1 0 0 rg 300 300 100 "
          "100 re f EMC\n";
    auto page = doc.add("<< /Type /Page /MediaBox [0 0 612 792] >>");
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&doc.pdf, text));
    auto resources = QPDFObjectHandle::parse("<< /Font << >> /Properties << >> >>");
    resources.getKey("/Font").replaceKey("/F1", font);
    if (n == 1) {
      resources.getKey("/Properties").replaceKey("/on", shown);
      resources.getKey("/Properties").replaceKey("/off", hidden);
    }
    page.replaceKey("/Resources", resources);
    doc.pdf.addPage(page, false);
    doc.pages.push_back(page);
  }
  auto oc = QPDFObjectHandle::parse(
      "<< /D << /Name (Default) /BaseState /ON >> /Configs [<< /Name (All) >>] >>");
  oc.replaceKey("/OCGs", QPDFObjectHandle::newArray({shown, hidden}));
  oc.getKey("/D").replaceKey("/OFF", QPDFObjectHandle::newArray({hidden}));
  oc.getKey("/D").replaceKey("/Order", QPDFObjectHandle::newArray({shown, hidden}));
  doc.pdf.getRoot().replaceKey("/OCProperties", doc.add(oc.unparse()));
}

void make_whole(const fs::path& path) {
  Doc doc;
  make_pages(doc);
  QPDFObjectHandle root = doc.pdf.getRoot();
  root.replaceKey("/Lang", QPDFObjectHandle::newString("de-CH"));
  auto xmp = QPDFObjectHandle::newStream(&doc.pdf, kXmp);
  xmp.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
  xmp.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
  root.replaceKey("/Metadata", xmp);
  auto icc = QPDFObjectHandle::newStream(&doc.pdf, std::string(300, 'c'));
  icc.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(3));
  auto intent = QPDFObjectHandle::parse(
      "<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB) >>");
  intent.replaceKey("/DestOutputProfile", icc);
  root.replaceKey("/OutputIntents", QPDFObjectHandle::newArray({intent}));
  root.replaceKey("/ViewerPreferences", QPDFObjectHandle::parse("<< /DisplayDocTitle true >>"));
  root.replaceKey("/Dests", QPDFObjectHandle::parse(&doc.pdf, "<< /chap [" + doc.page(3).unparse() +
                                                                  " /XYZ null null 0] >>"));
  auto leaf1 =
      doc.add("<< /Limits [(a) (m)] /Names [(intro) [" + doc.page(1).unparse() + " /FitH 700]] >>");
  auto leaf2 = doc.add("<< /Names [(sec.2) << /D [" + doc.page(2).unparse() + " /FitB] >>] >>");
  root.replaceKey("/Names",
                  QPDFObjectHandle::newDictionary(
                      {{"/Dests", QPDFObjectHandle::newDictionary(
                                      {{"/Kids", QPDFObjectHandle::newArray({leaf1, leaf2})}})}}));
  doc.page(1).replaceKey("/Annots",
                         QPDFObjectHandle::newArray({
                             doc.link("/Dest [%1 /XYZ 10 20 1.5]"),
                             doc.link("/Dest [%3 /Fit]"),
                             doc.link("/A << /S /GoTo /D (sec.2) >>"),
                             doc.link("/Dest /chap"),
                             doc.link("/A << /S /GoTo /D (intro) /Next << /S /URI /URI (x:) >> >>"),
                             doc.link("/A << /S /URI /URI (https://example.org/) >>"),
                             doc.link("/Dest (nowhere)"),
                             doc.link("/A << /S /GoToR /F (other.pdf) /D [0 /Fit] >>"),
                             doc.link("/Dest [1 /FitV 30]"),
                         }));
  // Direct annotations, in the page's own array and in an array of its own.
  doc.page(2).replaceKey("/Annots",
                         QPDFObjectHandle::newArray({doc.link("/Dest [%1 /Fit]", true)}));
  doc.page(3).replaceKey("/Annots", doc.pdf.makeIndirectObject(QPDFObjectHandle::newArray(
                                        {doc.link("/Dest [%3 /FitR 1 2 3 4]", true)})));
  doc.write(path);
}

}  // namespace splitter_test
