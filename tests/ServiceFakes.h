#pragma once

// Fakes of the program's services, passed in the way the program passes the real ones.

// Standard library
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// Qt
#include <QString>

// Ours
#include "MessageBox.h"
#include "Services.h"
#include "VolumeList.h"

namespace fakes {

// Records the messages instead of showing boxes, then runs the optional callback (tests
// use it to look at the state of the moment the box would be on screen).
class MessageRecorder : public MessageBox {
public:
    struct Record {
        QString text;
        int style = OkOnly;
        QString title;
    };

    explicit MessageRecorder(std::function<void(const Record&)> onShow = {})
        : onShow_(std::move(onShow)) {}

    const std::vector<Record>& records() const { return records_; }
    void clear() { records_.clear(); }

protected:
    void present(const QString& text, int style, const QString& title) override {
        records_.push_back({text, style, title});
        if (onShow_) {
            onShow_(records_.back());
        }
    }

private:
    std::vector<Record> records_;
    std::function<void(const Record&)> onShow_;
};

class Volumes : public VolumeList {
public:
    std::vector<Volume> list;
    std::vector<Volume> volumes() const override { return list; }
};

// The real services with the messages recorded, and a start-up chooser that answers
// `chosenVideoConfFile` (by default none: files only).
inline Services services(std::shared_ptr<MessageRecorder> messages,
                         const QString& chosenVideoConfFile = QString()) {
    Services services;
    services.messages = std::move(messages);
    services.chooseVideoConfFile = [chosenVideoConfFile](QWidget*) {
        return chosenVideoConfFile;
    };
    return services;
}

} // namespace fakes
