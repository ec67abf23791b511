// The message of the error an action raises, for tests that compare messages.
#pragma once

#include "base/Exceptions.h"

#include <functional>
#include <string>

namespace quillet::testing {

inline std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& error) {
        return error.Message();
    }
    return "(nothing raised)";
}

} // namespace quillet::testing
