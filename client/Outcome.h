#pragma once

#include <string>
#include <utility>

#include "lumivex/lumivex.h"

// What a call of the library came to: its status and the line that says so.
struct Outcome {
    lumivex_status status = LUMIVEX_OK;
    std::string message;

    bool Ok() const { return status == LUMIVEX_OK; }
    static Outcome Done(std::string notice = {}) { return {LUMIVEX_OK, std::move(notice)}; }
};
