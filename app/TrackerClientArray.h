#pragma once

#include <memory>

#include "channel/TrackerClient.h"

// The viewer's tracker clients, one per instrument slot; element j serves
// instrument j once the configuration report has numbered it.
class TrackerClientArray {
public:
    // Null when the clients cannot be allocated.
    static TrackerClientArray* Create(int count);

    int Count() const { return count; }
    TrackerClient& operator[](int index) { return clients[index]; }

private:
    TrackerClientArray(std::unique_ptr<TrackerClient[]> clients, int count);

    std::unique_ptr<TrackerClient[]> clients;
    int count;
};
