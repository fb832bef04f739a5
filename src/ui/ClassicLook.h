#pragma once

#include <QIcon>
#include <QPalette>
#include <QSize>

class QStyle;
class QWidget;

// The look of a Windows 95 to ME program, which the window keeps under any desktop
// theme, light or dark: everything on the grey of 3D objects with black text, white
// boxes and lists, a navy selection, etched frames and raised grey buttons, and small
// list icons of the program's own, so that a theme's larger ones do not stretch the rows.
class ClassicLook
{
public:
    // Every colour role in every colour group, so that nothing is left to the theme.
    static QPalette palette();
    // Qt's built-in "Windows" style with white drop-down list fields, one for all the
    // windows that take this look.
    static QStyle *style();
    static QSize iconSize() { return {16, 16}; }
    // The horseshoe of the window's title bar and of the program in the task bar.
    static QIcon programIcon();
    static QIcon closedFolderIcon();
    static QIcon openFolderIcon();
    static QIcon driveIcon();

    // Gives the window and the controls made in it so far the palette and the style.
    static void apply(QWidget *window);
};
