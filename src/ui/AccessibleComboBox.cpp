#include "AccessibleComboBox.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

namespace {
QAccessibleInterface *createForComboBox(const QString &className, QObject *object)
{
    // Asked once per class up the object's class chain: subclasses such as the drive
    // list arrive here as "QComboBox" too.
    if (className == QLatin1String("QComboBox") && object && object->isWidgetType())
        return new AccessibleComboBox(static_cast<QWidget *>(object));
    return nullptr;
}
} // namespace

AccessibleComboBox::AccessibleComboBox(QWidget *widget)
    : QAccessibleWidget(widget, QAccessible::ComboBox)
{
    addControllingSignal(QStringLiteral("activated(int)"));
}

void AccessibleComboBox::install()
{
    // Qt keeps a factory only once and asks the last installed first, before its own.
    QAccessible::installFactory(createForComboBox);
}

QComboBox *AccessibleComboBox::comboBox() const
{
    return static_cast<QComboBox *>(widget());
}

QString AccessibleComboBox::text(QAccessible::Text t) const
{
    const QString value
        = comboBox()->isEditable() ? comboBox()->lineEdit()->text() : comboBox()->currentText();
    switch (t) {
    case QAccessible::Name: {
        // The accessible name, else the caption whose buddy the box is; a box without
        // either is at least known by what it shows.
        const QString name = QAccessibleWidget::text(t);
        return name.isEmpty() ? value : name;
    }
    case QAccessible::Value:
        return value;
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State AccessibleComboBox::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.expandable = true;
    state.expanded = comboBox()->view()->isVisible();
    state.editable = comboBox()->isEditable();
    return state;
}

int AccessibleComboBox::childCount() const
{
    return comboBox()->isEditable() ? 2 : 1;
}

QAccessibleInterface *AccessibleComboBox::child(int index) const
{
    if (index == 0)
        return QAccessible::queryAccessibleInterface(comboBox()->view());
    if (index == 1 && comboBox()->isEditable())
        return QAccessible::queryAccessibleInterface(comboBox()->lineEdit());
    return nullptr;
}

int AccessibleComboBox::indexOfChild(const QAccessibleInterface *child) const
{
    if (!child)
        return -1;
    if (child->object() == comboBox()->view())
        return 0;
    if (comboBox()->isEditable() && child->object() == comboBox()->lineEdit())
        return 1;
    return -1;
}

QStringList AccessibleComboBox::actionNames() const
{
    return QAccessibleWidget::actionNames() << QAccessibleActionInterface::showMenuAction()
                                            << QAccessibleActionInterface::pressAction();
}

void AccessibleComboBox::doAction(const QString &actionName)
{
    if (actionName == QAccessibleActionInterface::showMenuAction()
        || actionName == QAccessibleActionInterface::pressAction()) {
        if (comboBox()->view()->isVisible())
            comboBox()->hidePopup();
        else
            comboBox()->showPopup();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}
