#pragma once

#include <QListView>

class QStringListModel;

// The record files of one folder, by name. A model behind a list view, so that a
// folder of many thousands of records opens without one widget item per file.
class FileList : public QListView
{
    Q_OBJECT
public:
    explicit FileList(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    // Lists the folder's files that match the pattern; the extension matches in any case.
    void setPath(const QString &path);
    void setPattern(const QString &pattern);

    int listCount() const;
    QString fileName() const; // the highlighted file, empty when none

signals:
    void fileClicked(); // the user highlighted a file

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void reload();

    QStringListModel *m_model;
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
};
