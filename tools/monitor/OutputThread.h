#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Work that writes (a recording's file, a terminal) on a thread of its own,
// so that the loop that reads the channels never waits for a slow disk, pipe
// or terminal. The work runs once per period, at once when woken, and once
// more as the thread stops.
class OutputThread {
public:
    // `work` returns false when it failed; it is not run again then.
    OutputThread(std::chrono::milliseconds period, std::function<bool()> work);
    ~OutputThread() { Stop(); }
    OutputThread(const OutputThread&) = delete;
    OutputThread& operator=(const OutputThread&) = delete;

    void Wake();
    bool Failed() const { return failed; }
    // Runs the work a last time and waits for it; false when it ever failed.
    bool Stop();

private:
    void Run();
    bool WaitForTurn();

    const std::chrono::milliseconds period;
    const std::function<bool()> work;
    std::mutex guard;
    std::condition_variable turn;
    bool woken = false;
    bool stopping = false;
    std::atomic<bool> failed{false};
    std::thread thread;  // last: it starts once the members it uses exist
};
