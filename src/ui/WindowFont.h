#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>
#include <QStringList>

// The family the window's text is drawn in. The layout was made for ＭＳ Ｐゴシック;
// IPAPGothic has its metrics, so captions, buttons and the version text fit as they do
// on Windows. Other Japanese fonts are taller (Noto Sans CJK, Droid Sans Fallback,
// VL PGothic) and would clip them, so where the system has neither, the program uses
// its own copy of IPAPGothic (ipagp.ttf, shipped with its licence) before any of those.
namespace WindowFont {

// Where the program's own copy is looked for: "fonts" beside the program (the Windows
// folder and the build tree), then "share/quorvel/fonts" beside its "bin" (installed).
QStringList ownFontFolders();

// The first of ＭＳ Ｐゴシック and its stand-ins that the system has, the program's own
// copy of IPAPGothic (loaded from the first of folders that holds it) in its place,
// ＭＳ Ｐゴシック when there is nothing at all, for the system's fallback.
QString choose(const QStringList &folders);

// choose(ownFontFolders()), once: the answer does not change while the program runs.
QString family();

// family(), and after it, where that family has no Latin letters (Droid Sans Fallback has
// kana and kanji only), a family that has them, which Qt then takes for those characters
// before any fallback of its own: file names, dates and the version text in Latin letters
// and digits never show as boxes.
QStringList families();

// A stand-in taller than the designed font can leave a text too big for the control that
// was laid out for it. These say whether text fits a room of the given size and give the
// largest size, from the font's own downwards in quarter points, at which it does.
enum class Placing {
    Top, // one line drawn from the top of the room (captions)
    Centred, // one line centred in the room (buttons, check boxes, boxed labels)
    Lines, // lines one under the other, each a line of the font high (the display box)
};
// The height of a line of Latin and Japanese text in the font as Qt lays it out: that of
// the tallest of the fonts it takes the characters from.
qreal lineHeight(const QFont &font);
bool fits(const QFont &font, const QStringList &lines, QSizeF room, Placing placing);
QFont fitted(const QFont &font, const QStringList &lines, QSizeF room, Placing placing);

} // namespace WindowFont
