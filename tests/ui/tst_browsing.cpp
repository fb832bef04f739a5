// Finding records with the drive, folder and file lists, and what a click on a
// record shows; also what the lists do when the disk changes under them.
#include "TestEntries.h"
#include "UiTestSupport.h"

#include "platform/AnsiCodec.h"
#include "platform/Directory.h"
#include "platform/NameOrder.h"
#include "record/RecordFile.h"

#include <QCollator>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace UiTest;

namespace {
const QString folderUnusable = QStringLiteral("フォルダを開けませんでした！\r\n");
const QString noFolderChosen = QStringLiteral("New.pasを保存できませんでした！\r\n"
                                              "ファイル作成指定フォルダが選ばれていません");

// A chain of folders at where, deeper than a path may reach; its path, empty on failure.
QString makeDeeperThanPaths(const QString &where)
{
#ifdef Q_OS_WIN
    Q_UNUSED(where);
    return {};
#else
    // Made one step at a time, as no path may name it whole.
    QString path = where;
    const QByteArray step(200, 'd');
    int at = -1;
    if (::mkdir(QFile::encodeName(where).constData(), 0700) != 0
        || (at = ::open(QFile::encodeName(where).constData(), O_RDONLY | O_DIRECTORY)) < 0)
        return {};
    while (path.size() <= PATH_MAX) {
        const int next = ::mkdirat(at, step.constData(), 0700) == 0
                             ? ::openat(at, step.constData(), O_RDONLY | O_DIRECTORY)
                             : -1;
        ::close(at);
        if ((at = next) < 0)
            return {};
        path += u'/' + QString::fromLatin1(step);
    }
    ::close(at);
    return path;
#endif
}

// The system's own comparison of two names, one at a time, as the file manager's order:
// Windows' CompareStringEx, elsewhere Qt's collator; names it takes as equal by their
// code units.
bool systemComesBefore(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    const int result = ::CompareStringEx(
        LOCALE_NAME_USER_DEFAULT, LINGUISTIC_IGNORECASE | SORT_DIGITSASNUMBERS,
        reinterpret_cast<const wchar_t *>(a.utf16()), int(a.size()),
        reinterpret_cast<const wchar_t *>(b.utf16()), int(b.size()), nullptr, nullptr, 0);
    return result == CSTR_EQUAL || result == 0 ? a < b : result == CSTR_LESS_THAN;
#else
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const int result = collator.compare(a, b);
    return result == 0 ? a < b : result < 0;
#endif
}

Directory::Listing listingOf(const QStringList &names)
{
    Directory::Listing listing;
    for (const QString &name : names) {
        listing.text += name;
        listing.ends.append(quint32(listing.text.size()));
    }
    listing.ok = true;
    return listing;
}
} // namespace

class BrowsingTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void clickHighlightsFolder();
    void openFolder_data();
    void openFolder();
    void createWritesIntoHighlightedFolder();
    void newRecordShowsAfterReopening_data();
    void newRecordShowsAfterReopening();
    void sameFolderOpenedAgain();
    void namesStartingWithColon();
    void fileClick_data();
    void fileClick();
    void chooseVolume();
    void volumeMountedSinceShowsWhenTheListOpens();
    void volumeNotReady_data();
    void volumeNotReady();
    void volumeRefused();
    void volumeReopensItsLastFolder();
    void deletedRecord();
    void deletedOpenFolder_data();
    void deletedOpenFolder();
    void startInDeletedFolder_data();
    void startInDeletedFolder();
    void namesShownAsPlainText();
    void hugeBinaryRecord_data();
    void hugeBinaryRecord();
    void listing_data();
    void listing();
    void listingOrder();
    void nameOrder_data();
    void nameOrder();
    void codePageNamesOpen();
    void hiddenFolderOpen();

private:
    QString make(const QString &relative) const
    {
        const QString path = QDir(m_dir->path()).filePath(relative);
        QDir().mkpath(path);
        return QDir::cleanPath(path);
    }
    static QString in(const QString &folder, const QString &name) { return QDir(folder).filePath(name); }
    static void record(const QString &folder, const QString &name, const QString &text = kPassword + "\r\n")
    {
        QVERIFY(writeBytes(in(folder, name), text.toLatin1()));
    }

    std::optional<QTemporaryDir> m_dir;
    std::optional<FakeServices> m_services;
    QString m_start;  // start folder: one record, a subfolder "sub" with two
    QString m_sub;
};

void BrowsingTest::init()
{
    QVERIFY(m_dir.emplace().isValid());
    m_services.emplace();
    m_start = make("start");
    m_sub = make("start/sub");
    make("start/other");
    record(m_start, "Top.pas");
    record(m_sub, "One.pas");
    record(m_sub, "Two(55).pas", kPassword + "\r\n#55\r\n");
}

void BrowsingTest::clickHighlightsFolder()
{
    Window w(*m_services, m_start);
    w.clickFolder(m_sub);
    QCOMPARE(w.Text6->text(), native(m_sub));
    QCOMPARE(w.Dir1->path(), m_start);
    QCOMPARE(w.files(), QStringList{"Top.pas"});
    QCOMPARE(w.Label9->text(), QStringLiteral("1頭"));

    // Upward too: a click on a parent highlights it and opens nothing.
    w.clickFolder(m_dir->path());
    QCOMPARE(w.Text6->text(), native(m_dir->path()));
    QCOMPARE(w.Dir1->path(), m_start);
}

