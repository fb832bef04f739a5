#pragma once

#include "Services.h"

#include <QList>
#include <QString>

// The drives (Windows) or mounted volumes (elsewhere) a person would choose from: what
// the drive list shows and what happens when one is chosen. Listing them never reads a
// drive whose medium may be missing or whose server may be asleep; only choosing one does.
namespace Volumes {

QList<Services::Volume> list();

// Whether the volume at root can be opened now. Touches the volume: called only when the
// user has chosen it.
Services::VolumeState state(const QString &root);

// The volume as the drive list shows it: "c: [ラベル]" on Windows, the root and its name
// elsewhere.
QString text(const Services::Volume &volume);

// The folder that choosing the volume opens when nothing on it has been opened in this
// run: on Windows the drive's current folder, which the system keeps one of per drive;
// elsewhere the root.
QString currentFolder(const QString &root);

// True when both paths are on one volume (one drive, one mounted file system); false
// where the system does not say.
bool isOnSameVolume(const QString &path, const QString &other);

// A drive without its medium then fails the call that touches it instead of the system
// asking the user to insert one. For the whole program, once at start.
void failWithoutAskingForMedia();

} // namespace Volumes
