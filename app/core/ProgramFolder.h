#pragma once

// Qt
#include <QString>

// The folder the program was started from: the dialogs open there and the program
// looks there first for its measurement library. Tests point it elsewhere.
class ProgramFolder {
public:
    static QString path(); // native separators, no trailing separator

    class Override {
    public:
        explicit Override(const QString& folder);
        ~Override();
        Override(const Override&) = delete;
        Override& operator=(const Override&) = delete;

    private:
        QString previous_;
    };

private:
    static QString override_;
};
