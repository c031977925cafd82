// Helpers shared by the core library's tests.
#pragma once

#include <functional>
#include <string>

#include "System.Remainder.Exceptions.h"

// The message of the E that the action raises, or "(nothing raised)".
template <class E = System::EListError>
std::u16string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.Message;
    }
    return u"(nothing raised)";
}
