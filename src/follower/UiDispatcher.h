#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class QObject;

namespace korvane {

// Hands work from a follower thread to the user-interface thread. Post may be called from
// any thread; the function runs later on the user-interface thread, in posting order.
class IUiDispatcher {
public:
    virtual ~IUiDispatcher() = default;
    virtual void Post(std::function<void()> Function) = 0;
};

// A dispatcher whose queue the owning thread pumps itself (the command-line tool, tests).
class TQueuedDispatcher : public IUiDispatcher {
public:
    void Post(std::function<void()> Function) override;

    // Runs every function queued now; returns how many ran. Call from the owning thread.
    std::size_t ProcessPending();
    // Waits up to Timeout for work, then runs what is queued; returns how many ran.
    std::size_t WaitAndProcess(std::chrono::milliseconds Timeout);

private:
    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FQueue;
};

// The program's dispatcher: functions run from the Qt event loop of Context's thread.
class TQtDispatcher : public IUiDispatcher {
public:
    explicit TQtDispatcher(QObject* Context) : FContext(Context) {}
    void Post(std::function<void()> Function) override;

private:
    QObject* FContext;
};

} // namespace korvane
