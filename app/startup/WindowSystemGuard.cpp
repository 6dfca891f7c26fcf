#include "WindowSystemGuard.h"

// Standard library
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

// Qt
#include <QCoreApplication>
#include <QString>

namespace {

struct HeldMessage {
    QtMsgType type;
    QString category;
    QString text;
};

std::vector<HeldMessage> held;
QByteArray fatalLine;

void holdOrExit(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs(fatalLine.constData(), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    held.push_back({type, QString::fromUtf8(context.category), text});
}

} // namespace

WindowSystemGuard::WindowSystemGuard(const QString& noDisplayLine) {
    fatalLine = noDisplayLine.toLocal8Bit() + '\n';
    previous_ = qInstallMessageHandler(holdOrExit);
}

WindowSystemGuard::~WindowSystemGuard() {
    qInstallMessageHandler(previous_);
    for (const HeldMessage& message : std::exchange(held, {})) {
        const QByteArray category = message.category.toUtf8();
        const QMessageLogContext context(nullptr, 0, nullptr, category.constData());
        qt_message_output(message.type, context, message.text);
    }
}

QString WindowSystemGuard::noDisplayLine() {
    return tr(
        "Gavrel: ウィンドウを表示するディスプレイがありません（DISPLAY は設定されていますか）");
}
