#pragma once
#include "engine/Automation.h"

#include <memory>

namespace fb {

// An in-process page-work server built on qpdf. Every object it hands out
// belongs to that server; App::CloseAllDocs closes all of its open documents.
std::unique_ptr<AutomationServer> makeQpdfAutomationServer();

} // namespace fb
