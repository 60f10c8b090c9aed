#include "follower/UiDispatcher.h"

#include <QMetaObject>
#include <QObject>

namespace korvane {

void TQueuedDispatcher::Post(std::function<void()> Function) {
    {
        std::lock_guard Lock(FMutex);
        FQueue.push_back(std::move(Function));
    }
    FWake.notify_all();
}

std::size_t TQueuedDispatcher::ProcessPending() {
    std::deque<std::function<void()>> Batch;
    {
        std::lock_guard Lock(FMutex);
        Batch.swap(FQueue);
    }
    for (auto& Function : Batch)
        Function();
    return Batch.size();
}

std::size_t TQueuedDispatcher::WaitAndProcess(std::chrono::milliseconds Timeout) {
    {
        std::unique_lock Lock(FMutex);
        FWake.wait_for(Lock, Timeout, [this] { return !FQueue.empty(); });
    }
    return ProcessPending();
}

void TQtDispatcher::Post(std::function<void()> Function) {
    QMetaObject::invokeMethod(FContext, std::move(Function), Qt::QueuedConnection);
}

} // namespace korvane
