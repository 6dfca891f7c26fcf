#include "RecipeFile.h"

// Standard library
#include <cmath>
#include <limits>

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

// Ours
#include "CircleDrag.h"
#include "InspectionFormat.h"

namespace RecipeFile {

namespace {

const QString kFormat = QStringLiteral("gavrel-recipe");
constexpr int kVersionOneCircle = 1;
constexpr int kVersionCircles = 2;
// A circle lies on the working image and is no smaller than a drag can make it.
constexpr int kImageWidth = InspectionFormat::kWidth;
constexpr int kImageHeight = InspectionFormat::kHeight;
constexpr int kMinimumRadius = static_cast<int>(CircleDrag::kMinimumRadius);

ReadResult failure(const QString& error) {
    return ReadResult{std::nullopt, error};
}

std::optional<int> wholeNumber(const QJsonValue& value, int lowest, int highest) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::floor(number) || number < lowest ||
        number > highest) {
        return std::nullopt;
    }
    return static_cast<int>(number);
}

QString outOfRange(const QString& key, int lowest, const QString& highest) {
    return QCoreApplication::translate("RecipeFile", "「%1」が %2～%3 の整数ではありません。")
        .arg(key, QString::number(lowest), highest);
}

} // namespace

namespace {

// One circle of version 2, or the whole version 1 file, whose circle sits in "circle" and
// whose limits sit beside it. `where` names the object in messages ("circles[2].").
std::optional<RecipeCircle> readCircle(const QJsonObject& object, const QJsonObject& place,
                                       const QString& where, QString& error) {
    RecipeCircle circle;
    const auto key = [&](const char* name) {
        return where + QLatin1String(name);
    };
    const auto x = wholeNumber(place.value(QStringLiteral("x")), 0, kImageWidth - 1);
    const auto y = wholeNumber(place.value(QStringLiteral("y")), 0, kImageHeight - 1);
    const int largest = std::numeric_limits<int>::max();
    const auto r = wholeNumber(place.value(QStringLiteral("r")), kMinimumRadius, largest);
    if (!x) {
        error = outOfRange(key("x"), 0, QString::number(kImageWidth - 1));
    } else if (!y) {
        error = outOfRange(key("y"), 0, QString::number(kImageHeight - 1));
    } else if (!r) {
        error = outOfRange(key("r"), kMinimumRadius, QString::number(largest));
    }
    if (!error.isEmpty()) {
        return std::nullopt;
    }
    circle.centreX = *x;
    circle.centreY = *y;
    circle.radius = *r;
    for (auto [name, target] :
         {std::pair{"standard", &circle.standard}, std::pair{"tolerance", &circle.tolerance}}) {
        const QJsonValue value = object.value(QLatin1String(name));
        if (!value.isDouble() || !std::isfinite(value.toDouble())) {
            error = QCoreApplication::translate("RecipeFile", "「%1」が有限の数値ではありません。")
                        .arg(where + QLatin1String(name));
            return std::nullopt;
        }
        *target = value.toDouble();
    }
    return circle;
}

} // namespace

ReadResult parse(const QByteArray& bytes, const QString& folder) {
    if (bytes.size() > kMaxFileBytes) {
        return failure(
            QCoreApplication::translate("RecipeFile", "ファイルが大きすぎます（64 KiB まで）。"));
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return failure(
            QCoreApplication::translate("RecipeFile", "JSON として読めません（%1 バイト目: %2）。")
                .arg(parseError.offset)
                .arg(parseError.errorString()));
    }
    if (!document.isObject()) {
        return failure(
            QCoreApplication::translate("RecipeFile", "Gavrel のレシピではありません。"));
    }
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat) {
        return failure(
            QCoreApplication::translate("RecipeFile", "Gavrel のレシピではありません。"));
    }
    const int version = root.value(QStringLiteral("version")).toInt(-1);
    if (version != kVersionOneCircle && version != kVersionCircles) {
        return failure(QCoreApplication::translate("RecipeFile", "対応していない版のレシピです。"));
    }

    InspectionRecipe recipe;
    const QJsonValue name = root.value(QStringLiteral("name"));
    if (!name.isUndefined() && !name.isString()) {
        return failure(
            QCoreApplication::translate("RecipeFile", "「name」が文字列ではありません。"));
    }
    recipe.name = name.toString();

    QString error;
    recipe.circles.clear();
    if (version == kVersionOneCircle) {
        const auto circle =
            readCircle(root, root.value(QStringLiteral("circle")).toObject(), QString(), error);
        if (!circle) {
            return failure(error.replace(QStringLiteral("「x"), QStringLiteral("「circle.x"))
                               .replace(QStringLiteral("「y"), QStringLiteral("「circle.y"))
                               .replace(QStringLiteral("「r"), QStringLiteral("「circle.r")));
        }
        recipe.circles.push_back(*circle);
    } else {
        const QJsonValue circles = root.value(QStringLiteral("circles"));
        if (!circles.isArray() || circles.toArray().isEmpty() ||
            circles.toArray().size() > InspectionRecipe::kMaxCircles) {
            return failure(QCoreApplication::translate(
                               "RecipeFile", "「circles」が 1～%1 個の円の配列ではありません。")
                               .arg(InspectionRecipe::kMaxCircles));
        }
        const QJsonArray list = circles.toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString where = QStringLiteral("circles[%1].").arg(i);
            const QJsonObject object = list.at(i).toObject();
            const QJsonValue circleName = object.value(QStringLiteral("name"));
            if (!circleName.isString() || circleName.toString().trimmed().isEmpty()) {
                return failure(QCoreApplication::translate("RecipeFile",
                                                           "「%1」が空でない文字列ではありません。")
                                   .arg(where + QStringLiteral("name")));
            }
            auto circle = readCircle(object, object, where, error);
            if (!circle) {
                return failure(error);
            }
            circle->name = circleName.toString().trimmed();
            for (const RecipeCircle& earlier : recipe.circles) {
                if (earlier.name == circle->name) {
                    return failure(QCoreApplication::translate("RecipeFile",
                                                               "円の名前「%1」が重複しています。")
                                       .arg(circle->name));
                }
            }
            recipe.circles.push_back(*circle);
        }
    }

    const QJsonValue camera = root.value(QStringLiteral("camera"));
    if (!camera.isUndefined() && !camera.isNull() && !camera.isString()) {
        return failure(
            QCoreApplication::translate("RecipeFile", "「camera」が文字列ではありません。"));
    }
    if (const QString path = camera.toString(); !path.isEmpty()) {
        recipe.cameraConfigFile = QDir::cleanPath(QDir(folder).absoluteFilePath(path));
    }
    // The line's number for the recipe (product changeover); absent: none.
    if (const QJsonValue slot = root.value(QStringLiteral("slot")); !slot.isUndefined()) {
        const auto number = wholeNumber(slot, 1, 65535);
        if (!number) {
            return failure(outOfRange(QStringLiteral("slot"), 1, QStringLiteral("65535")));
        }
        recipe.slot = *number;
    }
    return ReadResult{recipe, QString()};
}

