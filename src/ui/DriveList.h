#pragma once

#include "platform/Services.h"

#include <QComboBox>
#include <QIcon>

// The drive list: drive letters on Windows, elsewhere the mounted volumes a person
// would pick from, each shown with its root and name.
class DriveList : public QComboBox
{
    Q_OBJECT
public:
    explicit DriveList(Services &services, QWidget *parent = nullptr);

    void showPopup() override;

    QString drive() const; // root of the selected volume
    // Selects the volume that holds path and emits changed() when that is another one.
    void setDrive(const QString &path);
    // Selects the volume that holds path without telling anyone.
    void showDriveOf(const QString &path);

signals:
    void changed();

private:
    int indexOf(const QString &path, bool afresh);

    Services &m_services;
    QList<Services::Volume> m_volumes; // as last read
    QString m_chosen; // the volume as last chosen or shown
    QIcon m_icon; // made once: the list is filled again whenever it opens
};
