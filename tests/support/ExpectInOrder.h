#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

// Each fragment must follow the previous one in `text`.
inline void ExpectInOrder(const std::string& text, const std::vector<std::string>& fragments) {
    size_t at = 0;
    for (const std::string& fragment : fragments) {
        size_t found = text.find(fragment, at);
        ASSERT_NE(found, std::string::npos) << "missing, or out of order: \"" << fragment << "\"\nin:\n" << text;
        at = found + fragment.size();
    }
}
