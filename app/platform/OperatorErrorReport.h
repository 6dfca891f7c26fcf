#pragma once

// An error that reaches a list widget's own event handling (an operator's choice whose
// handler did not trap it) is shown to the operator instead of unwinding through Qt.
class OperatorErrorReport {
public:
    // Call from inside a catch block: shows "number : description" for a RuntimeError,
    // the text of any other exception.
    static void showCurrentException();
};
