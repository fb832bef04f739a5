#include "DriveList.h"

#include "ClassicLook.h"

#include <QDir>

DriveList::DriveList(Services &services, QWidget *parent) : QComboBox(parent), m_services(services)
{
    // Picking the volume that is already chosen changes nothing, so it must not
    // reopen its root.
    connect(this, &QComboBox::activated, this, [this] {
        if (drive() != m_chosen) {
            m_chosen = drive();
            emit changed();
        }
    });
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
    const QList<Services::Volume> volumes = m_services.volumes();
    for (const Services::Volume &volume : volumes) {
        QString text = QDir::toNativeSeparators(volume.root);
        if (!volume.name.isEmpty() && volume.name != volume.root)
            text += QStringLiteral("  [") + volume.name + u']';
        addItem(ClassicLook::driveIcon(), text, volume.root);
    }
    const QString root = Services::volumeOf(path, volumes).root;
    int index = findData(root);
    if (index < 0)
        index = findData(selected);
    return index;
}

void DriveList::setDrive(const QString &path)
{
    const QString before = m_chosen;
    showDriveOf(path);
    if (m_chosen != before)
        emit changed();
}

void DriveList::showDriveOf(const QString &path)
{
    const QSignalBlocker blocker(this);
    setCurrentIndex(indexOf(path));
    m_chosen = drive();
}
