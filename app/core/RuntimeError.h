#pragma once

// Standard library
#include <stdexcept>

// Qt
#include <QString>

// A run-time error as the desktop runtime reports it: a number and a description.
// Handlers without error handling of their own let it reach the handler boundary,
// where it is shown to the operator; the handlers that trap errors read both parts.
class RuntimeError : public std::runtime_error {
public:
    // Numbers used across the program, kept to the desktop runtime's own.
    enum Number : int {
        Overflow = 6,
        FileNotFound = 53,
        DeviceUnavailable = 68,
        DiskNotReady = 71,
        PathFileAccessError = 75,
        PathNotFound = 76,
        InvalidPropertyValue = 380,
        DllLoadError = 48,
        DllEntryPointNotFound = 453,
    };

    RuntimeError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number),
          description_(description) {}

    int number() const { return number_; }
    const QString& description() const { return description_; }

private:
    int number_;
    QString description_;
};
