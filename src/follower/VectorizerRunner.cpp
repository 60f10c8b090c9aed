#include "follower/VectorizerRunner.h"

#include "follower/UiDispatcher.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace korvane {

// What the follower thread and the user-interface thread share. Work posted to the
// user-interface thread holds it by shared_ptr, so it outlives a discarded runner.
struct TVectorizerRunner::TControl {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Paused = false;
    bool Discarded = false;
};

namespace {

// Slices run for at most this long when Delay is 0, then the window gets its turn.
constexpr auto SliceLength = std::chrono::milliseconds(4);

} // namespace

TVectorizerRunner::TVectorizerRunner(TSliceFunction RunSlice)
    : FRunSlice(std::move(RunSlice)), FControl(std::make_shared<TControl>()) {}

TVectorizerRunner::~TVectorizerRunner() {
    {
        std::lock_guard Lock(FControl->Mutex);
        FControl->Discarded = true;
    }
    FControl->Changed.notify_all();
    // The follower thread waits for nothing else once Discarded is set, so this join
    // never waits for the user-interface thread.
    if (FThread.joinable())
        FThread.join();
}

void TVectorizerRunner::Start(IUiDispatcher& Dispatcher, std::function<void()> OnEnd) {
    FDispatcher = &Dispatcher;
    FOnEnd = std::move(OnEnd);
    FThread = std::thread([this] { ThreadMain(); });
}

void TVectorizerRunner::Pause() {
    std::lock_guard Lock(FControl->Mutex);
    FControl->Paused = true;
}

void TVectorizerRunner::Resume() {
    {
        std::lock_guard Lock(FControl->Mutex);
        FControl->Paused = false;
    }
    FControl->Changed.notify_all();
}

bool TVectorizerRunner::Paused() const {
    std::lock_guard Lock(FControl->Mutex);
    return FControl->Paused;
}

void TVectorizerRunner::Terminate() {
    {
        // Set under the lock: a follower thread between its look at the flag and its wait for
        // the Delay would otherwise miss the notification and sleep the Delay out.
        std::lock_guard Lock(FControl->Mutex);
        FTerminated = true;
    }
    FControl->Changed.notify_all(); // cut a Delay short
}

void TVectorizerRunner::RunSynchronously() {
    for (;;) {
        const TSlice Slice = FRunSlice(std::chrono::steady_clock::time_point::max());
        if (Slice.Ended)
            return;
        if (Slice.SleepMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(Slice.SleepMs));
    }
}

// Runs on the follower thread. It touches the follower only through slices run on the
// user-interface thread.
void TVectorizerRunner::ThreadMain() {
    const std::shared_ptr<TControl> Control = FControl;
    for (;;) {
        {
            std::unique_lock Lock(Control->Mutex);
            Control->Changed.wait(Lock, [&] { return !Control->Paused || Control->Discarded; });
            if (Control->Discarded)
                return;
        }
        // One slice on the user-interface thread, while this thread waits.
        auto Done = std::make_shared<bool>(false);
        auto Result = std::make_shared<TSlice>();
        FDispatcher->Post([this, Control, Done, Result] {
            {
                std::lock_guard Lock(Control->Mutex);
                if (Control->Discarded)
                    return;
                if (Control->Paused) {
                    // Paused after this slice was asked for: read nothing, report nothing.
                    *Done = true;
                    Control->Changed.notify_all();
                    return;
                }
            }
            const TSlice Slice = FRunSlice(std::chrono::steady_clock::now() + SliceLength);
            std::lock_guard Lock(Control->Mutex);
            *Result = Slice;
            *Done = true;
            Control->Changed.notify_all();
        });
        TSlice Slice;
        {
            std::unique_lock Lock(Control->Mutex);
            Control->Changed.wait(Lock, [&] { return *Done || Control->Discarded; });
            if (Control->Discarded)
                return;
            Slice = *Result;
        }
        if (Slice.Ended)
            break;
        if (Slice.SleepMs > 0) {
            std::unique_lock Lock(Control->Mutex);
            Control->Changed.wait_for(Lock, std::chrono::milliseconds(Slice.SleepMs),
                                      [&] { return Control->Discarded || FTerminated.load(); });
            if (Control->Discarded)
                return;
        }
    }
    // The end notification: on the user-interface thread, after the body has returned.
    FDispatcher->Post([this, Control] {
        {
            std::lock_guard Lock(Control->Mutex);
            if (Control->Discarded)
                return;
        }
        if (FThread.joinable())
            FThread.join();
        const std::function<void()> OnEnd = std::move(FOnEnd);
        if (OnEnd)
            OnEnd(); // may destroy the owner and this runner
    });
}

} // namespace korvane
