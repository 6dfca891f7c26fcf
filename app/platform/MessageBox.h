#pragma once

// Standard library
#include <functional>
#include <vector>

// Qt
#include <QString>

// Every message the program shows to the operator goes through MessageBox::show,
// so that tests can record the messages instead of answering modal boxes.
class MessageBox {
public:
    // Styles as the desktop runtime numbers them.
    enum Style : int {
        OkOnly = 0,
        Exclamation = 48, // exclamation icon and an OK button
        Information = 64, // information icon and an OK button
    };

    struct Record {
        QString text;
        int style = OkOnly;
        QString title; // as given; empty means the application's title
    };

    // Shows a modal box and returns when the operator has acknowledged it.
    // An empty title shows the application's display name.
    static void show(const QString& text, int style = OkOnly, const QString& title = QString());

    // While a Recorder lives, show() appends to it instead of opening a window,
    // then runs the optional callback (tests use it to look at the state of the
    // moment the box would be on screen).
    class Recorder {
    public:
        explicit Recorder(std::function<void(const Record&)> onShow = {});
        ~Recorder();
        Recorder(const Recorder&) = delete;
        Recorder& operator=(const Recorder&) = delete;

        const std::vector<Record>& records() const { return records_; }
        void clear() { records_.clear(); }

    private:
        friend class MessageBox;
        std::vector<Record> records_;
        std::function<void(const Record&)> onShow_;
        Recorder* previous_;
    };

private:
    static Recorder* activeRecorder_;
};
