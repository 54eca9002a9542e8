#include "app/TrackerClientArray.h"

#include <new>
#include <utility>

TrackerClientArray::TrackerClientArray(std::unique_ptr<TrackerClient[]> clientArray, int clientCount)
    : clients(std::move(clientArray)), count(clientCount) {}

TrackerClientArray* TrackerClientArray::Create(int count) {
    if (count < 1) return nullptr;
    std::unique_ptr<TrackerClient[]> clients(new (std::nothrow) TrackerClient[count]);
    if (!clients) return nullptr;
    return new (std::nothrow) TrackerClientArray(std::move(clients), count);
}
