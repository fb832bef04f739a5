#pragma once

#include <QAccessibleWidget>

class QComboBox;

// What a screen reader is told about a combo box. Qt's own interface on Linux gives the
// current text as the name, so the drive list was announced as "/" and the weight box
// only by its value; this one gives the name the program set (or the caption that has
// the box as its buddy) and the current text as the value, and otherwise does what
// Qt's does: the list and the edit field as children, an action to open the list.
class AccessibleComboBox : public QAccessibleWidget
{
public:
    explicit AccessibleComboBox(QWidget *widget);

    // Makes every combo box of the program use this interface; calling it again does nothing.
    static void install();

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    QComboBox *comboBox() const;
};
