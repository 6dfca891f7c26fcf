#pragma once

// Standard library
#include <exception>
#include <utility>

// Qt
#include <QString>

class MessageBox;

// The boundary of an event handler that has no error handling of its own: an error that
// escapes the handler is shown to the operator as "number : description" in an
// exclamation box titled "エラー", and the window goes on working instead of the
// program ending.
namespace HandlerGuard {

void report(MessageBox& messages, std::exception_ptr error);

// How an error is told to the operator: "number : description".
QString describe(int number, const QString& description);

// Runs `handler`; returns false when an error escaped it (and was shown).
template <typename Handler> bool run(MessageBox& messages, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (...) {
        report(messages, std::current_exception());
        return false;
    }
}

} // namespace HandlerGuard
