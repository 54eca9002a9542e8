#pragma once

// Sends Cyclone DDS's own log (errors and warnings) through the program's
// rate-limited warning line: a sender whose link is down would otherwise get
// a line from Cyclone for every packet it cannot send.
class CycloneLog {
public:
    // From now on, for the whole process.
    static void Route();
};
