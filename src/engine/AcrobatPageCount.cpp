#include "engine/AcrobatPageCount.h"

#include "common/Trace.h"

namespace fb {

const char* const kConnectFailedMessage =
    "Failed to connect to full version of Acrobat 4 or greater\n\n"
    "Please either re-install Acrobat or run Acrobat to force this software to use what's running.\n\n"
    "NOTE: This software will not work with Acrobat Reader or Adobe Reader.";

namespace {

void warn(AcrobatContext& ctx, const std::string& text, const std::string& reason = {})
{
    ctx.messages.showWithReason(text, applicationName(), reason, MessageButtons::Ok, MessageIcon::Warning);
}

} // namespace

int acrobatPageCount(AcrobatContext& ctx, const std::string& path)
{
    // A server that throws is treated like one that cannot be reached or
    // cannot do the call: the probe reports no pages rather than failing its caller.
    std::shared_ptr<App> app;
    bool windowShown = false;
    std::string reason;
    try {
        if (!ctx.noConnectionWindow) {
            ctx.connection.show();
            windowShown = true;
        }
        app = ctx.server.createApp();
    } catch (const std::exception& e) {
        app.reset();
        reason = e.what();
    }
    if (windowShown) ctx.connection.hide();
    if (!app) {
        warn(ctx, kConnectFailedMessage, reason);
        return 0;
    }

    try {
        std::shared_ptr<AVDoc> avDoc = ctx.server.createAVDoc();
        if (!avDoc) {
            warn(ctx, "Failed to create AVDoc");
            return 0;
        }
        if (avDoc->Open(path, "") == 0) {
            if (!ctx.quietMode) warn(ctx, "Error Opening File : " + path, avDoc->lastFailure());
            app->CloseAllDocs();
            return 0;
        }
        int count = 0;
        std::shared_ptr<PDDoc> pdDoc = avDoc->GetPDDoc();
        ctx.pump.dispatchOnePending();
        if (pdDoc) {
            long n = pdDoc->GetNumPages();
            count = n < 0 ? 0 : (n > 0x7fffffffL ? 0x7fffffff : static_cast<int>(n));
        }
        ctx.pump.dispatchOnePending();
        if (avDoc->Close(1) != 0) {
            app->CloseAllDocs();
            app->Exit();
        } else {
            if (!ctx.quietMode) warn(ctx, "Failed to get Close doc");
            app->CloseAllDocs();
        }
        return count;
    } catch (const std::exception& e) {
        trace("page count of " + path + ": " + e.what());
        try {
            app->CloseAllDocs();
        } catch (const std::exception& again) {
            // The server is already failing; the count is 0 either way.
            trace(std::string("closing: ") + again.what());
        }
        return 0;
    }
}

} // namespace fb
