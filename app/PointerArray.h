#pragma once

// A list of non-owning object pointers that grows by one slot per Append.
class PointerArray {
public:
    PointerArray() = default;
    PointerArray(const PointerArray&) = delete;
    PointerArray& operator=(const PointerArray&) = delete;
    virtual ~PointerArray();

    virtual void Release();
    virtual void** Allocate(int n);
    virtual void CopyFrom(void* const* values, int n);

    void Resize(int n);
    void Append(void* pointer);
    // Null outside 0..count-1.
    void* At(int i) const;

    int count = 0;
    void** items = nullptr;
};
