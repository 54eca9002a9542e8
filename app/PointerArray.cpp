#include "app/PointerArray.h"

#include <new>

PointerArray::~PointerArray() {
    delete[] items;
    count = 0;
}

void PointerArray::Release() {
    delete[] items;
    items = nullptr;
    count = 0;
}

void** PointerArray::Allocate(int n) {
    if (n <= 0) return nullptr;
    void** slots = new (std::nothrow) void*[n];
    if (!slots) return nullptr;
    count = n;
    items = slots;
    return slots;
}

void PointerArray::CopyFrom(void* const* values, int n) {
    if (n == 0) return;
    if (n - 1 < 0 || n - 1 >= count) n = count;
    for (int i = 0; i < n; ++i) items[i] = values ? values[i] : nullptr;
}

void PointerArray::Resize(int n) {
    void** oldItems = items;
    int oldCount = count;
    if (Allocate(n)) {
        CopyFrom(oldItems, oldCount);
    } else {
        items = nullptr;
        count = 0;
    }
    delete[] oldItems;
}

void PointerArray::Append(void* pointer) {
    Resize(count + 1);
    if (items) items[count - 1] = pointer;
}

void* PointerArray::At(int i) const {
    static void* const outside = nullptr;
    return i >= 0 && i < count ? items[i] : outside;
}
