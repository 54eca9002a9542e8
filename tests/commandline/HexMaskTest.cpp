#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint32_t untouched = 0xDEADBEEF;

uint32_t Parsed(const std::string& text) {
    uint32_t mask = untouched;
    EXPECT_TRUE(ParseHexMask(text.c_str(), &mask)) << '"' << text << '"';
    return mask;
}

TEST(ParseHexMaskTest, ReadsDigitsInEitherCaseUpToEndOrWhiteSpace) {
    EXPECT_EQ(Parsed("0"), 0u);
    EXPECT_EQ(Parsed("1F"), 0x1Fu);
    EXPECT_EQ(Parsed("abcDEF"), 0xABCDEFu);
    EXPECT_EQ(Parsed("00000000000000000000007"), 0x7u);
    EXPECT_EQ(Parsed("3 trailing words"), 0x3u);
    EXPECT_EQ(Parsed("5\t"), 0x5u);
    EXPECT_EQ(Parsed("C\n"), 0xCu);
}

TEST(ParseHexMaskTest, LongNumbersKeepTheirLowThirtyTwoBits) {
    EXPECT_EQ(Parsed("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(Parsed("1FFFFFFFE"), 0xFFFFFFFEu);
    EXPECT_EQ(Parsed("123456789ABCDEF0"), 0x9ABCDEF0u);
    EXPECT_EQ(Parsed(std::string(100000, 'f')), 0xFFFFFFFFu);
}

TEST(ParseHexMaskTest, RejectionsLeaveTheDestinationAlone) {
    for (const char* text : {"", " 1", "0x3", "12g", "G", "-1", "+1", "1.0", "1,2", "\xff"}) {
        uint32_t mask = untouched;
        EXPECT_FALSE(ParseHexMask(text, &mask)) << '"' << text << '"';
        EXPECT_EQ(mask, untouched) << '"' << text << '"';
    }
    uint32_t mask = untouched;
    EXPECT_FALSE(ParseHexMask(nullptr, &mask));
    EXPECT_EQ(mask, untouched);
    EXPECT_FALSE(ParseHexMask("1", nullptr));
}

}  // namespace
