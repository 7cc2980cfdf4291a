#include "testkit/SamplePdf.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <functional>
#include <map>

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

// Named destinations are called "p<page>", kept in both tables when asked for.
struct NamedDests {
    std::map<std::string, OH> tree;
    std::map<std::string, OH> old;
};

OH sampleDest(const std::vector<OH>& pages, int page1Based, SampleDest kind, NamedDests& named)
{
    std::string name = "p" + std::to_string(page1Based);
    switch (kind) {
    case SampleDest::NameTree: named.tree[name] = fitDest(pages, page1Based); return OH::newString(name);
    case SampleDest::OldDests:
        named.old["/" + name] = fitDest(pages, page1Based);
        return OH::newName("/" + name);
    case SampleDest::Explicit: break;
    }
    return fitDest(pages, page1Based);
}

// Builds the items of one outline level under parent; returns the number of items below parent.
int buildOutlineLevel(QPDF& pdf, OH parent, const std::vector<SampleOutlineItem>& items,
                      const std::vector<OH>& pages, NamedDests& named)
{
    int total = 0;
    OH previous;
    for (const auto& item : items) {
        OH node = pdf.makeIndirectObject(OH::newDictionary());
        node.replaceKey("/Title", OH::newUnicodeString(item.title));
        node.replaceKey("/Parent", parent);
        if (item.styled) {
            node.replaceKey("/C", OH::parse("[1 0 0]"));
            node.replaceKey("/F", OH::newInteger(3));
        }
        if (!item.uri.empty()) {
            OH action = OH::parse("<< /S /URI >>");
            action.replaceKey("/URI", OH::newString(item.uri));
            node.replaceKey("/A", action);
        } else if (item.page > 0) {
            node.replaceKey("/Dest", sampleDest(pages, item.page, item.dest, named));
        }
        if (previous.isInitialized()) {
            previous.replaceKey("/Next", node);
            node.replaceKey("/Prev", previous);
        } else {
            parent.replaceKey("/First", node);
        }
        parent.replaceKey("/Last", node);
        int below = buildOutlineLevel(pdf, node, item.kids, pages, named);
        if (below > 0) node.replaceKey("/Count", OH::newInteger(item.closed ? -below : below));
        total += 1 + (item.closed ? 0 : below);
        previous = node;
    }
    return total;
}

// << /Font << name font >> >>
OH fontResources(const char* name, OH font)
{
    OH fonts = OH::newDictionary();
    fonts.replaceKey(name, font);
    OH resources = OH::newDictionary();
    resources.replaceKey("/Font", fonts);
    return resources;
}

void addTextPages(QPDF& pdf, const SamplePdfOptions& options, OH font)
{
    QPDFPageDocumentHelper pageHelper(pdf);
    for (int k = 1; k <= options.pages; ++k) {
        std::string text = options.name + " p" + std::to_string(k);
        std::string content = "BT /F1 24 Tf 72 700 Td " + pdfLiteral(text) + " Tj ET\n";
        OH page = OH::parse("<< /Type /Page /MediaBox [0 0 612 792] >>");
        page.replaceKey("/Resources", fontResources("/F1", font));
        page.replaceKey("/Contents", OH::newStream(&pdf, content));
        pageHelper.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    }
}

