#include "WindowFont.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

namespace {
const QString kDesigned = QStringLiteral("ＭＳ Ｐゴシック");
const QString kOwnFamily = QStringLiteral("IPAPGothic");
const QString kOwnFile = QStringLiteral("ipagp.ttf");

// Before the program's own copy: the designed font under its Latin name, and IPAPGothic
// as the system has it (the Debian package depends on that instead of a copy).
const QStringList kFirst = {QStringLiteral("MS PGothic"), kOwnFamily};
// After it, for a program whose copy is missing: those with IPA's metrics first (Takao
// is made from IPA; its TakaoGothic, which the system would give otherwise, is
// fixed-width), then those that fit less well.
const QStringList kLast
    = {QStringLiteral("IPAexGothic"), QStringLiteral("TakaoPGothic"),
       QStringLiteral("VL PGothic"), QStringLiteral("Noto Sans CJK JP"),
       QStringLiteral("Droid Sans Fallback")};

// Asked for a name that is not installed, even with substitutes registered for it, Qt
// looks for that name's fallbacks through fontconfig for every size, weight and script
// the window uses: an eighth of the work of start-up. So the name asked for is one
// that is there.
QString firstInstalled(const QStringList &names)
{
    for (const QString &name : names) {
        if (QFontDatabase::hasFamily(name))
            return name;
    }
    return QString();
}

bool loadOwnFont(const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(kOwnFile);
        if (!QFileInfo(path).isFile())
            continue;
        const int id = QFontDatabase::addApplicationFont(path);
        if (id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(kOwnFamily))
            return true;
    }
    return false;
}
} // namespace

namespace WindowFont {

QStringList ownFontFolders()
{
    const QString program = QCoreApplication::applicationDirPath();
    return {program + QStringLiteral("/fonts"),
            QDir::cleanPath(program + QStringLiteral("/../share/quorvel/fonts"))};
}

QString choose(const QStringList &folders)
{
    QString found = firstInstalled(QStringList{kDesigned} + kFirst);
    if (found.isEmpty() && loadOwnFont(folders))
        found = kOwnFamily;
    if (found.isEmpty())
        found = firstInstalled(kLast);
    return found.isEmpty() ? kDesigned : found;
}

QString family()
{
    static const QString chosen = choose(ownFontFolders());
    return chosen;
}

} // namespace WindowFont
