#include "HandlerGuard.h"

// Standard library
#include <new>
#include <stdexcept>

// Qt
#include <QString>

// Ours
#include "ErrorTitle.h"
#include "MessageBox.h"
#include "RuntimeError.h"

namespace {

// Numbers the desktop runtime uses for failures that carry none of their own.
constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

// The text shown for an escaped error.
QString textOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const RuntimeError& e) {
        return HandlerGuard::describe(e.number(), e.description());
    } catch (const std::bad_alloc&) {
        return HandlerGuard::describe(kOutOfMemory, QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        return HandlerGuard::describe(kInternalError, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return HandlerGuard::describe(kInternalError, QStringLiteral("Internal error"));
    }
}

} // namespace

void HandlerGuard::report(MessageBox& messages, std::exception_ptr error) {
    messages.show(textOf(error), MessageBox::Exclamation, ErrorTitle::text());
}

QString HandlerGuard::describe(int number, const QString& description) {
    return QString::number(number) + QStringLiteral(" : ") + description;
}
