#include "FileListBox.h"

// Standard library
#include <algorithm>

// Qt
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QRegularExpression>

// Ours
#include "RuntimeError.h"

namespace {

QString folderPathOf(const QString& path) {
    QString folder = QDir::fromNativeSeparators(path);
#ifdef Q_OS_WIN
    if (folder.size() == 2 && folder.at(1) == QLatin1Char(':')) {
        folder += QLatin1Char('/');
    }
#endif
    folder = QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(folder));
    // cleanPath keeps the separator of a root only.
    return QDir::toNativeSeparators(folder);
}

// The desktop's wildcards: '*' any run, '?' one character, everything else literal.
QRegularExpression wildcardExpression(const QString& wildcard) {
    QString expression;
    for (const QChar c : wildcard) {
        if (c == QLatin1Char('*')) {
            expression += QStringLiteral(".*");
        } else if (c == QLatin1Char('?')) {
            expression += QLatin1Char('.');
        } else {
            expression += QRegularExpression::escape(QString(c));
        }
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(expression),
                              QRegularExpression::CaseInsensitiveOption);
}

bool isHiddenFile(const QFileInfo& file) {
    return file.fileName().startsWith(QLatin1Char('.')) || file.isHidden();
}

// A pattern's wildcards, compiled once for a whole listing.
class Filter {
public:
    explicit Filter(const QString& pattern) {
        for (const QString& raw : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString wildcard = raw.trimmed();
            if (wildcard.isEmpty()) {
                continue;
            }
            // "*.*" stands for every file, also those without a dot, as on the desktop.
            if (wildcard == QLatin1String("*.*")) {
                everything_ = true;
                return;
            }
            expressions_.append(wildcardExpression(wildcard));
        }
        everything_ = expressions_.isEmpty(); // no pattern at all lists everything
    }

    bool accepts(const QString& name) const {
        return everything_ ||
               std::any_of(expressions_.cbegin(), expressions_.cend(),
                           [&](const QRegularExpression& e) { return e.match(name).hasMatch(); });
    }

private:
    QList<QRegularExpression> expressions_;
    bool everything_ = false;
};

} // namespace

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent), path_(folderPathOf(QDir::currentPath())),
      pattern_(QStringLiteral("*.*")) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemSelectionChanged, this, &FileListBox::selectionChangedHere);
    connect(this, &QAbstractItemView::clicked, this, &FileListBox::itemClickedHere);
    refresh();
}

QString FileListBox::path() const {
    return path_;
}

void FileListBox::setPath(const QString& path) {
    path_ = folderPathOf(path);
    refresh();
}

QString FileListBox::pattern() const {
    return pattern_;
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    refresh();
}

int FileListBox::listIndex() const {
    return selected_;
}

void FileListBox::setListIndex(int index) {
    if (index < -1 || index >= count()) {
        throw RuntimeError(RuntimeError::InvalidPropertyValue,
                           QStringLiteral("Invalid property value"));
    }
    if (index == -1) {
        clearSelection();
        setCurrentItem(nullptr);
    } else {
        setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
}

QString FileListBox::fileName() const {
    return selected_ >= 0 && selected_ < count() ? item(selected_)->text() : QString();
}

bool FileListBox::matches(const QString& pattern, const QString& name) {
    return Filter(pattern).accepts(name);
}

void FileListBox::refresh() {
    {
        const QSignalBlocker blocker(this);
        clear();
        selected_ = -1;
    }
    const QFileInfoList entries = QDir(path_).entryInfoList(QDir::Files, QDir::NoSort);
    const Filter filter(pattern_);
    QStringList names;
    for (const QFileInfo& entry : entries) {
        // isFile() follows links and holds for regular files only (no fifos or sockets).
        if (entry.isFile() && !isHiddenFile(entry) && filter.accepts(entry.fileName())) {
            names.append(entry.fileName());
        }
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    const QSignalBlocker blocker(this);
    addItems(names);
}

void FileListBox::selectionChangedHere() {
    const QList<QListWidgetItem*> chosen = selectedItems();
    const int now = chosen.isEmpty() ? -1 : row(chosen.first());
    if (now == selected_) {
        return;
    }
    selected_ = now;
    emit fileClicked();
}

void FileListBox::mousePressEvent(QMouseEvent* event) {
    selectedBeforePress_ = selected_;
    QListWidget::mousePressEvent(event);
}

// A click that selects a new file has already notified through the selection change.
void FileListBox::itemClickedHere(const QModelIndex& index) {
    if (index.row() == selected_ && selected_ == selectedBeforePress_) {
        emit fileClicked();
    }
}
