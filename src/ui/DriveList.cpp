#include "DriveList.h"

#include "ClassicLook.h"
#include "platform/Volumes.h"

#include <QAbstractItemView>
#include <QStyle>

DriveList::DriveList(Services &services, QWidget *parent)
    : QComboBox(parent), m_services(services), m_icon(ClassicLook::driveIcon())
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

QString DriveList::folder() const
{
    const QString root = drive();
    const QString folder = m_folders.value(root);
    return folder.isEmpty() ? Volumes::currentFolder(root) : folder;
}

void DriveList::showPopup()
{
    // Volumes come and go (a stick is plugged in): the list is read afresh whenever the
    // user is about to choose from it.
    const QSignalBlocker blocker(this);
    setCurrentIndex(indexOf(m_chosen, true));
    // A network drive's share may be longer than the box is wide: the list opens as wide
    // as its longest entry, as Windows' own drop-down lists do.
    const QFontMetrics metrics(view()->font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = qMax(widest, metrics.horizontalAdvance(itemText(i)));
    const int margins = 4 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8
                        + style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                        + 2 * view()->frameWidth();
    view()->setMinimumWidth(widest + iconSize().width() + margins);
    QComboBox::showPopup();
}

int DriveList::indexOf(const QString &path, bool afresh)
{
    // Reading the mounted volumes costs more than opening a small folder, so a folder on
    // the volume already known (the same device as its root) does without; one on a
    // volume mounted since shows on another device.
    const Services::Volume known = Services::volumeOf(path, m_volumes);
    if (!afresh && !known.root.isEmpty() && Volumes::isOnSameVolume(path, known.root))
        return findData(known.root);

    const QString selected = drive();
    clear();
    m_volumes = m_services.volumes();
    for (const Services::Volume &volume : std::as_const(m_volumes))
        addItem(m_icon, Volumes::text(volume), volume.root);
    const QString root = Services::volumeOf(path, m_volumes).root;
    int index = findData(root);
    if (index < 0)
        index = findData(selected);
    return index;
}

void DriveList::setDrive(const QString &path)
{
    const QString before = m_chosen;
    {
        const QSignalBlocker blocker(this);
        setCurrentIndex(indexOf(path, true));
        m_chosen = drive();
    }
    if (m_chosen != before)
        emit changed();
}

void DriveList::showDriveOf(const QString &path)
{
    const QSignalBlocker blocker(this);
    setCurrentIndex(indexOf(path, false));
    m_chosen = drive();
    if (!m_chosen.isEmpty())
        m_folders.insert(m_chosen, path);
}
