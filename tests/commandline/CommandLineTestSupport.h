#pragma once

#include <string>

// Output of the parser as the console shows it, spelled out in full.
const std::string processingLine = "\nProcessing command line parameters ...";

inline std::string UsageText(const std::string& program, const std::string& portAndBaud, char typeLetter, int verbose,
                             const std::string& windowSize) {
    return "\n" + program + " [CFGfile] [/S/T/V|/X|/Z]\n" + "\t/T[#[@#]]\tTracker port and baud <" + portAndBaud +
           ">\n" + "\t/T[type] \tTracker type <" + typeLetter + ">\n" + "\t/V[#]    \tVerbose console level<" +
           std::to_string(verbose) + ">\n" + "\t/X       \tMaximum window size <" + windowSize + ">\n" +
           "\nTracker types supported:"
           "\n\t(P)olhemus\n\t(L)ogitech\n\t(I)nterSense\n\t(Q)uillmont\n\t(T)rajectory\n";
}

inline std::string DefaultUsageText(const std::string& program) {
    return UsageText(program, "1@115200", 'Q', 0, "NORMAL");
}
