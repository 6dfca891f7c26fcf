#include "MessageBox.h"

// Qt
#include <QApplication>
#include <QMessageBox>

MessageBox::Recorder* MessageBox::activeRecorder_ = nullptr;

MessageBox::Recorder::Recorder(std::function<void(const Record&)> onShow)
    : onShow_(std::move(onShow)), previous_(activeRecorder_) {
    activeRecorder_ = this;
}

MessageBox::Recorder::~Recorder() {
    activeRecorder_ = previous_;
}

void MessageBox::show(const QString& text, int style, const QString& title) {
    if (activeRecorder_ != nullptr) {
        Recorder& recorder = *activeRecorder_;
        recorder.records_.push_back({text, style, title});
        if (recorder.onShow_) {
            recorder.onShow_(recorder.records_.back());
        }
        return;
    }

    const QMessageBox::Icon icon = style == Exclamation   ? QMessageBox::Warning
                                   : style == Information ? QMessageBox::Information
                                                          : QMessageBox::NoIcon;
    QMessageBox box(icon, title.isEmpty() ? QApplication::applicationDisplayName() : title, text,
                    QMessageBox::Ok);
    box.exec();
}