void BrowsingTest::openFolder_data()
{
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("double click") << false;
    QTest::newRow("arrow and Enter") << true;
}

void BrowsingTest::openFolder()
{
    QFETCH(bool, byKeyboard);
    Window w(*m_services, m_start);
    if (byKeyboard) {
        // "other" comes before "sub": the second entry below the open folder.
        QTest::keyClick(w.Dir1, Qt::Key_Down);
        QTest::keyClick(w.Dir1, Qt::Key_Down);
        QCOMPARE(w.Text6->text(), native(m_sub));
        QCOMPARE(w.files(), QStringList{"Top.pas"});
        QTest::keyClick(w.Dir1, Qt::Key_Return);
    } else {
        w.openFolder(m_sub);
    }
    QCOMPARE(w.Dir1->path(), m_sub);
    QCOMPARE(w.files(), (QStringList{"One.pas", "Two(55).pas"}));
    QCOMPARE(w.Label9->text(), QStringLiteral("2頭"));

    w.openFolder(m_dir->path());
    QCOMPARE(w.Dir1->path(), QDir::cleanPath(m_dir->path()));
    QCOMPARE(w.files(), QStringList{});
    QCOMPARE(w.Label9->text(), QStringLiteral("0頭"));
}

void BrowsingTest::createWritesIntoHighlightedFolder()
{
    Window w(*m_services, m_start);
    w.clickFolder(m_sub);
    w.typeRecord(QStringLiteral("New"), kPassword);
    QTest::mouseClick(w.Command2, Qt::LeftButton);

    QCOMPARE(fileBytes(in(m_sub, "New.pas")), (kPassword + "\r\n").toLatin1());
    QVERIFY(!QFile::exists(in(m_start, "New.pas")));
    QCOMPARE(w.Dir1->path(), m_start);
}

void BrowsingTest::newRecordShowsAfterReopening_data()
{
    QTest::addColumn<int>("depth"); // folders of 40 characters below the start folder
    QTest::newRow("in the start folder") << 0;
    // Beyond the 260 characters that plain Windows paths stop at.
    QTest::newRow("in a folder over 300 characters deep") << 8;
}

void BrowsingTest::newRecordShowsAfterReopening()
{
    QFETCH(int, depth);
    QString folder = m_start;
    for (int level = 0; level < depth; ++level)
        folder += u'/' + QString(40, QChar(u'a' + level));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(depth == 0 || QDir::toNativeSeparators(folder).size() > 300);
    if (depth > 0)
        record(folder, "Top.pas");
    const QString elsewhere = depth == 0 ? m_sub : QFileInfo(folder).path();

    Window w(*m_services, folder);
    w.typeRecord(QStringLiteral("New"), kPassword);
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(m_services->shown.value(0).text, QStringLiteral("New.pasを作成しました"));
    QVERIFY(QFile::exists(in(folder, "New.pas")));
    QCOMPARE(w.files(), QStringList{"Top.pas"});
    QCOMPARE(w.Label9->text(), QStringLiteral("1頭"));

    w.openFolder(elsewhere);
    w.openFolder(folder);
    QCOMPARE(w.files(), (QStringList{"New.pas", "Top.pas"}));
    QCOMPARE(w.Label9->text(), QStringLiteral("2頭"));
    w.clickFile("New.pas");
    QCOMPARE(w.Text3->text(), kPassword + "\r\n");
}

// The open folder's own row, opened again, lists what is in the folder now and leaves
// the open folder highlighted, whichever entry was highlighted before.
void BrowsingTest::sameFolderOpenedAgain()
{
    Window w(*m_services, m_start);
    const auto rows = [&w] {
        QStringList texts;
        for (int row = 0; row < w.Dir1->count(); ++row)
            texts << w.Dir1->item(row)->text() + u'|' + w.Dir1->item(row)->toolTip();
        return texts;
    };
    const QStringList before = rows();
    const int chain = w.Dir1->count() - w.Dir1->subfolderCount();
    w.clickFolder(m_sub);
    QVERIFY(QDir(m_start).rmdir(QStringLiteral("other")));
    make("start/new");
    make("start/new2");
    record(m_start, "Late.pas");

    w.openFolder(m_start);
    QCOMPARE(w.Dir1->path(), m_start);
    QCOMPARE(rows().mid(0, chain), before.mid(0, chain));
    QCOMPARE(w.Dir1->subfolderCount(), 3);
    QCOMPARE(w.Dir1->entry(0), in(m_start, "new"));
    QCOMPARE(w.Dir1->entry(2), in(m_start, "sub"));
    QCOMPARE(w.Dir1->count(), chain + 3);
    QCOMPARE(w.Dir1->listIndex(), -1);
    QCOMPARE(w.files(), (QStringList{"Late.pas", "Top.pas"}));
    QCOMPARE(w.Label9->text(), QStringLiteral("2頭"));

    // Then a subfolder opens as any other.
    w.openFolder(in(m_start, "new2"));
    QCOMPARE(w.Dir1->path(), in(m_start, "new2"));
    QCOMPARE(w.Dir1->count(), chain + 1);
}

