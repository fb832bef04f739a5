#include "DisplayBox.h"

#include "WindowFont.h"

#include <QEvent>

#include <cmath>

DisplayBox::DisplayBox(QWidget *parent) : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_setting)
            m_text = toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    });
}

void DisplayBox::setText(const QString &text)
{
    m_text = text;
    m_setting = true;
    setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    m_setting = false;
}

void DisplayBox::resizeEvent(QResizeEvent *event)
{
    fitMargin();
    QPlainTextEdit::resizeEvent(event);
}

void DisplayBox::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitMargin();
}

// The box is only a little higher than three lines of its font, as it always was: the
// margin the editor keeps above and below the text shrinks to what is left inside the
// frame, so that the version text's third line shows whole, whatever the style's frame.
// The editor gives each line whole pixels and adds the margin below the last line too;
// it shows no scroll bar while the lines and both margins leave a pixel free.
void DisplayBox::fitMargin()
{
    const qreal lines = kLinesShown * std::ceil(WindowFont::lineHeight(font()));
    const qreal room = contentsRect().height() - 1 - lines;
    const qreal margin = qBound<qreal>(0, std::floor(room / 2), qreal(kUsualMargin));
    if (document()->documentMargin() != margin)
        document()->setDocumentMargin(margin);
}
