#include "bridge/RigRecord.h"

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

std::string RigRecord::Line(const Entry& entry) {
    return entry.name + " " + entry.serial + " " + std::to_string(entry.sendMask) + " " + entry.validUntil + "\n";
}
