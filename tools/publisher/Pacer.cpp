#include "tools/publisher/Pacer.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/Signals.h"

namespace {

// Sleeps are cut into slices this long, so a signal or the time limit ends a
// long wait promptly.
constexpr double slice = 0.05;

}  // namespace

Pacer::Pacer(double duration) : start(Clock::now()), duration(duration) {}

double Pacer::Elapsed() const { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool Pacer::Stopped() const { return platform::StopRequested() || (duration > 0.0 && Elapsed() >= duration); }

bool Pacer::WaitUntil(double seconds) const {
    for (;;) {
        if (Stopped()) return false;
        double remaining = seconds - Elapsed();
        if (remaining <= 0.0) return true;
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(remaining, slice)));
    }
}

double Pacer::RoundAfter(double due, double period, double elapsed) {
    if (period <= 0.0) return elapsed;
    double next = due + period;
    return next >= elapsed ? next : next + period * std::ceil((elapsed - next) / period);
}
