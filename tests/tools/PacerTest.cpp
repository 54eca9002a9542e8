#include <gtest/gtest.h>

#include "tools/publisher/Pacer.h"

namespace {

// Rounds every 1 ms, the last due at 10 ms: a round that ran late keeps the
// beat and never brings the next one forward to now.
TEST(PacerTest, ALateRoundDropsTheRoundsItOverranAndKeepsTheBeat) {
    const struct {
        const char* what;
        double elapsed, next;
    } rows[] = {
        {"on time", 0.0102, 0.011},
        {"late, but before the next round", 0.0109, 0.011},
        {"overran one round", 0.0113, 0.012},
        {"overran three rounds", 0.0135, 0.014},
    };
    for (const auto& row : rows) EXPECT_NEAR(Pacer::RoundAfter(0.010, 0.001, row.elapsed), row.next, 1e-9) << row.what;
    EXPECT_EQ(Pacer::RoundAfter(0.010, 0.0, 0.0125), 0.0125) << "no rate: at once";
}

}  // namespace