// Qt reads a path that starts with ":" as one of its own resources; on disk such
// names are ordinary files and folders.
void BrowsingTest::namesStartingWithColon()
{
    const QString folder = m_start + QStringLiteral("/:厩舎");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeBytes(folder + QStringLiteral("/:馬.pas"), (kPassword + "\r\n").toLatin1()));
    Window w(*m_services, m_start);
    w.openFolder(folder);
    QCOMPARE(w.Dir1->path(), folder);
    QCOMPARE(w.files(), QStringList{QStringLiteral(":馬.pas")});
    w.clickFile(QStringLiteral(":馬.pas"));
    QVERIFY(m_services->shown.isEmpty());
    QCOMPARE(w.Text3->text(), kPassword + "\r\n");
}

void BrowsingTest::fileClick_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("takeBack");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QString>("length");
    const QString plain = kPassword + "\r\n";
    const QString weight = kPassword + "\r\n#55\r\n";
    QTest::newRow("plain, look only") << "One.pas" << false << plain << "" << "" << "";
    QTest::newRow("weight, look only") << "Two(55).pas" << false << weight << "" << "" << "";
    QTest::newRow("plain, take back") << "One.pas" << true << plain << "One" << "" << "38";
    QTest::newRow("weight, take back") << "Two(55).pas" << true << weight << "Two" << "55" << "43";
}

void BrowsingTest::fileClick()
{
    QFETCH(QString, fileName);
    QFETCH(bool, takeBack);
    QFETCH(QString, display);
    QFETCH(QString, name);
    QFETCH(QString, weight);
    QFETCH(QString, length);
    const QDateTime written(QDate(2001, 2, 3), QTime(4, 5, 6));
    QVERIFY(writeBytes(in(m_sub, fileName), display.toLatin1(), written));

    Window w(*m_services, m_sub);
    if (takeBack)
        Window::tick(w.Check1);
    // Boxes filled beforehand, weight mode off: only a take-back may change them.
    QTest::keyClicks(w.Text1, QStringLiteral("Old"));
    QTest::keyClicks(w.Text2, QStringLiteral("oldpass"));
    w.Combo1->setEditText(QStringLiteral("60"));
    w.clickFile(fileName);

    QVERIFY(m_services->shown.isEmpty());
    QCOMPARE(w.Label8->text(), fileName);
    QCOMPARE(w.Label1->text(), QStringLiteral("作成日　") + Quorvel1::dateText(written));
    QVERIFY2(w.Label1->text().contains(QStringLiteral("4:05:06")), qPrintable(w.Label1->text()));
    QCOMPARE(w.Text3->text(), display);
    QCOMPARE(w.Text1->text(), takeBack ? name : QStringLiteral("Old"));
    QCOMPARE(w.Text2->text(), takeBack ? kPassword : QStringLiteral("oldpass"));
    QCOMPARE(w.Combo1->currentText(), takeBack ? weight : QStringLiteral("60"));
    if (takeBack)
        QCOMPARE(w.Label12->text(), length);

    if (takeBack) {
        // What was taken back writes the same record again.
        m_services->answers = {Services::Ok};
        if (!weight.isEmpty())
            Window::tick(w.Check2);
        QTest::mouseClick(weight.isEmpty() ? w.Command2 : w.Command3, Qt::LeftButton);
        QCOMPARE(m_services->shown.last(),
                 FakeServices::message(fileName + "を上書き保存しました", Services::Information, kTitle));
        QCOMPARE(fileBytes(in(m_sub, fileName)), display.toLatin1());
    }
}

namespace {
// Three temporary folders that the window takes for volumes; the program's own is C.
struct Volumes
{
    QTemporaryDir dir;
    QString a = made("A"), b = made("B"), c = made("C");
    QString made(const char *name) const
    {
        QDir(dir.path()).mkpath(QLatin1String(name));
        return QDir::cleanPath(QDir(dir.path()).filePath(QLatin1String(name)));
    }
    void install(FakeServices &services) const
    {
        services.fakeVolumes = {{a, "Alpha"}, {b, "Beta"}, {c, "Gamma"}};
        services.fakeApplicationPath = QDir(c).filePath("app");
        QDir(c).mkpath("app");
    }
};
} // namespace

void BrowsingTest::volumeMountedSinceShowsWhenTheListOpens()
{
    Volumes volumes;
    volumes.install(*m_services);
    const QList<Services::Volume> before = m_services->fakeVolumes;
    m_services->fakeVolumes = {before[0], before[2]};
    Window w(*m_services, volumes.a);
    QCOMPARE(w.Drive1->count(), 2);

    // Folders on the volumes known are shown from what was read; a new one shows as soon
    // as the user opens the list to choose.
    m_services->fakeVolumes = before;
    w.Dir1->setPath(volumes.c);
    QCOMPARE(w.Drive1->count(), 2);
    QCOMPARE(w.Drive1->drive(), volumes.c);
    w.Drive1->showPopup();
    QCOMPARE(w.Drive1->count(), 3);
    QCOMPARE(w.Drive1->drive(), volumes.c);
    w.Drive1->hidePopup();
    QCOMPARE(w.Dir1->path(), volumes.c);
}

