#pragma once

#include <cstdint>
#include <string>

// The one list syntax of every tool's --bins, --stations, --instrument and
// --send: comma-separated decimal numbers and ranges N-M, e.g. "0,3",
// "0-15", "0-3,8".

// Reads the list into a mask (bit n: number n), each number 0..highest (at
// most 31). False, with `mask` unchanged, for anything else.
bool ParseNumberList(const std::string& text, int highest, uint32_t& mask);
// The mask as the shortest such list, e.g. "0-3,7"; "none" for 0.
std::string DescribeNumberList(uint32_t mask);
