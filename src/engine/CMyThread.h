#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace fb {

// Presses Retry on the automation server's "Server Busy" prompt, if one is up.
class BusyPromptPresser {
public:
    virtual ~BusyPromptPresser() = default;
    virtual bool pressRetryOnServerBusy() = 0;
};

// The watcher: four times a second it answers a busy prompt, so an unattended
// run never waits for a person.
class CMyThread {
public:
    CMyThread();
    ~CMyThread(); // stops and joins
    CMyThread(const CMyThread&) = delete;
    CMyThread& operator=(const CMyThread&) = delete;

    // Set before start(); without it the thread ends at once with -1.
    void setMainWindow(BusyPromptPresser* presser) { presser_ = presser; }
    void start();
    void requestStop() { stop_.store(1); }
    void join();
    int exitCode() const { return exitCode_.load(); } // -1 no main window, 1 normal, 0 not ended
    std::chrono::milliseconds pollInterval() const { return std::chrono::milliseconds(250); }

private:
    void run();

    BusyPromptPresser* presser_ = nullptr;
    std::atomic<std::uint8_t> stop_{0};
    std::atomic<int> exitCode_{0};
    std::thread thread_;
};

} // namespace fb
