#pragma once

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

} // namespace WindowFont
