#pragma once

#include <QStyledItemDelegate>

// Draws the names of a list beside their icons. At 100 % Windows lays text out in whole
// pixels (GDI); at any other scale Qt lays it out in the font's exact widths
// (DirectWrite), a fraction of a pixel wider here and there, while the room beside the
// icon stays the same whole logical pixels: a name that just fitted lost its last letters
// to "…" at 125 %. A name that fits in whole pixels, as at 100 %, is shown whole at any
// scale, taking the fraction from the margin on its right.
class NameDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
