#pragma once

#include "platform/Directory.h"
#include "platform/FolderEntries.h"
#include "record/RecordFile.h"

#include <QHash>
#include <QList>
#include <QString>

// What in a folder would not read back as it was written, or is no record at all, judged
// as the window reads each file. Each problem has a keyword that stays the same for
// scripts, and a sentence for the user that says what the window would show or fill.
namespace RecordCheck {

struct Problem
{
    QString keyword;
    QString text;
};

// The values a record was written with, as far as its file name and its text tell:
// the password of its first line, the weight of its "#" line, and the name that is
// left of its file name when "(" weight ")" ".pas" is taken off. The inverse of what
// the create command composes, also where the window's take-back cuts by position.
struct Written
{
    QString name;
    QString weight;
    QString password;
    bool weighted = false; // the text has a "#" line
};
Written written(const QString &fileName, const QString &fileText);

// Names that one copy to Windows makes one (equal but for case), and names that look
// the same but differ in their Unicode normal form, among all names of a folder.
class Twins
{
public:
    explicit Twins(const Directory::Listing &names);
    void check(const Directory::Listing &names, qsizetype index, QList<Problem> *problems) const;

private:
    QHash<quint32, quint32> m_caseTwin; // index -> another index
    QHash<quint32, quint32> m_formTwin;
};

// What stands under the name, when it is not a regular file: nothing is read from it.
void checkKind(FolderEntries::Kind kind, QList<Problem> *problems);
// Our own temporary file, left by a save that did not end.
bool isTemporary(QStringView name);
// The name as such: Windows, invisible characters, the bytes it is stored in.
void checkName(QStringView carriedName, QList<Problem> *problems);
// A record as the window loaded it: its text, and what taking it back fills in.
void checkRecord(const QString &fileName, const RecordFile::Loaded &loaded,
                 QList<Problem> *problems);

} // namespace RecordCheck
