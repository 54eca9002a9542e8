#pragma once

#include <cmath>
#include <string>
#include <vector>

// One operand a benchmark takes: its name in the usage, and for a number the
// least it may be. Text operands take anything.
struct BenchOperand {
    enum class Kind { Text, Whole, Real };
    const char* name;
    Kind kind = Kind::Text;
    double least = 0;
    double most = HUGE_VAL;
};

// The command line of a hand-written benchmark. A figure measured from an
// argument read by mistake (--help taken for a count of 0) looks like a
// result, so every argument is either taken or refused before anything runs.
class BenchArguments {
public:
    // `usage` is printed on --help; `flags` are the options the benchmark
    // takes; `operands` follow in order, the last one repeating when
    // `lastRepeats`.
    BenchArguments(std::string usage, std::vector<std::string> flags, std::vector<BenchOperand> operands,
                   bool lastRepeats = false);

    // -1 to go on; otherwise the status to end with now: 0 after --help,
    // 2 after an argument refused (named on standard error).
    int Parse(int argc, char** argv);

    bool Has(const std::string& flag) const;
    std::size_t Count() const { return operands.size(); }
    const std::string& Operand(std::size_t index) const { return operands[index]; }
    std::vector<std::string> OperandsFrom(std::size_t index) const;
    // The operand at `index` (checked by Parse), or `fallback` when it was not given.
    double Number(std::size_t index, double fallback) const;

private:
    bool Take(const std::string& argument);
    bool Refuse(const std::string& why) const;
    const BenchOperand* Expected() const;

    std::string program, usage;
    std::vector<std::string> flags, given;
    std::vector<BenchOperand> expected;
    bool lastRepeats;
    std::vector<std::string> operands;
};
