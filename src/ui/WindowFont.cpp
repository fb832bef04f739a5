#include "WindowFont.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QTextLayout>

#include <cmath>

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
    = {QStringLiteral("IPAexGothic"), QStringLiteral("TakaoPGothic"), QStringLiteral("VL PGothic"),
       QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Droid Sans Fallback")};

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

// A plain sans-serif family with Latin letters, as ＭＳ Ｐゴシック's own are: one of those
// desktops have, else the desktop's general font, else any the system has. Empty where
// the family given has them itself.
QString latinPartner(const QString &family)
{
    const auto hasLatin = [](const QString &name) {
        return QFontDatabase::writingSystems(name).contains(QFontDatabase::Latin);
    };
    if (hasLatin(family))
        return QString();
    const QString known = firstInstalled({QStringLiteral("Arial"), QStringLiteral("DejaVu Sans"),
                                          QStringLiteral("Liberation Sans"),
                                          QStringLiteral("Noto Sans"), QStringLiteral("FreeSans")});
    if (!known.isEmpty())
        return known;
    // The general font is often an alias that the system resolves to the very family that
    // lacks the letters.
    const QString general
        = QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
    if (hasLatin(general) && !QFontDatabase::isFixedPitch(general))
        return general;
    for (const QString &name : QFontDatabase::families(QFontDatabase::Latin)) {
        if (!QFontDatabase::isFixedPitch(name) && !QFontDatabase::isPrivateFamily(name))
            return name;
    }
    return QString();
}

// The height a line of text takes as Qt lays it out, with the fonts it falls back on for
// characters the first lacks, and its width.
QSizeF lineSize(const QFont &font, const QString &text)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLeadingIncluded(true);
    layout.endLayout();
    return {line.naturalTextWidth(), line.height()};
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
    QString found = firstInstalled(QStringList {kDesigned} + kFirst);
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

QStringList families()
{
    static const QStringList chosen = [] {
        const QString partner = latinPartner(family());
        return partner.isEmpty() ? QStringList {family()} : QStringList {family(), partner};
    }();
    return chosen;
}

qreal lineHeight(const QFont &font)
{
    return lineSize(font, QStringLiteral("Quorvel 0123 最新情報")).height();
}

bool fits(const QFont &font, const QStringList &lines, QSizeF room, Placing placing)
{
    if (placing == Placing::Lines) {
        // An editor gives each line whole pixels and wants one pixel free below them.
        QSizeF taken(0, 1);
        for (const QString &text : lines) {
            const QSizeF line = lineSize(font, text);
            taken = {qMax(taken.width(), line.width()), taken.height() + std::ceil(line.height())};
        }
        return taken.width() <= room.width() && taken.height() <= room.height();
    }
    // One line: what matters is where its glyphs draw. Japanese glyphs stay well inside the
    // ascent and descent of fonts such as Noto Sans CJK, so a line whose box is taller
    // than the room may still draw whole in it. The ink is measured in whole pixels,
    // rounded outwards, hence a pixel of slack above; the baseline may fall on the next
    // whole pixel, so none below.
    constexpr qreal kSlack = 1;
    const QFontMetricsF metrics(font);
    for (const QString &text : lines) {
        const QSizeF box = lineSize(font, text);
        if (box.width() > room.width())
            return false;
        const QRectF ink = metrics.tightBoundingRect(text);
        const qreal baseline = placing == Placing::Top
                                   ? metrics.ascent()
                                   : (room.height() - box.height()) / 2 + metrics.ascent();
        if (baseline + ink.top() < -kSlack || std::ceil(baseline) + ink.bottom() > room.height())
            return false;
    }
    return true;
}

QFont fitted(const QFont &font, const QStringList &lines, QSizeF room, Placing placing)
{
    constexpr qreal kStep = 0.25;
    constexpr qreal kSmallest = 5;
    QFont candidate = font;
    for (qreal points = font.pointSizeF(); points >= kSmallest; points -= kStep) {
        candidate.setPointSizeF(points);
        if (fits(candidate, lines, room, placing))
            return candidate;
    }
    return candidate;
}

} // namespace WindowFont
