#pragma once

#include <string>

#include <CLI/CLI.hpp>

// The number syntax of every option value that a tool reads itself: the
// number's digits and nothing else, so no space before or after, no empty
// text and no sign (but the '-' of a negative decimal fraction). CLI11 and
// strtol would take " 600" or "+3" as numbers.

// Decimal digits without a leading zero ("010" is refused, where strtol with
// base 0 reads octal eight), lowest..highest (lowest at least 0).
bool ParseDecimal(const std::string& text, long long lowest, long long highest, long long& value);
// Hexadecimal digits, with or without 0x in front, at most `highest`.
bool ParseHexadecimal(const std::string& text, unsigned long long highest, unsigned long long& value);
// Octal digits, at most `highest`.
bool ParseOctal(const std::string& text, unsigned long long highest, unsigned long long& value);
// A finite number such as -2, 0.125 or 1e-3.
bool ParseFiniteNumber(const std::string& text, double& value);
// A CLI11 check of a number of seconds, 0 or more, in that syntax.
CLI::Validator SecondsValidator();
// A CLI11 check of a number list (text/NumberList.h), whose message names the syntax (its
// description, "each 0..N", is what the help shows).
CLI::Validator NumberListValidator(int highest);
// A CLI11 check of every integer option: one plain decimal number
// lowest..highest (lowest at least 0), without sign or leading zero. "010" is
// refused, where CLI11 alone would read it as octal eight. The help shows its
// range.
CLI::Validator DecimalValidator(long long lowest, long long highest);
