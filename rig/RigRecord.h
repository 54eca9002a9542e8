#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The authority's record of every certificate it issued, one line each:
// "NAME SERIAL SEND-MASK VALID-UNTIL". A name that is in it is never issued
// to a new key again; renewals add lines under the same name.
class RigRecord {
public:
    struct Entry {
        std::string name;
        std::string serial;      // hexadecimal
        uint32_t sendMask = 0;   // bit n: instrument n; 0 receives only
        std::string validUntil;  // as the documents write it
    };

    // False when a line is not an entry: the record was changed by hand.
    bool Parse(const std::string& text);
    // The newest entry of `name`, or null when it was never issued.
    const Entry* Newest(const std::string& name) const;
    // Whether the certificate `serial` was issued to `name`.
    bool Issued(const std::string& name, const std::string& serial) const;
    static std::string Line(const Entry& entry);

private:
    std::vector<Entry> entries;
};
