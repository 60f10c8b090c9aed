#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace korvane {

class IUiDispatcher;

// The thread a follower runs on, apart from the steps it runs.
//
// Start() runs a std::thread that has the user-interface thread run one slice of steps at a
// time, through the dispatcher, while it waits, then sleeps as long as the slice asks (cut
// short by Terminate()). So the steps only ever run on the user-interface thread, one slice
// after the other. Pause() holds the thread before its next slice (a slice asked for before
// the pause runs nothing) until Resume(). Once a slice says the body has ended, the end
// function runs on the user-interface thread after the thread has been joined; it may destroy
// the runner's owner. Destroying the runner discards it: no slice and no end function runs
// any more, and the destructor never waits for the user-interface thread. Start (at most
// once), Pause, Resume, Terminate and the destructor are called on the user-interface thread.
class TVectorizerRunner {
public:
    // What a slice of steps left: the body has ended, or the thread sleeps SleepMs before it
    // asks for the next slice.
    struct TSlice {
        bool Ended = false;
        std::int32_t SleepMs = 0;
    };
    // Runs steps until the body ends, a step asks for a sleep, Deadline has passed or the
    // runner is paused.
    using TSliceFunction = std::function<TSlice(std::chrono::steady_clock::time_point Deadline)>;

    explicit TVectorizerRunner(TSliceFunction RunSlice);
    ~TVectorizerRunner();
    TVectorizerRunner(const TVectorizerRunner&) = delete;
    TVectorizerRunner& operator=(const TVectorizerRunner&) = delete;

    void Start(IUiDispatcher& Dispatcher, std::function<void()> OnEnd);
    void Pause();
    void Resume();
    void Terminate();
    bool Terminated() const { return FTerminated.load(); }
    bool Paused() const;
    bool Running() const { return FThread.joinable(); }

    // Runs slices on the calling thread until the body ends, sleeping between them as they
    // ask; no thread, no dispatcher.
    void RunSynchronously();

private:
    struct TControl;

    void ThreadMain();

    TSliceFunction FRunSlice;
    std::atomic<bool> FTerminated{false};
    std::shared_ptr<TControl> FControl;
    IUiDispatcher* FDispatcher = nullptr;
    std::function<void()> FOnEnd;
    std::thread FThread;
};

} // namespace korvane
