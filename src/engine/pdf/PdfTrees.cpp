#include "engine/pdf/PdfTrees.h"

#include <set>

namespace fb::pdf {

namespace {

using OH = QPDFObjectHandle;

constexpr std::size_t kMaxTreeNodes = 100000;

struct TreeWalk {
    const std::string& pairsKey;
    const std::function<void(OH, OH)>& visit;
    std::set<QPDFObjGen> seen;
    std::size_t budget = kMaxTreeNodes;

    void node(OH at, int depth)
    {
        if (!at.isDictionary() || depth > kMaxTreeDepth || budget == 0) return;
        if (at.isIndirect() && !seen.insert(at.getObjGen()).second) return;
        --budget;
        OH pairs = at.getKey(pairsKey);
        if (pairs.isArray()) {
            int n = pairs.getArrayNItems();
            for (int i = 0; i + 1 < n; i += 2)
                visit(pairs.getArrayItem(i), pairs.getArrayItem(i + 1));
        }
        OH kids = at.getKey("/Kids");
        if (kids.isArray()) {
            int n = kids.getArrayNItems();
            for (int i = 0; i < n && budget > 0; ++i)
                node(kids.getArrayItem(i), depth + 1);
        }
    }
};

} // namespace

void forEachTreePair(OH root, const std::string& pairsKey, const std::function<void(OH key, OH value)>& visit)
{
    TreeWalk walk{pairsKey, visit, {}};
    walk.node(root, 0);
}

} // namespace fb::pdf
