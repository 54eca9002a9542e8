#include "tools/monitor/OutputThread.h"

OutputThread::OutputThread(std::chrono::milliseconds period, std::function<bool()> work)
    : period(period), work(std::move(work)), thread([this] { Run(); }) {}

void OutputThread::Wake() {
    {
        std::lock_guard<std::mutex> hold(guard);
        woken = true;
    }
    turn.notify_one();
}

bool OutputThread::Stop() {
    {
        std::lock_guard<std::mutex> hold(guard);
        stopping = true;
    }
    turn.notify_one();
    if (thread.joinable()) thread.join();
    return !failed;
}

// True while the thread is to go on after this turn.
bool OutputThread::WaitForTurn() {
    std::unique_lock<std::mutex> hold(guard);
    turn.wait_for(hold, period, [this] { return woken || stopping; });
    woken = false;
    return !stopping;
}

void OutputThread::Run() {
    for (bool going = true; going;) {
        going = WaitForTurn();
        if (!failed && !work()) failed = true;
    }
}
