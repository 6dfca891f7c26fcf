#include "RecipeFile.h"

// Standard library
#include <cmath>
#include <limits>

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

// Ours
#include "CircleDrag.h"
#include "InspectionFormat.h"

namespace RecipeFile {

namespace {

const QString kFormat = QStringLiteral("gavrel-recipe");
constexpr int kVersion = 1;
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

QString outOfRange(const char* key, int lowest, const QString& highest) {
    return QCoreApplication::translate("RecipeFile", "「%1」が %2～%3 の整数ではありません。")
        .arg(QLatin1String(key), QString::number(lowest), highest);
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
    if (root.value(QStringLiteral("version")).toInt(-1) != kVersion) {
        return failure(QCoreApplication::translate("RecipeFile", "対応していない版のレシピです。"));
    }

    InspectionRecipe recipe;
    const QJsonValue name = root.value(QStringLiteral("name"));
    if (!name.isUndefined() && !name.isString()) {
        return failure(
            QCoreApplication::translate("RecipeFile", "「name」が文字列ではありません。"));
    }
    recipe.name = name.toString();

    const QJsonObject circle = root.value(QStringLiteral("circle")).toObject();
    const auto x = wholeNumber(circle.value(QStringLiteral("x")), 0, kImageWidth - 1);
    if (!x) {
        return failure(outOfRange("circle.x", 0, QString::number(kImageWidth - 1)));
    }
    const auto y = wholeNumber(circle.value(QStringLiteral("y")), 0, kImageHeight - 1);
    if (!y) {
        return failure(outOfRange("circle.y", 0, QString::number(kImageHeight - 1)));
    }
    const int largest = std::numeric_limits<int>::max();
    const auto r = wholeNumber(circle.value(QStringLiteral("r")), kMinimumRadius, largest);
    if (!r) {
        return failure(outOfRange("circle.r", kMinimumRadius, QString::number(largest)));
    }
    recipe.centreX = *x;
    recipe.centreY = *y;
    recipe.radius = *r;

    for (auto [key, target] :
         {std::pair{"standard", &recipe.standard}, std::pair{"tolerance", &recipe.tolerance}}) {
        const QJsonValue value = root.value(QLatin1String(key));
        if (!value.isDouble()) {
            return failure(QCoreApplication::translate("RecipeFile", "「%1」が数値ではありません。")
                               .arg(QLatin1String(key)));
        }
        *target = value.toDouble();
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
            return failure(outOfRange("slot", 1, QStringLiteral("65535")));
        }
        recipe.slot = *number;
    }
    return ReadResult{recipe, QString()};
}

QByteArray serialize(const InspectionRecipe& recipe, const QString& folder) {
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormat);
    root.insert(QStringLiteral("version"), kVersion);
    root.insert(QStringLiteral("name"), recipe.name);
    root.insert(QStringLiteral("circle"), QJsonObject{{QStringLiteral("x"), recipe.centreX},
                                                      {QStringLiteral("y"), recipe.centreY},
                                                      {QStringLiteral("r"), recipe.radius}});
    root.insert(QStringLiteral("standard"), recipe.standard);
    root.insert(QStringLiteral("tolerance"), recipe.tolerance);
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
    if (!std::isfinite(recipe.standard) || !std::isfinite(recipe.tolerance)) {
        return QCoreApplication::translate("RecipeFile",
                                           "基準濃度値と許容差は有限の数値でなければなりません。");
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
