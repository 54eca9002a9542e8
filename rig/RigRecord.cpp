#include "rig/RigRecord.h"

#include <algorithm>
#include <sstream>

bool RigRecord::Parse(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        Entry entry;
        std::string rest;
        if (!(fields >> entry.name >> entry.serial >> entry.sendMask >> entry.validUntil) || (fields >> rest))
            return false;
        entries.push_back(entry);
    }
    return true;
}

const RigRecord::Entry* RigRecord::Newest(const std::string& name) const {
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        if (entry->name == name) return &*entry;
    return nullptr;
}

bool RigRecord::Issued(const std::string& name, const std::string& serial) const {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const Entry& entry) { return entry.name == name && entry.serial == serial; });
}

std::string RigRecord::Line(const Entry& entry) {
    return entry.name + " " + entry.serial + " " + std::to_string(entry.sendMask) + " " + entry.validUntil + "\n";
}