QByteArray serialize(const InspectionRecipe& recipe, const QString& folder) {
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormat);
    // One circle under its default name is written as every earlier version reads it.
    const bool oneCircle =
        recipe.circles.size() == 1 && recipe.circles[0].name == RecipeCircle{}.name;
    root.insert(QStringLiteral("version"), oneCircle ? kVersionOneCircle : kVersionCircles);
    root.insert(QStringLiteral("name"), recipe.name);
    if (oneCircle) {
        const RecipeCircle& circle = recipe.circles[0];
        root.insert(QStringLiteral("circle"), QJsonObject{{QStringLiteral("x"), circle.centreX},
                                                          {QStringLiteral("y"), circle.centreY},
                                                          {QStringLiteral("r"), circle.radius}});
        root.insert(QStringLiteral("standard"), circle.standard);
        root.insert(QStringLiteral("tolerance"), circle.tolerance);
    } else {
        QJsonArray circles;
        for (const RecipeCircle& circle : recipe.circles) {
            circles.append(QJsonObject{{QStringLiteral("name"), circle.name},
                                       {QStringLiteral("x"), circle.centreX},
                                       {QStringLiteral("y"), circle.centreY},
                                       {QStringLiteral("r"), circle.radius},
                                       {QStringLiteral("standard"), circle.standard},
                                       {QStringLiteral("tolerance"), circle.tolerance}});
        }
        root.insert(QStringLiteral("circles"), circles);
    }
    if (recipe.slot > 0) {
        root.insert(QStringLiteral("slot"), recipe.slot);
    }
    if (!recipe.cameraConfigFile.isEmpty()) {
        root.insert(QStringLiteral("camera"),
                    QDir(folder).relativeFilePath(recipe.cameraConfigFile));
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

ReadResult read(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return failure(QCoreApplication::translate("RecipeFile", "ファイルがありません。"));
    }
    // Opening a named pipe or a device would wait for a writer before any window appears.
    if (!QFileInfo(path).isFile()) {
        return failure(QCoreApplication::translate("RecipeFile", "通常のファイルではありません。"));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(QCoreApplication::translate("RecipeFile", "ファイルを開けません（%1）。")
                           .arg(file.errorString()));
    }
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return failure(QCoreApplication::translate("RecipeFile", "ファイルを読めません（%1）。")
                           .arg(file.errorString()));
    }
    return parse(bytes, QFileInfo(path).absolutePath());
}

QString write(const QString& path, const InspectionRecipe& recipe) {
    for (const RecipeCircle& circle : recipe.circles) {
        if (!std::isfinite(circle.standard) || !std::isfinite(circle.tolerance)) {
            return QCoreApplication::translate(
                "RecipeFile", "基準濃度値と許容差は有限の数値でなければなりません。");
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return QCoreApplication::translate("RecipeFile", "ファイルを作れません（%1）。")
            .arg(file.errorString());
    }
    file.write(serialize(recipe, QFileInfo(path).absolutePath()));
    if (!file.commit()) {
        return QCoreApplication::translate("RecipeFile", "書込みに失敗しました（%1）。")
            .arg(file.errorString());
    }
    return QString();
}

QString withSuffix(const QString& path) {
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + kSuffix : path;
}

} // namespace RecipeFile
