#include "NameDelegate.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QStyle>

namespace {
// Whether a name too wide by the font's exact widths is one that fits as at 100 %.
bool fitsInWholePixels(const QStyleOptionViewItem &option, const QStyle *style)
{
    // The style keeps this margin inside the text's rectangle on either side.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, option.widget) + 1;
    const int room
        = style->subElementRect(QStyle::SE_ItemViewItemText, &option, option.widget).width()
          - 2 * margin;
    const qreal exact = QFontMetricsF(option.font).horizontalAdvance(option.text);
    if (exact <= room || exact > room + margin)
        return false;
    QFont wholePixels = option.font;
    wholePixels.setHintingPreference(QFont::PreferFullHinting);
    return QFontMetricsF(wholePixels).horizontalAdvance(option.text) <= room;
}
} // namespace

void NameDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    QStyleOptionViewItem shown(option);
    initStyleOption(&shown, index);
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    if (shown.textElideMode != Qt::ElideNone && !shown.text.isEmpty()
        && fitsInWholePixels(shown, style))
        shown.textElideMode = Qt::ElideNone;
    style->drawControl(QStyle::CE_ItemViewItem, &shown, painter, option.widget);
}
