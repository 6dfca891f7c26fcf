#pragma once

// Qt
#include <QString>

// Where every message to the operator goes; the program shows modal boxes, tests record.
class MessageBox {
public:
    // Styles as the desktop runtime numbers them.
    enum Style : int {
        OkOnly = 0,
        Exclamation = 48, // exclamation icon and an OK button
        Information = 64, // information icon and an OK button
    };

    virtual ~MessageBox() = default;

    // Returns when the operator has acknowledged the message. An empty title shows the
    // application's display name.
    void show(const QString& text, int style = OkOnly, const QString& title = QString()) {
        present(text, style, title);
    }

protected:
    virtual void present(const QString& text, int style, const QString& title) = 0;
};
