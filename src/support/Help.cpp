#include "support/Help.h"

namespace fb {

std::string helpTopicForContext(int context)
{
    switch (context) {
    case kMainWindowHelpContext: return "main-window";
    case kAppendParametersHelpContext: return "append-parameters";
    }
    return "contents";
}

} // namespace fb
