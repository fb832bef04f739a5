// A create command under a failing Windows, call by call. create_once runs one command
// (a new record, or a replace answered OK) through the real code against a real folder,
// and counts the Win32 file calls the command makes through its import table. A first
// run lists them; then each row fails one of them with one error a user meets, or ends
// the process there. After every run the record is its old bytes (absent, for a new one)
// or the whole new record, the message says which, the record beside it is untouched, and
// a temporary file is left only by a killed process, for a later save to take away.
//
// The replace finds a day-old temporary file of an earlier crash, so that the clean-up
// on the way is swept too.

#include "SweepRecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

namespace {
const QString kStale = QStringLiteral(".quorvel-stale1.tmp");

constexpr int kKill = -1;
// What a user meets: a full disk, no right to, a virus scanner or backup holding the
// file, a removed stick or a lost server, a failing disk.
const QList<int> kFaults = {ERROR_DISK_FULL,
                            ERROR_ACCESS_DENIED,
                            ERROR_SHARING_VIOLATION,
                            ERROR_LOCK_VIOLATION,
                            ERROR_NOT_READY,
                            ERROR_IO_DEVICE,
                            ERROR_CRC,
                            kKill};

QString faultName(int fault)
{
    static const QMap<int, QString> names
        = {{ERROR_DISK_FULL, QStringLiteral("ERROR_DISK_FULL")},
           {ERROR_ACCESS_DENIED, QStringLiteral("ERROR_ACCESS_DENIED")},
           {ERROR_SHARING_VIOLATION, QStringLiteral("ERROR_SHARING_VIOLATION")},
           {ERROR_LOCK_VIOLATION, QStringLiteral("ERROR_LOCK_VIOLATION")},
           {ERROR_NOT_READY, QStringLiteral("ERROR_NOT_READY")},
           {ERROR_IO_DEVICE, QStringLiteral("ERROR_IO_DEVICE")},
           {ERROR_CRC, QStringLiteral("ERROR_CRC")},
           {ERROR_UNABLE_TO_MOVE_REPLACEMENT, QStringLiteral("ERROR_UNABLE_TO_MOVE_REPLACEMENT")},
           {kKill, QStringLiteral("TerminateProcess")}};
    return names.value(fault, QString::number(fault));
}

std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// One run of create_once.
struct Run
{
    QStringList calls; // the counted calls, in order
    QStringList shown; // the messages, in order
    bool killed = false;
    bool done = false;
    QString trouble; // what went wrong with the run itself
};

Run runOnce(const QString &folder, const QString &name, int at = -1, int fault = 0)
{
    QStringList arguments = {QDir::toNativeSeparators(folder), name, kPassword};
    if (at >= 0) {
        arguments << QStringLiteral("--at") << QString::number(at);
        arguments << (fault == kKill
                          ? QStringList {QStringLiteral("--kill")}
                          : QStringList {QStringLiteral("--fail"), QString::number(fault)});
    }
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/create_once.exe"),
                  arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        run.trouble = QStringLiteral("create_once did not finish");
        return run;
    }
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("call "))
            run.calls << QString::fromUtf8(line.mid(5));
        else if (line.startsWith("shown "))
            run.shown << QString::fromUtf8(line.mid(6))
                             .replace(QLatin1String("\\r\\n"), QLatin1String("\r\n"));
        else if (line == "killed")
            run.killed = true;
        else if (line == "done")
            run.done = true;
    }
    const int expected = run.killed ? 99 : 0;
    if (process.exitCode() != expected || (!run.killed && !run.done))
        run.trouble = QStringLiteral("create_once ended with %1: %2")
                          .arg(process.exitCode())
                          .arg(QString::fromLocal8Bit(process.readAllStandardError()));
    return run;
}

QByteArray bytesOf(const QString &path, bool *exists = nullptr)
{
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (exists)
        *exists = opened;
    return opened ? file.readAll() : QByteArray();
}

QStringList temporaries(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".quorvel-*.tmp")},
                                  QDir::Files | QDir::Hidden | QDir::System);
}

bool setAge(const QString &path, qint64 seconds)
{
    const HANDLE handle = ::CreateFileW(wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const qint64 ticks
        = ((qint64(now.dwHighDateTime) << 32) | now.dwLowDateTime) - seconds * 10000000;
    const FILETIME then {DWORD(ticks), DWORD(ticks >> 32)};
    const bool set = ::SetFileTime(handle, nullptr, nullptr, &then);
    ::CloseHandle(handle);
    return set;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

constexpr qint64 kTwoDays = 2 * 24 * 60 * 60;
} // namespace

class TestSaveSweepWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyCallFailsOrKills_data();
    void everyCallFailsOrKills();
    void cleanupTestCase();

private:
    QString prepare(const QString &name, bool replace);
    QString judge(const Run &run, const QString &folder, bool replace) const;
    QTemporaryDir m_base;
    QMap<bool, QStringList> m_counted;
    QMap<bool, QString> m_trouble;
    QMap<bool, int> m_runs;
    QMap<bool, int> m_held;
    QElapsedTimer m_timer;
};

void TestSaveSweepWin::initTestCase()
{
    QVERIFY(m_base.isValid());
    m_timer.start();
}

// A folder with a record beside ours and, for a replace, the old record and a temporary
// file that a crash left two days ago.
QString TestSaveSweepWin::prepare(const QString &name, bool replace)
{
    const QString folder = m_base.filePath(name);
    if (!QDir().mkpath(folder) || !writeFile(folder + u'/' + kBystander, kBystanderBytes))
        return {};
    if (replace
        && (!writeFile(folder + u'/' + kFile, kOldBytes)
            || !writeFile(folder + u'/' + kStale, "crashed\r\n")
            || !setAge(folder + u'/' + kStale, kTwoDays)))
        return {};
    return folder;
}