void BrowsingTest::chooseVolume()
{
    Volumes volumes;
    volumes.install(*m_services);
    record(volumes.b, "B1.pas");
    record(volumes.b, "B2.pas");
    QDir(volumes.b).mkdir("inB");

    Window w(*m_services, volumes.a);
    QCOMPARE(w.Drive1->count(), 3);
    QCOMPARE(w.Drive1->drive(), volumes.a);
    QTest::keyClick(w.Drive1, Qt::Key_Down);

    QVERIFY(m_services->shown.isEmpty());
    QCOMPARE(w.Drive1->drive(), volumes.b);
    QCOMPARE(w.Dir1->path(), volumes.b);
    QCOMPARE(w.Dir1->subfolderCount(), 1);
    QCOMPARE(w.files(), (QStringList{"B1.pas", "B2.pas"}));
    QCOMPARE(w.Label9->text(), QStringLiteral("2頭"));

    // Choosing the volume that is already chosen keeps the open folder.
    w.openFolder(QDir(volumes.b).filePath("inB"));
    QCOMPARE(w.Dir1->path(), QDir(volumes.b).filePath("inB"));
    emit w.Drive1->activated(w.Drive1->currentIndex());
    QCOMPARE(w.Dir1->path(), QDir(volumes.b).filePath("inB"));
}

void BrowsingTest::volumeNotReady_data()
{
    QTest::addColumn<bool>("applicationVolumeReady");
    QTest::addColumn<bool>("applicationOnChosenVolume");
    QTest::newRow("back to the program's volume") << true << false;
    QTest::newRow("program's volume not ready either") << false << false;
    QTest::newRow("program on the volume chosen") << false << true;
}

void BrowsingTest::volumeNotReady()
{
    QFETCH(bool, applicationVolumeReady);
    QFETCH(bool, applicationOnChosenVolume);
    Volumes volumes;
    volumes.install(*m_services);
    record(volumes.c, "C1.pas");
    record(volumes.a, "A1.pas");
    record(volumes.a, "A2.pas");
    const QString startFolder = QDir(volumes.a).filePath("deep");
    QDir(volumes.a).mkdir("deep");
    record(startFolder, "D1.pas");

    Window w(*m_services, startFolder);
    m_services->notReadyRoots = {volumes.b};
    if (!applicationVolumeReady)
        m_services->notReadyRoots << volumes.c;
    if (applicationOnChosenVolume)
        m_services->fakeApplicationPath = QDir(volumes.b).filePath("app");
    QTest::keyClick(w.Drive1, Qt::Key_Down);

    const QList<Shown> once{FakeServices::beepEvent(),
                            FakeServices::message("ドライブの準備ができていません！", Services::OkOnly, "Quorvel")};
    if (applicationVolumeReady) {
        QCOMPARE(m_services->shown, once);
        QCOMPARE(w.Dir1->path(), volumes.c);
        QCOMPARE(w.Drive1->drive(), volumes.c);
        QCOMPARE(w.files(), QStringList{"C1.pas"});
        QCOMPARE(w.Label9->text(), QStringLiteral("1頭"));
    } else {
        QCOMPARE(m_services->shown, applicationOnChosenVolume ? once : once + once);
        QCOMPARE(w.Dir1->path(), QDir::cleanPath(startFolder));
        QCOMPARE(w.Drive1->drive(), volumes.a);
        QCOMPARE(w.files(), QStringList{"D1.pas"});
        QCOMPARE(w.Label9->text(), QStringLiteral("1頭"));
    }

    // The list still works afterwards.
    m_services->shown.clear();
    m_services->notReadyRoots.clear();
    QTest::keyClick(w.Drive1, w.Drive1->currentIndex() == 0 ? Qt::Key_Down : Qt::Key_Up);
    QCOMPARE(w.Drive1->drive(), volumes.b);
    QCOMPARE(w.Dir1->path(), volumes.b);
    QCOMPARE(w.Label9->text(), QStringLiteral("0頭"));
    QVERIFY(m_services->shown.isEmpty());
}

// A drive that is there but refuses (no right to list it): nothing is said, and the list
// shows the drive of the folder still open.
void BrowsingTest::volumeRefused()
{
    Volumes volumes;
    volumes.install(*m_services);
    record(volumes.a, "A1.pas");
    Window w(*m_services, volumes.a);
    m_services->refusedRoots = {volumes.b};
    QTest::keyClick(w.Drive1, Qt::Key_Down);
    QVERIFY(m_services->shown.isEmpty());
    QCOMPARE(w.Drive1->drive(), volumes.a);
    QCOMPARE(w.Dir1->path(), volumes.a);
    QCOMPARE(w.files(), QStringList{"A1.pas"});
}

// Each drive keeps the folder last open on it during the run, as Windows keeps a current
// folder per drive: back on a drive, the user is where they left it.
void BrowsingTest::volumeReopensItsLastFolder()
{
    Volumes volumes;
    volumes.install(*m_services);
    const QString deepA = QDir(volumes.a).filePath("x/y");
    const QString inB = QDir(volumes.b).filePath("inB");
    QVERIFY(QDir().mkpath(deepA) && QDir().mkpath(inB));
    record(inB, "B1.pas");
    Window w(*m_services, deepA);

    QTest::keyClick(w.Drive1, Qt::Key_Down);
    QCOMPARE(w.Dir1->path(), volumes.b);
    w.openFolder(inB);
    QTest::keyClick(w.Drive1, Qt::Key_Up);
    QCOMPARE(w.Dir1->path(), deepA);
    QTest::keyClick(w.Drive1, Qt::Key_Down);
    QCOMPARE(w.Dir1->path(), inB);
    QCOMPARE(w.files(), QStringList{"B1.pas"});

    // A folder removed since gives way to what is left of it, and the user is told.
    QVERIFY(QDir(deepA).removeRecursively());
    QTest::keyClick(w.Drive1, Qt::Key_Up);
    QCOMPARE(w.Dir1->path(), QDir(volumes.a).filePath("x"));
    QCOMPARE(m_services->shown.size(), 2);
    QVERIFY(m_services->shown[1].text.startsWith(folderUnusable));
    QCOMPARE(w.Text6->text(), QString());
}

