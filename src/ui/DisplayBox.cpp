#include "DisplayBox.h"

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