void TestSaveSweepWin::everyCallFailsOrKills_data()
{
    QTest::addColumn<bool>("replace");
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("fault");
    for (const bool replace : {false, true}) {
        const QString scenario = replace ? QStringLiteral("replace") : QStringLiteral("new");
        const QString folder = prepare(scenario + QStringLiteral("-count"), replace);
        const Run count = runOnce(folder, kName);
        const QString saved = kFile
                              + (replace ? QStringLiteral("を上書き保存しました")
                                         : QStringLiteral("を作成しました"));
        if (!count.trouble.isEmpty() || count.calls.isEmpty()
            || count.shown.value(replace ? 1 : 0) != saved) {
            // The row fails with what went wrong.
            m_trouble[replace] = count.trouble + QStringLiteral(" [shown: ")
                                 + count.shown.join(QLatin1String(" | ")) + u']';
            QTest::newRow(qPrintable(scenario + QStringLiteral(": counting the calls")))
                << replace << -1 << 0;
            continue;
        }
        m_counted[replace] = count.calls;
        for (int at = 0; at < count.calls.size(); ++at) {
            QList<int> faults = kFaults;
            // Without a backup name, Windows may remove the record and leave the new file
            // under its own name.
            if (count.calls[at] == QLatin1String("ReplaceFileW"))
                faults.append(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
            for (const int fault : std::as_const(faults))
                QTest::addRow("%s: %02d %s, %s", qPrintable(scenario), at,
                              qPrintable(count.calls[at]), qPrintable(faultName(fault)))
                    << replace << at << fault;
        }
    }
}

void TestSaveSweepWin::everyCallFailsOrKills()
{
    QFETCH(bool, replace);
    QFETCH(int, at);
    QFETCH(int, fault);
    QVERIFY2(at >= 0,
             qPrintable(QStringLiteral("the calls could not be counted: ") + m_trouble[replace]));
    const QString folder = prepare(
        QString::fromLatin1(QTest::currentDataTag())
            .replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-")),
        replace);
    QVERIFY(!folder.isEmpty());
    const Run run = runOnce(folder, kName, at, fault);
    const QStringList &counted = m_counted[replace];
    ++m_runs[replace];
    const QString wrong = run.calls.mid(0, at + 1) != counted.mid(0, at + 1)
                              ? QStringLiteral("another order of calls: ") + run.calls.join(u' ')
                              : judge(run, folder, replace);
    QVERIFY2(wrong.isEmpty(),
             qPrintable(wrong + QStringLiteral(" [shown: ")
                        + run.shown.join(QLatin1String(" | "))
                              .replace(QLatin1String("\r\n"), QLatin1String("\\r\\n"))
                        + u']'));
    ++m_held[replace];
    QDir(folder).removeRecursively();
}

// What is wrong after one run, or nothing.
QString TestSaveSweepWin::judge(const Run &run, const QString &folder, bool replace) const
{
    if (!run.trouble.isEmpty())
        return run.trouble;
    bool exists = false;
    const QByteArray bytes = bytesOf(folder + u'/' + kFile, &exists);
    const bool old = replace ? exists && bytes == kOldBytes : !exists;
    const bool whole = exists && bytes == kNewBytes;
    if (!old && !whole)
        return QStringLiteral("the record is neither the old one nor the whole new one");
    if (bytesOf(folder + u'/' + kBystander) != kBystanderBytes)
        return QStringLiteral("the record beside it changed");
    if (!run.killed) {
        // The reason is what happened: the file or folder is there, and is what it is.
        const QString wrong = judgeMessage(run.shown, kFile, replace, whole,
                                           {QStringLiteral("既にあります"),
                                            QStringLiteral("見つかりません"),
                                            QStringLiteral("ではありません")});
        if (!wrong.isEmpty())
            return wrong;
        QStringList left = temporaries(folder);
        left.removeOne(kStale);
        if (!left.isEmpty())
            return QStringLiteral("a temporary file left: ") + left.join(u' ');
    }
    // Whatever was left, a later save takes away once it is old.
    if (!temporaries(folder).isEmpty()) {
        for (const QString &name : temporaries(folder)) {
            if (!setAge(folder + u'/' + name, kTwoDays))
                return QStringLiteral("cannot age the temporary files");
        }
        const Run later = runOnce(folder, QStringLiteral("ウマ"));
        if (later.shown != QStringList {QStringLiteral("ウマ.pasを作成しました")}
            || !temporaries(folder).isEmpty())
            return QStringLiteral("a later save did not take the old temporary files away");
    }
    return {};
}

void TestSaveSweepWin::cleanupTestCase()
{
    for (const bool replace : {false, true}) {
        const QStringList &calls = m_counted[replace];
        qInfo().noquote() << QStringLiteral("%1: %2 calls counted (%3); %4 errors and a kill at "
                                            "each; %5 runs, %6 held")
                                 .arg(replace ? QStringLiteral("replace") : QStringLiteral("new"))
                                 .arg(calls.size())
                                 .arg(calls.join(u' '))
                                 .arg(kFaults.size() - 1)
                                 .arg(m_runs[replace])
                                 .arg(m_held[replace]);
    }
    qInfo().noquote() << QStringLiteral("%1 s in all").arg(m_timer.elapsed() / 1000.0, 0, 'f', 1);
}

QTEST_GUILESS_MAIN(TestSaveSweepWin)
#include "tst_savesweep_win.moc"