void BrowsingTest::deletedRecord()
{
    record(m_sub, "Gone.pas", kOtherPassword + "\r\n");
    Window w(*m_services, m_sub);
    w.clickFile("One.pas");
    const QString label1 = w.Label1->text();
    QVERIFY(QFile::remove(in(m_sub, "Gone.pas")));

    w.clickFile("Gone.pas");
    QCOMPARE(m_services->shown.size(), 2);
    QCOMPARE(m_services->shown[0], FakeServices::beepEvent());
    const Shown message = m_services->shown[1];
    QVERIFY2(message.text.startsWith("Gone.pasを読み込めませんでした！"), qPrintable(message.text));
    QCOMPARE(message.style, int(Services::Exclamation));
    QCOMPARE(message.title, kTitle);
    QCOMPARE(w.Label8->text(), QStringLiteral("One.pas"));
    QCOMPARE(w.Label1->text(), label1);
    QCOMPARE(w.Text3->text(), kPassword + "\r\n");

    w.clickFile("Two(55).pas");
    QCOMPARE(w.Label8->text(), QStringLiteral("Two(55).pas"));
    QCOMPARE(w.Text3->text(), kPassword + "\r\n#55\r\n");
    QCOMPARE(m_services->shown.size(), 2);
}

void BrowsingTest::deletedOpenFolder_data()
{
    QTest::addColumn<bool>("clickFile");
    QTest::newRow("click on a folder") << false;
    QTest::newRow("click on a record") << true;
}

void BrowsingTest::deletedOpenFolder()
{
    QFETCH(bool, clickFile);
    const QString deep = make("start/sub/x/y");
    record(deep, "Deep.pas");
    Window w(*m_services, deep);
    QCOMPARE(w.files(), QStringList{"Deep.pas"});
    QVERIFY(QDir(in(m_sub, "x")).removeRecursively());

    if (clickFile)
        w.clickFile("Deep.pas");
    else
        w.clickFolder(deep);
    QCOMPARE(w.Dir1->path(), m_sub);
    QCOMPARE(w.files(), (QStringList{"One.pas", "Two(55).pas"}));
    QCOMPARE(w.Label9->text(), QStringLiteral("2頭"));
    QCOMPARE(m_services->shown.size(), 2);
    QCOMPARE(m_services->shown[1].text, folderUnusable + "フォルダが見つかりません: " + native(deep));
    QCOMPARE(w.Label8->text(), QString());
    QCOMPARE(w.Text6->text(), QString());

    // Shown, but not chosen: nothing is written there until the user chooses it.
    w.typeRecord("New", kPassword);
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(m_services->shown.last().text, noFolderChosen);
    QVERIFY(!QFileInfo::exists(in(m_sub, "New.pas")));

    w.clickFile("One.pas");
    QCOMPARE(w.Label8->text(), QStringLiteral("One.pas"));
}

void BrowsingTest::startInDeletedFolder_data()
{
    QTest::addColumn<QString>("deleted"); // made, started in, then removed, under start/sub
    QTest::addColumn<bool>("asCurrentFolder"); // the process's own current folder, as on start-up
    QTest::addColumn<QString>("reason"); // why it cannot be opened
    const QString notFound = QStringLiteral("フォルダが見つかりません: ");
    QTest::newRow("given folder gone") << "x" << false << notFound;
    QTest::newRow("given folder and its parent gone") << "x/y" << false << notFound;
    QTest::newRow("current folder gone") << "x" << true << notFound;
    QTest::newRow("current folder and its parent gone") << "x/y" << true << notFound;
    QTest::newRow("given path is a file") << "x" << false << QStringLiteral("フォルダではありません: ");
#ifndef Q_OS_WIN
    QTest::newRow("path longer than the system takes") << "x" << false << QStringLiteral("フォルダを開けません（");
#endif
}

