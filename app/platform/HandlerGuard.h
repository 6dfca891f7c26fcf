#pragma once

// Standard library
#include <exception>
#include <utility>

// The boundary of an event handler that has no error handling of its own: an error that
// escapes the handler is shown to the operator as "number : description" in an
// exclamation box titled "エラー", and the window goes on working instead of the
// program ending.
class HandlerGuard {
public:
    // Runs `handler`; returns false when an error escaped it (and was shown).
    template <typename Handler> static bool run(Handler&& handler) {
        try {
            std::forward<Handler>(handler)();
            return true;
        } catch (...) {
            report(std::current_exception());
            return false;
        }
    }

private:
    static void report(std::exception_ptr error);
};
