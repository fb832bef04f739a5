#pragma once

#include "platform/Services.h"

#include <QComboBox>
#include <QHash>
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
    // The folder that choosing the selected volume opens: the one last shown on it in this
    // run, else the volume's current folder as the system has it.
    QString folder() const;
    // Selects the volume that holds path and emits changed() when that is another one.
    void setDrive(const QString &path);
    // Selects the volume that holds path, the folder now open, without telling anyone;
    // choosing that volume again later opens path.
    void showDriveOf(const QString &path);

signals:
    void changed();

private:
    int indexOf(const QString &path, bool afresh);

    Services &m_services;
    QList<Services::Volume> m_volumes; // as last read
    QString m_chosen; // the volume as last chosen or shown
    QHash<QString, QString> m_folders; // volume root -> the folder last open on it
    QIcon m_icon; // made once: the list is filled again whenever it opens
};