void BrowsingTest::startInDeletedFolder()
{
    QFETCH(QString, deleted);
    QFETCH(bool, asCurrentFolder);
    QFETCH(QString, reason);
    const QString gone = make("start/sub/" + deleted);
    QString start = gone;
    const QString before = QDir::currentPath();
#ifdef Q_OS_WIN
    if (asCurrentFolder)
        QSKIP("Windows keeps a program's current folder from being removed");
#endif
    if (asCurrentFolder)
        QVERIFY(QDir::setCurrent(gone));
    QVERIFY(QDir(in(m_sub, "x")).removeRecursively());
    if (asCurrentFolder) {
        start = Services::startFolder();
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(start, gone);
    }
    if (QTest::currentDataTag() == QLatin1String("given path is a file"))
        record(m_sub, "x");
    const auto removeDeep = qScopeGuard([&] {
        // Deeper than paths reach, so beyond what QDir can remove.
        if (reason.endsWith(u'（'))
            QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), in(m_sub, "x")});
    });
    if (reason.endsWith(u'（'))
        start = makeDeeperThanPaths(in(m_sub, "x"));
    QVERIFY(!start.isEmpty());

    Window w(*m_services, start);
    // Said once the window is there, and only then.
    QTRY_COMPARE(m_services->shown.size(), 2);
    QCOMPARE(m_services->shown[0], FakeServices::beepEvent());
    QVERIFY2(m_services->shown[1].text.startsWith(folderUnusable + reason),
             qPrintable(m_services->shown[1].text));
    QCOMPARE(m_services->shown[1].style, int(Services::Exclamation));
    if (reason.endsWith(u'（')) {
        // The nearest folder above it that a path still reaches.
        QVERIFY(start.startsWith(w.Dir1->path() + u'/'));
        QVERIFY(w.Dir1->path().startsWith(in(m_sub, "x")));
    } else {
        QVERIFY(m_services->shown[1].text.endsWith(QDir::toNativeSeparators(start)));
        QCOMPARE(w.Dir1->path(), m_sub);
        // The chain from the root down to sub, then sub's subfolders (none left).
        QCOMPARE(w.Dir1->count(), int(m_sub.count(u'/')) + 1);
        QCOMPARE(w.files(), (QStringList{"One.pas", "Two(55).pas"}));
        QCOMPARE(w.Label9->text(), QStringLiteral("2頭"));
    }

    // The folder shown is nobody's choice: nothing is written there, nor anywhere else.
    w.typeRecord("New", kPassword);
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(m_services->shown.last().text, noFolderChosen);
    QVERIFY(!QFileInfo::exists(in(w.Dir1->path(), "New.pas")));
    QCOMPARE(w.Text6->text(), QString());

    // Chosen, it is written.
    w.clickFolder(w.Dir1->path());
    QCOMPARE(w.Text6->text(), QDir::toNativeSeparators(w.Dir1->path()));
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(m_services->shown.last().text, QStringLiteral("New.pasを作成しました"));
    QCOMPARE(fileBytes(in(w.Dir1->path(), "New.pas")), (kPassword + "\r\n").toLatin1());
}

void BrowsingTest::namesShownAsPlainText()
{
#ifdef Q_OS_WIN
    QSKIP("Windows names cannot hold < or >");
#endif
    record(m_start, "<b>x.pas");
    Window w(*m_services, m_start);
    w.clickFile("<b>x.pas");
    QCOMPARE(w.Label8->text(), QStringLiteral("<b>x.pas"));
    // As markup the label would need only the room of a bold "x.pas".
    const QFontMetrics metrics(w.Label8->font());
    QVERIFY(w.Label8->sizeHint().width() >= metrics.horizontalAdvance(w.Label8->text()));
}

void BrowsingTest::hugeBinaryRecord_data()
{
    QTest::addColumn<bool>("takeBack");
    QTest::newRow("look only") << false;
    QTest::newRow("take back") << true;
}

void BrowsingTest::hugeBinaryRecord()
{
    QFETCH(bool, takeBack);
    QRandomGenerator random(1108);
    QByteArray bytes(200 * 1024, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = i % 97 == 0 ? '\0' : char(random.bounded(256));
    QVERIFY(writeBytes(in(m_sub, "Big.pas"), bytes));

    Window w(*m_services, m_sub);
    if (takeBack)
        Window::tick(w.Check1);
    w.clickFile("Big.pas");

    const QString expected = RecordFile::displayText(AnsiCodec::decode(bytes.left(64 * 1024)));
    QVERIFY(m_services->shown.isEmpty());
    QCOMPARE(w.Label8->text(), QStringLiteral("Big.pas"));
    QCOMPARE(w.Text3->text().size(), expected.size());
    QVERIFY(w.Text3->text() == expected);
    if (takeBack) {
        QCOMPARE(w.Text1->text(), QStringLiteral("Big"));
        QCOMPARE(w.Label12->text(), QString::number(expected.size()));
    }

    w.clickFile("One.pas");
    QCOMPARE(w.Text3->text(), kPassword + "\r\n");
}

// Entries made under their raw bytes, as an archive from Japanese Windows leaves them.
static TestEntries::Made makeRaw(const QString &folder, const QByteArray &name, const QString &kind)
{
    using namespace TestEntries;
    const QString path = QDir(folder).filePath(QString::fromUtf8(name));
    if (kind == "folder")
        return TestEntries::folder(folder, name);
    if (kind == "system folder" || kind == "hidden system folder") {
        const Made made = TestEntries::folder(folder, name);
        return made == Made::Yes ? markSystem(path, kind.startsWith(u"hidden")) : made;
    }
    if (kind == "folder link")
        return link(QFileInfo(folder).absolutePath(), path, true);
    if (kind == "fifo")
        return fifo(path);
    if (kind == "link" || kind == "dangling") {
        const QString target = QDir(folder).filePath("target.record");
        if (kind == "link" && !writeBytes(target, (kPassword + "\r\n").toLatin1()))
            return Made::Failed;
        return link(target, path, false);
    }
    return file(folder, name, (kPassword + "\r\n").toLatin1());
}

void BrowsingTest::listing_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("listed"); // empty when the entry must not be listed
    QTest::addColumn<bool>("subfolder"); // whether Dir1 lists it (unless hidden), from the same read

    const QByteArray hayate = "\x83\x6E\x83\x84\x83\x65.pas"; // ハヤテ in code page 932
    QTest::newRow("code page 932 name") << hayate << "file" << "ハヤテ.pas" << false;
    QTest::newRow("UTF-8 name") << QStringLiteral("ハヤテ.pas").toUtf8() << "file" << "ハヤテ.pas"
                                << false;
    // Its second UTF-16 unit, DC89, must not be taken for an escaped raw byte.
    QTest::newRow("name beyond the BMP") << QByteArray("\xF0\xA0\x82\x89.pas") << "file"
                                         << QStringLiteral("\U00020089.pas") << false;
    QTest::newRow("dot name") << QByteArray(".A.pas") << "file" << ".A.pas" << false;
    // Left out where the system hides them: on Unix, not on Windows (but under Wine).
    QTest::newRow("dot folder") << QByteArray(".cache") << "folder" << "" << true;
    QTest::newRow("dot link to a folder") << QByteArray(".x") << "folder link" << "" << true;
    QTest::newRow("dot folder named x.pas") << QByteArray(".x.pas") << "folder" << "" << true;
    QTest::newRow("ending in capitals") << QByteArray("B.PAS") << "file" << "B.PAS" << false;
    QTest::newRow("ending in mixed case") << QByteArray("C.Pas") << "file" << "C.Pas" << false;
    QTest::newRow("other ending") << QByteArray("D.pass") << "file" << "" << false;
    QTest::newRow("folder named x.pas") << QByteArray("x.pas") << "folder" << "" << true;
    // As Explorer shows them: a folder marked system alone is there, a hidden one is not.
    QTest::newRow("system folder") << QByteArray("Desktop") << "system folder" << "" << true;
    QTest::newRow("hidden system folder")
        << QByteArray("System Volume Information") << "hidden system folder" << "" << true;
    QTest::newRow("link to a folder") << QByteArray("x.pas") << "folder link" << "" << true;
    QTest::newRow("FIFO named x.pas") << QByteArray("x.pas") << "fifo" << "" << false;
    QTest::newRow("link to a record") << QByteArray("x.pas") << "link" << "x.pas" << false;
    QTest::newRow("dangling link") << QByteArray("x.pas") << "dangling" << "" << false;
}

