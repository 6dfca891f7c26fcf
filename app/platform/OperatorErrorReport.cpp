#include "OperatorErrorReport.h"

// Standard library
#include <exception>

// Qt
#include <QString>

// Ours
#include "MessageBox.h"
#include "RuntimeError.h"

void OperatorErrorReport::showCurrentException() {
    QString text;
    try {
        throw;
    } catch (const RuntimeError& error) {
        text = QStringLiteral("%1 : %2").arg(error.number()).arg(error.description());
    } catch (const std::exception& error) {
        text = QString::fromLocal8Bit(error.what());
    } catch (...) {
        text = QStringLiteral("?");
    }
    MessageBox::show(text, MessageBox::Exclamation, QStringLiteral("エラー"));
}
