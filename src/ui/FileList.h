#pragma once

#include "platform/Directory.h"

#include <QListView>

class NameList;

// The record files of one folder, by name. A model behind a list view, so that a
// folder of many thousands of records opens without one widget item per file.
class FileList : public QListView
{
    Q_OBJECT
public:
    explicit FileList(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    // Lists the folder's regular files (and links to one) that match the pattern "*" +
    // an ending, such as "*.pas"; the ending matches in any case, and "*.*" takes all.
    void setPath(const QString &path);
    // The same, from the folder's regular files as they were just read (see
    // FolderList::takeFiles); a listing that was not read makes it read the folder.
    void setPath(const QString &path, Directory::Listing files);
    void setPattern(const QString &pattern);

    int listCount() const;
    QString fileName() const; // the highlighted file as shown, empty when none
    QString filePath() const; // the path that opens it, empty when none

signals:
    void fileClicked(); // the user highlighted a file

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void reload();
    QString ending() const;
    QModelIndex highlighted() const;

    NameList *m_model;
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
};
