#include "CommandLine.h"

// Ours
#include "GavrelVersion.h"

CommandLine::CommandLine()
    : help_({QStringLiteral("h"), QStringLiteral("help")},
            tr("オプションの一覧を表示して終了します。")),
      version_({QStringLiteral("v"), QStringLiteral("version")},
               tr("Gavrel と Pelmint の版を表示して終了します。")),
      recipe_(QStringLiteral("recipe"), tr("検査レシピ FILE で始めます。"),
              QStringLiteral("FILE")) {
    parser_.setApplicationDescription(tr("円内の平均濃度を測って判定する検査プログラム"));
    parser_.addOption(help_);
    parser_.addOption(version_);
    parser_.addOption(recipe_);
    // How a file manager opens a recipe: Exec=Gavrel %f.
    parser_.addPositionalArgument(QStringLiteral("FILE"),
                                  tr("検査レシピ FILE で始めます（--recipe と同じ）。"),
                                  QStringLiteral("[FILE]"));
}

CommandLine::Action CommandLine::read(const QStringList& arguments) {
    refusal_.clear();
    if (!parser_.parse(arguments)) {
        refusal_ = parser_.errorText();
        return Action::Refuse;
    }
    const QStringList files = parser_.positionalArguments();
    if (files.size() > 1 || (!files.isEmpty() && parser_.isSet(recipe_))) {
        refusal_ = tr("レシピは一つだけ指定できます: %1").arg(files.join(u' '));
        return Action::Refuse;
    }
    if (parser_.isSet(help_)) {
        return Action::ShowHelp;
    }
    if (parser_.isSet(version_)) {
        return Action::ShowVersion;
    }
    return Action::OpenWindow;
}

QString CommandLine::recipePath() const {
    const QStringList files = parser_.positionalArguments();
    return files.isEmpty() ? parser_.value(recipe_) : files.first();
}

QString CommandLine::helpText() const {
    return parser_.helpText();
}

QString CommandLine::versionText(int pelmintVersion) {
    const QString pelmint = pelmintVersion > 0 ? QStringLiteral("%1.%2.%3")
                                                     .arg(pelmintVersion / 10000)
                                                     .arg(pelmintVersion / 100 % 100)
                                                     .arg(pelmintVersion % 100)
                                               : tr("（読み込めません）");
    return QStringLiteral("Gavrel %1\nPelmint %2\n")
        .arg(QString::fromLatin1(gavrel::kVersion), pelmint);
}
