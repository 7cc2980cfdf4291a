#include "engine/pdf/PageTreeAppender.h"

#include "engine/pdf/PdfTrees.h"

#include <stdexcept>

namespace fb::pdf {

using OH = QPDFObjectHandle;

namespace {

bool isPagesNode(OH node)
{
    return node.isDictionary() && node.isIndirect() && node.getKey("/Kids").isArray() &&
           !(node.getKey("/Type").isName() && node.getKey("/Type").getName() == "/Page");
}

long countOf(OH node)
{
    OH c = node.getKey("/Count");
    return c.isInteger() ? static_cast<long>(c.getIntValue()) : 0;
}

void addToCount(OH node, long delta)
{
    node.replaceKey("/Count", OH::newInteger(countOf(node) + delta));
}

} // namespace

OH PageTreeAppender::root() const
{
    OH pages = pdf_.getRoot().getKey("/Pages");
    if (!isPagesNode(pages)) throw std::runtime_error("no page tree");
    return pages;
}

long PageTreeAppender::count() const
{
    return countOf(root());
}

OH PageTreeAppender::newNode(OH parent)
{
    OH node = pdf_.makeIndirectObject(OH::parse("<< /Type /Pages /Kids [] /Count 0 >>"));
    node.replaceKey("/Parent", parent);
    return node;
}

void PageTreeAppender::append(OH page)
{
    OH top = root();
    std::vector<OH> edge{top};
    while (static_cast<int>(edge.size()) < kMaxTreeDepth) {
        OH kids = edge.back().getKey("/Kids");
        int n = kids.getArrayNItems();
        if (n == 0) break;
        OH last = kids.getArrayItem(n - 1);
        if (!isPagesNode(last)) break;
        edge.push_back(last);
    }

    // The deepest node on the edge with room for one more kid.
    int room = static_cast<int>(edge.size()) - 1;
    while (room >= 0 && edge[static_cast<std::size_t>(room)].getKey("/Kids").getArrayNItems() >= kMaxKids)
        --room;
    if (room < 0) {
        // The root is full: its kids move one level down, into a new node.
        OH moved = newNode(top);
        OH kids = top.getKey("/Kids");
        for (int i = 0; i < kids.getArrayNItems(); ++i) {
            OH kid = kids.getArrayItem(i);
            if (kid.isDictionary()) {
                kid.replaceKey("/Parent", moved);
                touched_.push_back(kid);
            }
        }
        moved.replaceKey("/Kids", kids);
        moved.replaceKey("/Count", OH::newInteger(countOf(top)));
        top.replaceKey("/Kids", OH::newArray({moved}));
        edge.insert(edge.begin() + 1, moved);
        touched_.push_back(moved);
        room = 0;
    }

    // A fresh chain from that node down to the depth of the edge's last node,
    // so the tree stays balanced on the right.
    OH parent = edge[static_cast<std::size_t>(room)];
    const std::size_t depth = edge.size() - 1;
    for (std::size_t level = static_cast<std::size_t>(room); level < depth; ++level) {
        OH node = newNode(parent);
        parent.getKey("/Kids").appendItem(node);
        addToCount(node, 1);
        touched_.push_back(node);
        parent = node;
    }
    page.replaceKey("/Parent", parent);
    parent.getKey("/Kids").appendItem(page);
    touched_.push_back(page);
    for (int i = 0; i <= room; ++i) {
        OH node = edge[static_cast<std::size_t>(i)];
        addToCount(node, 1);
        touched_.push_back(node);
        // A direct /Kids array changes with its node; an indirect one is its own object.
        if (node.getKey("/Kids").isIndirect()) touched_.push_back(node.getKey("/Kids"));
    }
}

OH PageTreeAppender::pageAt(long index) const
{
    if (index < 0) return OH();
    OH node = root();
    for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
        OH kids = node.getKey("/Kids");
        bool descended = false;
        for (int i = 0; i < kids.getArrayNItems(); ++i) {
            OH kid = kids.getArrayItem(i);
            if (isPagesNode(kid)) {
                long c = countOf(kid);
                if (index < c) {
                    node = kid;
                    descended = true;
                    break;
                }
                index -= c;
            } else if (kid.isDictionary()) {
                if (index == 0) return kid;
                --index;
            }
        }
        if (!descended) return OH();
    }
    return OH();
}

} // namespace fb::pdf