// A link to the last page and a filled text field on the first.
void addLinkAndForm(QPDF& pdf, std::vector<OH>& pages, int pageCount, OH font)
{
    OH first = pages.front();
    OH annots = OH::newArray();

    OH link = pdf.makeIndirectObject(
        OH::parse("<< /Type /Annot /Subtype /Link /Rect [72 600 300 640] /Border [0 0 0] >>"));
    link.replaceKey("/Dest", fitDest(pages, pageCount));
    annots.appendItem(link);

    OH appearance = OH::newStream(&pdf, "/Tx BMC BT /Helv 12 Tf 0 g 2 6 Td (hello) Tj ET EMC\n");
    OH apDict = appearance.getDict();
    apDict.replaceKey("/Type", OH::newName("/XObject"));
    apDict.replaceKey("/Subtype", OH::newName("/Form"));
    apDict.replaceKey("/BBox", OH::parse("[0 0 200 24]"));
    apDict.replaceKey("/Resources", fontResources("/Helv", font));

    OH field = pdf.makeIndirectObject(
        OH::parse("<< /Type /Annot /Subtype /Widget /FT /Tx /T (field1) /V (hello) /F 4 "
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
    acroForm.replaceKey("/DR", fontResources("/Helv", font));
    pdf.getRoot().replaceKey("/AcroForm", pdf.makeIndirectObject(acroForm));
}

void addLinks(QPDF& pdf, std::vector<OH>& pages, const SamplePdfOptions& options, NamedDests& named)
{
    for (const auto& l : options.links) {
        OH page = pages.at(static_cast<std::size_t>(std::clamp(l.from, 1, options.pages) - 1));
        OH link = pdf.makeIndirectObject(
            OH::parse("<< /Type /Annot /Subtype /Link /Rect [72 100 300 140] /Border [0 0 0] >>"));
        OH dest = sampleDest(pages, l.to, l.dest, named);
        if (l.action) {
            OH action = OH::parse("<< /S /GoTo >>");
            action.replaceKey("/D", dest);
            link.replaceKey("/A", action);
        } else {
            link.replaceKey("/Dest", dest);
        }
        if (!page.getKey("/Annots").isArray()) page.replaceKey("/Annots", OH::newArray());
        page.getKey("/Annots").appendItem(link);
    }
}

void addNamedDests(QPDF& pdf, NamedDests& named)
{
    if (!named.tree.empty()) {
        // Two leaves under one root, as larger writers split them.
        std::vector<std::pair<std::string, OH>> all(named.tree.begin(), named.tree.end());
        std::size_t half = (all.size() + 1) / 2;
        OH kids = OH::newArray();
        for (std::size_t from = 0; from < all.size(); from += half) {
            OH leaf = OH::newDictionary();
            OH names = OH::newArray();
            std::size_t to = std::min(all.size(), from + half);
            for (std::size_t i = from; i < to; ++i) {
                names.appendItem(OH::newString(all[i].first));
                names.appendItem(all[i].second);
            }
            leaf.replaceKey("/Names", names);
            OH limits = OH::newArray();
            limits.appendItem(OH::newString(all[from].first));
            limits.appendItem(OH::newString(all[to - 1].first));
            leaf.replaceKey("/Limits", limits);
            kids.appendItem(pdf.makeIndirectObject(leaf));
        }
        OH tree = OH::newDictionary();
        tree.replaceKey("/Kids", kids);
        OH namesDict = OH::newDictionary();
        namesDict.replaceKey("/Dests", pdf.makeIndirectObject(tree));
        pdf.getRoot().replaceKey("/Names", namesDict);
    }
    if (!named.old.empty()) {
        OH dests = OH::newDictionary();
        for (auto& [name, dest] : named.old)
            dests.replaceKey(name, dest);
        pdf.getRoot().replaceKey("/Dests", pdf.makeIndirectObject(dests));
    }
}

void addPageLabels(QPDF& pdf, const SamplePdfOptions& options)
{
    if (!options.labels.empty()) {
        OH nums = OH::newArray();
        for (const auto& l : options.labels) {
            OH label = OH::newDictionary();
            if (!l.style.empty()) label.replaceKey("/S", OH::newName("/" + l.style));
            if (!l.prefix.empty()) label.replaceKey("/P", OH::newString(l.prefix));
            if (l.start != 1) label.replaceKey("/St", OH::newInteger(l.start));
            nums.appendItem(OH::newInteger(l.first - 1));
            nums.appendItem(label);
        }
        OH labels = OH::newDictionary();
        labels.replaceKey("/Nums", nums);
        pdf.getRoot().replaceKey("/PageLabels", labels);
    }
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
        addTextPages(pdf, options, font);
        std::vector<OH> pages = pdf.getAllPages();
        NamedDests named;

        if (!options.outline.empty()) {
            OH outlines = pdf.makeIndirectObject(OH::parse("<< /Type /Outlines >>"));
            int count = buildOutlineLevel(pdf, outlines, options.outline, pages, named);
            outlines.replaceKey("/Count", OH::newInteger(count));
            pdf.getRoot().replaceKey("/Outlines", outlines);
            pdf.getRoot().replaceKey("/PageMode", OH::newName("/UseOutlines"));
        }

        if (options.withLinkAndForm) addLinkAndForm(pdf, pages, options.pages, font);
        addLinks(pdf, pages, options, named);
        addNamedDests(pdf, named);
        addPageLabels(pdf, options);

        QPDFWriter writer(pdf, path.c_str());
        writer.setStaticID(true);
        if (!options.version.empty()) writer.setMinimumPDFVersion(options.version);
        writer.write();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace fb