void BrowsingTest::listing()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, kind);
    QFETCH(QString, listed);
    QFETCH(bool, subfolder);
    const QString folder = make("list");
    // QTemporaryDir cannot remove what it cannot name.
    const auto removeRaw = qScopeGuard([&] { TestEntries::remove(folder, name); });
    QUORVEL_MAKE(makeRaw(folder, name, kind));
    if (TestEntries::isHiddenFolder(QDir(folder).filePath(QString::fromUtf8(name))))
        subfolder = false;

    Window w(*m_services, folder);
    QCOMPARE(w.files(), listed.isEmpty() ? QStringList() : QStringList{listed});
    QCOMPARE(w.Label9->text(), QString::number(listed.isEmpty() ? 0 : 1) + "頭");
    QCOMPARE(w.Dir1->subfolderCount(), subfolder ? 1 : 0);
    if (subfolder)
        QCOMPARE(QFileInfo(w.Dir1->entry(0)).fileName(), QString::fromUtf8(name));
    if (listed.isEmpty())
        return;
    w.clickFile(listed);
    QVERIFY(m_services->shown.isEmpty());
    QCOMPARE(w.Label8->text(), listed);
    QCOMPARE(w.Text3->text(), kPassword + "\r\n");
}

// As a file manager sorts, for records and folders alike: case aside, numbers by value.
// As it shows them too: the record ".dot.pas" is there, and the folder ".dot" where the
// system does not hide it.
void BrowsingTest::listingOrder()
{
    const QString folder = make("order");
    for (const char *name : {"b", "10", "A", "2", ".dot"}) {
        record(folder, QString::fromLatin1(name) + ".pas");
        make(QStringLiteral("order/") + QString::fromLatin1(name));
    }
    // Files that are not records, between the records in the folder's own order.
    for (const char *name : {"x.txt", "Z.PAS", "y.pass", "pas"})
        record(folder, QString::fromLatin1(name));
    Window w(*m_services, folder);
    QCOMPARE(w.files(), (QStringList{".dot.pas", "2.pas", "10.pas", "A.pas", "b.pas", "Z.PAS"}));
    QStringList folders;
    for (int index = 0; index < w.Dir1->subfolderCount(); ++index)
        folders << QFileInfo(w.Dir1->entry(index)).fileName();
    QStringList shown;
    for (const char *name : {".dot", "2", "10", "A", "b"}) {
        if (!TestEntries::isHiddenFolder(in(folder, QString::fromLatin1(name))))
            shown << QString::fromLatin1(name);
    }
    QCOMPARE(folders, shown);
}

// The lists' order is the system's own comparison of each pair, however the names are
// sorted to get there, and whatever order the folder gave them in.
void BrowsingTest::nameOrder_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::newRow("kana") << QStringList{"ウマ", "うま", "ｳﾏ", "ハヤテ", "バヤテ", "パヤテ", "ヴ", "ウ",
                                         "ウマー", "ウマ2", "ウマ10", "ｳﾏ3"};
    QTest::newRow("kanji") << QStringList{"駿馬", "馬", "厩舎", "厩", "漢字2", "漢字10", "一", "龍"};
    QTest::newRow("digits half and full width")
        << QStringList{"9", "１０", "10", "９", "2", "２", "a9", "a10", "a１０", "ａ9"};
    QTest::newRow("long digit runs")
        << QStringList{"12345678901234567890", "99999999999999999999", "100000000000000000000",
                       "123456789012345678901234567890", "ウマ18446744073709551616",
                       "ウマ18446744073709551615", "ウマ9"};
    QTest::newRow("leading zeros")
        << QStringList{"007", "7", "07", "0", "00", "010", "a010", "a9", "a09", "a0009"};
    QTest::newRow("equal but for case")
        << QStringList{"ABC.pas", "abc.pas", "Abc.pas", "aBc.PAS", "abd.pas", "ABB.pas"};
    QTest::newRow("equal but for width")
        << QStringList{"ＡＢＣ", "ABC", "ａｂｃ", "abc", "ｱｲｳ", "アイウ", "ABC１", "ABC1"};
    QTest::newRow("records") << QStringList{"ウマ1(55).pas", "ウマ1.pas", "ウマ(48).pas", "ウマ.pas",
                                            ".dot.pas", "ウマ 2.pas", "ウマ-2.pas", "ウマ_2.pas"};
}

