#include "common/SamplePdf.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <functional>

namespace fb {

namespace {

using OH = QPDFObjectHandle;

std::string pdfLiteral(const std::string& text)
{
    std::string out = "(";
    for (char c : text) {
        if (c == '(' || c == ')' || c == '\\') out += '\\';
        out += c;
    }
    return out + ")";
}

OH fitDest(const std::vector<OH>& pages, int page1Based)
{
    OH dest = OH::newArray();
    int index = page1Based - 1;
    if (index < 0 || index >= static_cast<int>(pages.size())) index = 0;
    dest.appendItem(pages.at(static_cast<std::size_t>(index)));
    dest.appendItem(OH::newName("/Fit"));
    return dest;
}

// Builds the items of one outline level under parent; returns the number of items below parent.
int buildOutlineLevel(QPDF& pdf, OH parent, const std::vector<SampleOutlineItem>& items,
                      const std::vector<OH>& pages)
{
    int total = 0;
    OH previous;
    for (const auto& item : items) {
        OH node = pdf.makeIndirectObject(OH::newDictionary());
        node.replaceKey("/Title", OH::newUnicodeString(item.title));
        node.replaceKey("/Parent", parent);
        node.replaceKey("/Dest", fitDest(pages, item.page));
        if (previous.isInitialized()) {
            previous.replaceKey("/Next", node);
            node.replaceKey("/Prev", previous);
        } else {
            parent.replaceKey("/First", node);
        }
        parent.replaceKey("/Last", node);
        int below = buildOutlineLevel(pdf, node, item.kids, pages);
        if (below > 0) node.replaceKey("/Count", OH::newInteger(below));
        total += 1 + below;
        previous = node;
    }
    return total;
}

} // namespace

bool makeSamplePdf(const std::string& path, const SamplePdfOptions& options)
{
    if (options.pages < 1 || path.empty()) return false;
    try {
        QPDF pdf;
        pdf.emptyPDF();
        OH font = pdf.makeIndirectObject(
            OH::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
        QPDFPageDocumentHelper pageHelper(pdf);
        for (int k = 1; k <= options.pages; ++k) {
            std::string text = options.name + " p" + std::to_string(k);
            std::string content = "BT /F1 24 Tf 72 700 Td " + pdfLiteral(text) + " Tj ET\n";
            OH page = OH::parse("<< /Type /Page /MediaBox [0 0 612 792] >>");
            OH resources = OH::newDictionary();
            OH fonts = OH::newDictionary();
            fonts.replaceKey("/F1", font);
            resources.replaceKey("/Font", fonts);
            page.replaceKey("/Resources", resources);
            page.replaceKey("/Contents", OH::newStream(&pdf, content));
            pageHelper.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        }
        std::vector<OH> pages = pdf.getAllPages();

        if (!options.outline.empty()) {
            OH outlines = pdf.makeIndirectObject(OH::parse("<< /Type /Outlines >>"));
            int count = buildOutlineLevel(pdf, outlines, options.outline, pages);
            outlines.replaceKey("/Count", OH::newInteger(count));
            pdf.getRoot().replaceKey("/Outlines", outlines);
            pdf.getRoot().replaceKey("/PageMode", OH::newName("/UseOutlines"));
        }

        if (options.withLinkAndForm) {
            OH first = pages.front();
            OH annots = OH::newArray();

            OH link = pdf.makeIndirectObject(
                OH::parse("<< /Type /Annot /Subtype /Link /Rect [72 600 300 640] /Border [0 0 0] >>"));
            link.replaceKey("/Dest", fitDest(pages, options.pages));
            annots.appendItem(link);

            OH appearance = OH::newStream(&pdf, "/Tx BMC BT /Helv 12 Tf 0 g 2 6 Td (hello) Tj ET EMC\n");
            OH apDict = appearance.getDict();
            apDict.replaceKey("/Type", OH::newName("/XObject"));
            apDict.replaceKey("/Subtype", OH::newName("/Form"));
            apDict.replaceKey("/BBox", OH::parse("[0 0 200 24]"));
            OH apResources = OH::newDictionary();
            OH apFonts = OH::newDictionary();
            apFonts.replaceKey("/Helv", font);
            apResources.replaceKey("/Font", apFonts);
            apDict.replaceKey("/Resources", apResources);

            OH field = pdf.makeIndirectObject(OH::parse(
                "<< /Type /Annot /Subtype /Widget /FT /Tx /T (field1) /V (hello) /F 4 "
                "/Rect [72 500 272 524] /DA (/Helv 12 Tf 0 g) >>"));
            field.replaceKey("/P", first);
            OH ap = OH::newDictionary();
            ap.replaceKey("/N", appearance);
            field.replaceKey("/AP", ap);
            annots.appendItem(field);
            first.replaceKey("/Annots", annots);

            OH acroForm = OH::newDictionary();
            OH fields = OH::newArray();
            fields.appendItem(field);
            acroForm.replaceKey("/Fields", fields);
            acroForm.replaceKey("/DA", OH::newString("/Helv 12 Tf 0 g"));
            OH dr = OH::newDictionary();
            OH drFonts = OH::newDictionary();
            drFonts.replaceKey("/Helv", font);
            dr.replaceKey("/Font", drFonts);
            acroForm.replaceKey("/DR", dr);
            pdf.getRoot().replaceKey("/AcroForm", pdf.makeIndirectObject(acroForm));
        }

        QPDFWriter writer(pdf, path.c_str());
        writer.setStaticID(true);
        writer.write();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace fb
