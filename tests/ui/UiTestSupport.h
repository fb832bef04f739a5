#pragma once

#include "FakeServices.h"
#include "ui/DisplayBox.h"
#include "ui/DriveList.h"
#include "ui/FileList.h"
#include "ui/FolderList.h"
#include "ui/Quorvel1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using Shown = FakeServices::Shown;

// What the user saw, readable in a failed comparison.
inline char *toString(const Shown &shown)
{
    if (shown.beep)
        return qstrdup("beep");
    const QString text = QStringLiteral("message(\"%1\", %2, \"%3\")")
                             .arg(QString(shown.text).replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n")))
                             .arg(shown.style)
                             .arg(shown.title);
    return qstrdup(text.toUtf8().constData());
}

namespace UiTest {

inline const QString kTitle = QStringLiteral("確認!");
// 36 characters, the length every record password has.
inline const QString kPassword = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
inline const QString kOtherPassword = QStringLiteral("abcdefghijklmnopqrstuvwxyz9876543210");

inline bool writeBytes(const QString &path, const QByteArray &bytes,
                       const QDateTime &time = QDateTime())
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return false;
    return !time.isValid() || file.setFileTime(time, QFileDevice::FileModificationTime);
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline QString native(const QString &path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

// The window as the user meets it, shown, with its controls found by name.
struct Window
{
    Quorvel1 window;
    DriveList *Drive1 = find<DriveList>("Drive1");
    FolderList *Dir1 = find<FolderList>("Dir1");
    FileList *File1 = find<FileList>("File1");
    QLineEdit *Text1 = find<QLineEdit>("Text1");
    QLineEdit *Text2 = find<QLineEdit>("Text2");
    QLineEdit *Text6 = find<QLineEdit>("Text6");
    DisplayBox *Text3 = find<DisplayBox>("Text3");
    QComboBox *Combo1 = find<QComboBox>("Combo1");
    QCheckBox *Check1 = find<QCheckBox>("Check1");
    QCheckBox *Check2 = find<QCheckBox>("Check2");
    QCheckBox *Check3 = find<QCheckBox>("Check3");
    QPushButton *Command1 = find<QPushButton>("Command1");
    QPushButton *Command2 = find<QPushButton>("Command2");
    QPushButton *Command3 = find<QPushButton>("Command3");
    QPushButton *Command4 = find<QPushButton>("Command4");
    QPushButton *Command5 = find<QPushButton>("Command5");
    QLabel *Label1 = find<QLabel>("Label1");
    QLabel *Label8 = find<QLabel>("Label8");
    QLabel *Label9 = find<QLabel>("Label9");
    QLabel *Label12 = find<QLabel>("Label12");

    Window(FakeServices &services, const QString &folder) : window(services, folder)
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("window not exposed");
    }

    template <typename T> T *find(const char *name)
    {
        T *widget = window.findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }

    // A click on the check box's indicator, where the user aims.
    static void tick(QCheckBox *box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    void typeRecord(const QString &name, const QString &password, const QString &weight = {})
    {
        QTest::keyClicks(Text1, name);
        QTest::keyClicks(Text2, password);
        if (!weight.isEmpty())
            QTest::keyClicks(Combo1->lineEdit(), weight);
    }

    QStringList files() const
    {
        QStringList names;
        for (int row = 0; row < File1->model()->rowCount(); ++row)
            names << File1->model()->index(row, 0).data().toString();
        return names;
    }
    QModelIndex fileIndex(const QString &name) const
    {
        return File1->model()->index(int(files().indexOf(name)), 0);
    }
    // The Dir1 row of a folder shown in the list, either above the open folder or below it.
    QModelIndex folderIndex(const QString &path) const
    {
        const QString wanted = QDir::cleanPath(path);
        const int chain = Dir1->count() - Dir1->subfolderCount();
        for (int index = -chain; index < Dir1->subfolderCount(); ++index) {
            if (QDir::cleanPath(Dir1->entry(index)) == wanted)
                return Dir1->model()->index(chain + index, 0);
        }
        return {};
    }

    static void click(QAbstractItemView *view, const QModelIndex &index)
    {
        QVERIFY2(index.isValid(), "no such row");
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }
    // Press, release, the second press that the system reports as a double click, release.
    static void doubleClick(QAbstractItemView *view, const QModelIndex &index)
    {
        QVERIFY2(index.isValid(), "no such row");
        view->scrollTo(index);
        const QPoint at = view->visualRect(index).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    }
    void clickFile(const QString &name) { click(File1, fileIndex(name)); }
    void clickFolder(const QString &path) { click(Dir1, folderIndex(path)); }
    void openFolder(const QString &path) { doubleClick(Dir1, folderIndex(path)); }
};

} // namespace UiTest
