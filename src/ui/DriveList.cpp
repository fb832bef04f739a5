#include "DriveList.h"

#include <QDir>

DriveList::DriveList(Services &services, QWidget *parent)
    : QComboBox(parent), m_services(services)
{
    connect(this, &QComboBox::activated, this, [this] { emit changed(); });
}

QString DriveList::drive() const
{
    return currentData().toString();
}

int DriveList::indexOf(const QString &path)
{
    // Volumes come and go (a stick is plugged in), so the list is read afresh.
    const QString selected = drive();
    clear();
    for (const Services::Volume &volume : m_services.volumes()) {
        QString text = QDir::toNativeSeparators(volume.root);
        if (!volume.name.isEmpty() && volume.name != volume.root)
            text += QStringLiteral("  [") + volume.name + u']';
        addItem(text, volume.root);
    }
    const QString root = m_services.volumeOf(path).root;
    int index = findData(root);
    if (index < 0)
        index = findData(selected);
    return index;
}

void DriveList::setDrive(const QString &path)
{
    const QString before = drive();
    showDriveOf(path);
    if (drive() != before)
        emit changed();
}

void DriveList::showDriveOf(const QString &path)
{
    const QSignalBlocker blocker(this);
    setCurrentIndex(indexOf(path));
}
