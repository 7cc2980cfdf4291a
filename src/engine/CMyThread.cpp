#include "engine/CMyThread.h"

#include "common/Trace.h"

#include <sys/resource.h>
#include <unistd.h>

namespace fb {

CMyThread::CMyThread() = default;

CMyThread::~CMyThread()
{
    requestStop();
    join();
}

void CMyThread::start()
{
    if (thread_.joinable()) return;
    // The stop flag is cleared here, before the thread exists, so a stop
    // requested right after start is never lost (the join would wait forever).
    stop_.store(0);
    exitCode_.store(0);
    thread_ = std::thread([this] { run(); });
}

void CMyThread::join()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void CMyThread::run()
{
    if (!presser_) {
        exitCode_.store(-1);
        return;
    }
    // Below normal priority: the watcher must never compete with the run itself.
    // Failing to lower it is harmless.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 1);
    constexpr int kSteps = 10;
    const auto step = pollInterval() / kSteps;
    while (!stop_.load()) {
        try {
            presser_->pressRetryOnServerBusy();
        } catch (const std::exception& e) {
            // A prompt that vanished mid-press is no reason to end the watcher.
            trace(std::string("watcher: ") + e.what());
        }
        // One poll's sleep in short steps, so a close never waits the whole poll.
        for (int i = 0; i < kSteps && !stop_.load(); ++i)
            std::this_thread::sleep_for(step);
    }
    exitCode_.store(1);
}

} // namespace fb
