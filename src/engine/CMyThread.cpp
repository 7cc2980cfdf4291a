#include "engine/CMyThread.h"

namespace fb {

CMyThread::~CMyThread()
{
    requestStop();
    join();
}

void CMyThread::start()
{
    if (thread_.joinable()) return;
    // The stop flag is cleared here, not in the thread, so a stop requested
    // right after start is never lost.
    stop_.store(0);
    thread_ = std::thread([this] { run(); });
}

void CMyThread::join()
{
    if (thread_.joinable()) thread_.join();
}

void CMyThread::run()
{
    if (!presser_) {
        exitCode_.store(-1);
        return;
    }
    while (!stop_.load()) {
        presser_->pressRetryOnServerBusy();
        // Sleep in small steps so closing never waits a whole poll.
        for (int i = 0; i < 10 && !stop_.load(); ++i)
            std::this_thread::sleep_for(pollInterval() / 10);
    }
    exitCode_.store(1);
}

} // namespace fb
