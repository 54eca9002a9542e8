#include "app/PointerArray.h"

#include <gtest/gtest.h>

namespace {

int a, b, c;

TEST(PointerArrayTest, AppendGrowsByOneAndKeepsTheOrder) {
    PointerArray array;
    array.Append(&a);
    EXPECT_EQ(array.count, 1);
    EXPECT_EQ(array.At(0), &a);
    array.Append(&b);
    array.Append(&c);
    ASSERT_EQ(array.count, 3);
    EXPECT_EQ(array.At(0), &a);
    EXPECT_EQ(array.At(1), &b);
    EXPECT_EQ(array.At(2), &c);
}

TEST(PointerArrayTest, ReadingOutsideTheRangeYieldsNull) {
    PointerArray array;
    EXPECT_EQ(array.At(0), nullptr);
    array.Append(&a);
    EXPECT_EQ(array.At(1), nullptr);
    EXPECT_EQ(array.At(-1), nullptr);
}

TEST(PointerArrayTest, AllocatingNothingChangesNothing) {
    PointerArray array;
    array.Append(&a);
    void** items = array.items;
    EXPECT_EQ(array.Allocate(0), nullptr);
    EXPECT_EQ(array.Allocate(-3), nullptr);
    EXPECT_EQ(array.count, 1);
    EXPECT_EQ(array.items, items);
    EXPECT_EQ(array.At(0), &a);
}

TEST(PointerArrayTest, CopyFromClampsToTheSlotsThereAre) {
    void* values[] = {&a, &b, &c};
    PointerArray array;
    ASSERT_NE(array.Allocate(2), nullptr);
    array.CopyFrom(values, 3);
    EXPECT_EQ(array.At(0), &a);
    EXPECT_EQ(array.At(1), &b);

    array.CopyFrom(values + 2, 1);
    EXPECT_EQ(array.At(0), &c);
    EXPECT_EQ(array.At(1), &b) << "only one slot copied";

    array.CopyFrom(nullptr, -5);
    EXPECT_EQ(array.At(0), nullptr);
    EXPECT_EQ(array.At(1), nullptr) << "an out-of-range count means every slot";

    array.items[0] = &a;
    array.CopyFrom(values, 0);
    EXPECT_EQ(array.At(0), &a) << "zero copies nothing";
}

TEST(PointerArrayTest, ShrinkingKeepsTheFirstPointersAndReleaseEmpties) {
    PointerArray array;
    array.Append(&a);
    array.Append(&b);
    array.Append(&c);
    array.Resize(2);
    ASSERT_EQ(array.count, 2);
    EXPECT_EQ(array.At(0), &a);
    EXPECT_EQ(array.At(1), &b);
    array.Release();
    EXPECT_EQ(array.count, 0);
    EXPECT_EQ(array.items, nullptr);
    array.Append(&c);
    EXPECT_EQ(array.At(0), &c);
}

}  // namespace