void BrowsingTest::nameOrder()
{
    QFETCH(QStringList, names);
    // Our users' locale, also where the tests run without one.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
    QStringList expected = names;
    std::sort(expected.begin(), expected.end(), systemComesBefore);
    QStringList reversed = names;
    std::reverse(reversed.begin(), reversed.end());
    for (const QStringList &given : {names, reversed}) {
        const Directory::Listing listing = listingOf(given);
        QStringList sorted;
        for (const quint32 index : NameOrder::of(listing))
            sorted << listing.name(index).toString();
        QCOMPARE(sorted, expected);
    }
}

// A folder and a record named in code page 932 bytes show decoded, open, load and are
// taken back into the boxes under the decoded name.
void BrowsingTest::codePageNamesOpen()
{
    const QByteArray stable = *AnsiCodec::encode(QStringLiteral("厩舎"));
    QUORVEL_MAKE(makeRaw(m_start, stable, "folder"));
    const QByteArray name = *AnsiCodec::encode(QStringLiteral("ハヤテ(55).pas"));
    const QByteArray bytes = (kPassword + "\r\n#55\r\n").toLatin1();
    QVERIFY(TestEntries::file(m_start, stable + '/' + name, bytes) == TestEntries::Made::Yes);

    Window w(*m_services, m_start);
    const QList<QListWidgetItem *> items = w.Dir1->findItems(QStringLiteral("厩舎"), Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    Window::doubleClick(w.Dir1, w.Dir1->model()->index(w.Dir1->row(items.first()), 0));
    QCOMPARE(w.files(), QStringList{QStringLiteral("ハヤテ(55).pas")});
    QCOMPARE(w.Label9->text(), QStringLiteral("1頭"));

    Window::tick(w.Check1);
    w.clickFile(QStringLiteral("ハヤテ(55).pas"));
    QVERIFY(m_services->shown.isEmpty());
    QCOMPARE(w.Text6->text(), native(m_start + QStringLiteral("/厩舎")));
    QCOMPARE(w.Text3->text(), kPassword + "\r\n#55\r\n");
    QCOMPARE(w.Text1->text(), QStringLiteral("ハヤテ"));
    QCOMPARE(w.Combo1->currentText(), QStringLiteral("55"));
    QCOMPARE(w.Label8->text(), QStringLiteral("ハヤテ(55).pas"));

    // Created again, into the same folder, under the name as the program writes names.
    Window::tick(w.Check2);
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    QCOMPARE(m_services->shown,
             QList<Shown>{FakeServices::message(QStringLiteral("ハヤテ(55).pasを作成しました"),
                                                Services::Information, kTitle)});
    const QByteArray again = stable + '/' + QStringLiteral("ハヤテ(55).pas").toUtf8();
    QFile written;
    QString reason;
    QVERIFY(Directory::openForReading(
        written, Directory::pathName(QFile::encodeName(m_start) + '/' + again), &reason));
    QCOMPARE(written.readAll(), bytes);
    written.close();
    // QTemporaryDir cannot name what is in there.
    TestEntries::remove(m_start, again);
    TestEntries::remove(m_start, stable + '/' + name);
    TestEntries::remove(m_start, stable);
    QCOMPARE(QDir(m_start).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);
}

// A folder left out of its parent's list still shows in the chain of a folder inside it,
// and its records and its own subfolders are listed when it is open.
void BrowsingTest::hiddenFolderOpen()
{
    QString hidden;
    QString hiddenInside;
    QUORVEL_MAKE(TestEntries::hiddenFolder(m_start, QStringLiteral("config"), &hidden));
    QUORVEL_MAKE(TestEntries::hiddenFolder(hidden, QStringLiteral("cache"), &hiddenInside));
    const QString inside = hidden + QStringLiteral("/quorvel");
    QVERIFY(QDir().mkpath(inside));
    record(hidden, "Dot.pas");

    Window w(*m_services, inside);
    const int chain = w.Dir1->count() - w.Dir1->subfolderCount();
    QCOMPARE(w.Dir1->item(chain - 2)->text(), QFileInfo(hidden).fileName());
    QCOMPARE(w.Dir1->entry(-2), hidden);
    w.clickFolder(hidden);
    QCOMPARE(w.Text6->text(), native(hidden));

    w.openFolder(hidden);
    QCOMPARE(w.Dir1->path(), hidden);
    QCOMPARE(w.files(), QStringList{"Dot.pas"});
    QCOMPARE(w.Label9->text(), QStringLiteral("1頭"));
    QCOMPARE(w.Dir1->subfolderCount(), 1);
    QCOMPARE(w.Dir1->entry(0), inside);

    w.openFolder(m_start);
    QCOMPARE(w.Dir1->subfolderCount(), 2); // "other" and "sub"
}

QTEST_MAIN(BrowsingTest)
#include "tst_browsing.moc"
