#pragma once

#include <QPlainTextEdit>

// A multi-line box whose text keeps its CR LF line ends: a loaded record's text is
// measured and taken apart by character position, so what the box holds must be
// exactly what was read, not the editor's own line breaks.
class DisplayBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit DisplayBox(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    // Lines of the box's font that show without a scroll bar.
    static constexpr int kLinesShown = 3;
    // The margin Qt's editors leave around their text, where there is room for it.
    static constexpr int kUsualMargin = 4;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fitMargin();

    QString m_text;
    bool m_setting = false;
};
