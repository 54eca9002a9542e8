#include "bench/BenchArguments.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The whole text is a finite number, whole when `whole`.
bool ReadNumber(const std::string& text, bool whole, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value) && (!whole || value == std::floor(value));
}

const char* const numberKinds[] = {"", "a whole number", "a number"};

std::string Range(const BenchOperand& operand) {
    char text[96];
    const char* kind = numberKinds[static_cast<int>(operand.kind)];
    if (std::isfinite(operand.most))
        std::snprintf(text, sizeof text, "%s from %g to %g", kind, operand.least, operand.most);
    else
        std::snprintf(text, sizeof text, "%s of at least %g", kind, operand.least);
    return text;
}

}  // namespace

BenchArguments::BenchArguments(std::string usage, std::vector<std::string> flags, std::vector<BenchOperand> operands,
                               bool lastRepeats)
    : usage(std::move(usage)), flags(std::move(flags)), expected(std::move(operands)), lastRepeats(lastRepeats) {}

int BenchArguments::Parse(int argc, char** argv) {
    program = argc > 0 ? argv[0] : "bench";
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if (argument == "--help" || argument == "-h") return std::printf("%s", usage.c_str()), 0;
        if (!Take(argument)) return 2;
    }
    return -1;
}

bool BenchArguments::Take(const std::string& argument) {
    if (std::find(flags.begin(), flags.end(), argument) != flags.end()) return given.push_back(argument), true;
    if (argument.size() > 1 && argument[0] == '-') return Refuse("unknown option " + argument);
    const BenchOperand* operand = Expected();
    if (!operand) return Refuse("unexpected argument " + argument);
    double value = 0;
    if (operand->kind != BenchOperand::Kind::Text &&
        (!ReadNumber(argument, operand->kind == BenchOperand::Kind::Whole, value) || value < operand->least ||
         value > operand->most))
        return Refuse(std::string(operand->name) + " must be " + Range(*operand) + ", not " + argument);
    operands.push_back(argument);
    return true;
}

bool BenchArguments::Refuse(const std::string& why) const {
    std::fprintf(stderr, "%s: %s\n%s", program.c_str(), why.c_str(), usage.c_str());
    return false;
}

const BenchOperand* BenchArguments::Expected() const {
    if (operands.size() < expected.size()) return &expected[operands.size()];
    return lastRepeats && !expected.empty() ? &expected.back() : nullptr;
}

bool BenchArguments::Has(const std::string& flag) const {
    return std::find(given.begin(), given.end(), flag) != given.end();
}

std::vector<std::string> BenchArguments::OperandsFrom(std::size_t index) const {
    return {operands.begin() + static_cast<long>(std::min(index, operands.size())), operands.end()};
}

double BenchArguments::Number(std::size_t index, double fallback) const {
    return index < operands.size() ? std::strtod(operands[index].c_str(), nullptr) : fallback;
}
