// What the window does on Windows only: drive letters and drives that are not ready, the
// input modes of the name and password boxes, and the date as Windows' settings write it.
// Under Wine, on a display of its own (tests/support/wine-desktop.sh).
#include "UiTestSupport.h"

#include <QApplication>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <windows.h>
#include <winioctl.h>
// imm.h relies on the types windows.h declares.
#include <imm.h>

#include <optional>

using namespace UiTest;

namespace {

// Drives of the test's own, made as Wine's configuration tool makes them: its mount manager
// links the letter to a host folder (which may be missing) and records the drive's type.
struct WineDrives
{
    using UnixName = char *(CDECL *)(LPCWSTR);
    const UnixName unixName = reinterpret_cast<UnixName>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    QList<wchar_t> defined;

    ~WineDrives()
    {
        for (const wchar_t letter : defined)
            define(letter, DRIVE_UNKNOWN, QByteArray()); // no target: removed
    }
    QByteArray hostPath(const QString &path) const
    {
        char *name = unixName(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()));
        const QByteArray result(name);
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    }
    bool define(wchar_t letter, UINT type, const QByteArray &target)
    {
        struct Drive
        {
            ULONG size, type, fsType;
            DWORD serial;
            ULONGLONG unixDevice;
            WCHAR letter;
            USHORT mountPointOffset, deviceOffset, labelOffset;
        } drive {};
        drive.type = type;
        drive.letter = WCHAR(letter);
        drive.mountPointOffset = target.isEmpty() ? 0 : USHORT(sizeof drive);
        QByteArray buffer = QByteArray(reinterpret_cast<const char *>(&drive), sizeof drive)
                            + (target.isEmpty() ? QByteArray() : target + '\0');
        reinterpret_cast<Drive *>(buffer.data())->size = ULONG(buffer.size());
        const HANDLE manager
            = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD returned = 0;
        const bool done
            = manager != INVALID_HANDLE_VALUE
              && DeviceIoControl(
                  manager, CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS),
                  buffer.data(), DWORD(buffer.size()), nullptr, 0, &returned, nullptr);
        CloseHandle(manager);
        if (done && !target.isEmpty())
            defined << letter;
        return done;
    }
};

QString rootOf(wchar_t letter)
{
    return QString(QChar(letter)) + ":/";
}

// The conversion mode of the input context of the widget's window; set first if asked.
DWORD conversion(QWidget *widget, std::optional<DWORD> set = {}, bool *open = nullptr)
{
    const HWND window = reinterpret_cast<HWND>(widget->window()->winId());
    const HIMC context = ImmGetContext(window);
    DWORD mode = 0, sentence = 0;
    ImmGetConversionStatus(context, &mode, &sentence);
    if (set)
        ImmSetConversionStatus(context, *set, sentence);
    ImmGetConversionStatus(context, &mode, &sentence);
    if (open)
        *open = ImmGetOpenStatus(context);
    ImmReleaseContext(window, context);
    return mode;
}

} // namespace

class WindowsDesktopTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void driveList();
    void driveNotReady_data();
    void driveNotReady();
    void inputModes_data();
    void inputModes();
    void dateText_data();
    void dateText();

private:
    // Four drives: fixed (label UMA, a record), optical without a disc, removable (a stick
    // labelled STICK), network (a share). False when they could not be made.
    bool makeDrives();

    std::optional<QTemporaryDir> m_dir;
    std::optional<FakeServices> m_services;
    std::optional<WineDrives> m_drives;
    QString m_start, m_server; // m_server: the folder of the share's server, under Wine's links
    wchar_t m_fixed = 0, m_optical = 0, m_removable = 0, m_network = 0;
};

void WindowsDesktopTest::init()
{
    QVERIFY(m_dir.emplace().isValid());
    m_services.emplace();
    m_start = QDir::cleanPath(m_dir->filePath("start"));
    QVERIFY(QDir().mkpath(m_start));
    QVERIFY(writeBytes(m_start + "/Start.pas", (kPassword + "\r\n").toLatin1()));
}

void WindowsDesktopTest::cleanup()
{
    m_drives.reset();
    if (!m_server.isEmpty())
        QDir(m_server).removeRecursively();
    m_server.clear();
}

bool WindowsDesktopTest::makeDrives()
{
    m_drives.emplace();
    if (!m_drives->unixName)
        return false;
    // Chosen once: Wine goes on counting a drive removed during the run as there.
    static const QList<wchar_t> letters = [] {
        QList<wchar_t> free;
        for (wchar_t letter = L'Y'; letter >= L'D' && free.size() < 4; --letter) {
            if (!(GetLogicalDrives() & (DWORD(1) << (letter - L'A'))))
                free.prepend(letter);
        }
        return free;
    }();
    if (letters.size() < 4)
        return false;
    m_fixed = letters[0], m_optical = letters[1], m_removable = letters[2], m_network = letters[3];
    const QString fixed = m_dir->filePath("fixed"), stick = m_dir->filePath("stick");
    // Wine reads a drive's label from this file in its root; a share is a folder below
    // Wine's drive links, dosdevices/unc/server/share, reached here through Z:, the host's root.
    const QByteArray links = m_drives->hostPath("C:\\").chopped(3);
    const QString server = "srv" + QString::number(GetCurrentProcessId());
    m_server = "Z:" + QString::fromUtf8(links) + "unc/" + server;
    return QDir().mkpath(fixed) && QDir().mkpath(stick) && QDir().mkpath(m_server + "/share")
           && writeBytes(fixed + "/.windows-label", "UMA")
           && writeBytes(stick + "/.windows-label", "STICK")
           && writeBytes(fixed + "/Fixed.pas", (kPassword + "\r\n").toLatin1())
           && m_drives->define(m_fixed, DRIVE_FIXED, m_drives->hostPath(fixed))
           && m_drives->define(m_optical, DRIVE_CDROM,
                               m_drives->hostPath(m_dir->filePath("no-disc")))
           && m_drives->define(m_removable, DRIVE_REMOVABLE, m_drives->hostPath(stick))
           && m_drives->define(m_network, DRIVE_REMOTE, "unc/" + server.toUtf8() + "/share");
}

// The letters in order, as the classic list wrote them, the open folder's drive selected;
// the removable drive without its label, as nothing is read from it before it is chosen.
// A drive chosen opens at its current folder (its root here), paths shown with "\".
void WindowsDesktopTest::driveList()
{
    if (!WineDrives().unixName)
        QSKIP("drives of the test's own need Wine's mount manager");
    QVERIFY(makeDrives());
    Window w(*m_services, m_start);
    QStringList texts, roots;
    for (int i = 0; i < w.Drive1->count(); ++i)
        texts << w.Drive1->itemText(i), roots << w.Drive1->itemData(i).toString();
    QStringList sorted = roots;
    sorted.sort();
    QCOMPARE(roots, sorted);
    QCOMPARE(w.Drive1->drive(), QStringLiteral("C:/"));
    const auto text = [&](wchar_t letter) { return texts.value(roots.indexOf(rootOf(letter))); };
    QCOMPARE(text(m_fixed), QString(QChar(m_fixed)).toLower() + ": [UMA]");
    QCOMPARE(text(m_optical), QString(QChar(m_optical)).toLower() + ":");
    QCOMPARE(text(m_removable), QString(QChar(m_removable)).toLower() + ":");
    QCOMPARE(text(m_network), QString(QChar(m_network)).toLower() + ": [\\\\"
                                  + QDir(m_server).dirName() + "\\share]");

    w.Drive1->setCurrentIndex(int(roots.indexOf(rootOf(m_fixed))));
    emit w.Drive1->activated(w.Drive1->currentIndex());
    QVERIFY(m_services->shown.isEmpty());
    QCOMPARE(w.Dir1->path(), rootOf(m_fixed));
    QCOMPARE(w.files(), QStringList {"Fixed.pas"});
    w.clickFile("Fixed.pas");
    QCOMPARE(w.Text6->text(), QString(QChar(m_fixed)) + ":\\");
}

void WindowsDesktopTest::driveNotReady_data()
{
    QTest::addColumn<int>("chosen"); // 1 optical, 2 network
    QTest::addColumn<int>("program"); // the drive of the program's folder: 0 fixed, 1, 2
    QTest::addColumn<int>("messages"); // then back to the program's drive if 1, else to C:
    QTest::newRow("optical drive without a disc") << 1 << 0 << 1;
    QTest::newRow("network drive, server gone") << 2 << 0 << 1;
    QTest::newRow("program's own drive not ready") << 1 << 2 << 2;
    QTest::newRow("program on the drive chosen") << 1 << 1 << 1;
}

// The user is told, and the list goes back to the drive of the program's own folder; when
// that one is not ready either, the user is told once more and the open folder stays.
void WindowsDesktopTest::driveNotReady()
{
    QFETCH(int, chosen);
    QFETCH(int, program);
    QFETCH(int, messages);
    if (!WineDrives().unixName)
        QSKIP("drives of the test's own need Wine's mount manager");
    QVERIFY(makeDrives());
    QVERIFY(QDir(m_server).removeRecursively()); // the server is gone
    const wchar_t letters[] = {m_fixed, m_optical, m_network};
    m_services->fakeApplicationPath = rootOf(letters[program]) + "Quorvel";
    Window w(*m_services, m_start);
    w.Drive1->setCurrentIndex(w.Drive1->findData(rootOf(letters[chosen])));
    emit w.Drive1->activated(w.Drive1->currentIndex());

    QList<Shown> expected;
    for (int i = 0; i < messages; ++i)
        expected << FakeServices::beepEvent()
                 << FakeServices::message("ドライブの準備ができていません！", Services::OkOnly,
                                          "Quorvel");
    QCOMPARE(m_services->shown, expected);
    const bool backToProgram = program == 0;
    QCOMPARE(w.Drive1->drive(), backToProgram ? rootOf(m_fixed) : QStringLiteral("C:/"));
    QCOMPARE(w.Dir1->path(), backToProgram ? rootOf(m_fixed) : m_start);
}

void WindowsDesktopTest::inputModes_data()
{
    QTest::addColumn<DWORD>("typing");
    QTest::addColumn<bool>("fromButton");
    QTest::newRow("romaji typing, from a box") << DWORD(IME_CMODE_ROMAN) << false;
    QTest::newRow("kana typing, from a box") << DWORD(0) << false;
    QTest::newRow("romaji typing, from a button") << DWORD(IME_CMODE_ROMAN) << true;
}

// The name box switches to full-width katakana, the password box to hiragana; how the user
// types (romaji or kana) stays, and the weight box leaves the mode as the user set it.
void WindowsDesktopTest::inputModes()
{
    QFETCH(DWORD, typing);
    QFETCH(bool, fromButton);
    Window w(*m_services, m_start);
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.Combo1->setEnabled(true);
    QWidget *before = fromButton ? static_cast<QWidget *>(w.Command5) : w.Combo1;
    bool open = false;
    const DWORD native = IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
    const std::pair<QWidget *, DWORD> boxes[] = {{w.Text1, native | IME_CMODE_KATAKANA | typing},
                                                 {w.Text2, native | typing},
                                                 {w.Combo1, typing}};
    for (const auto &[box, mode] : boxes) {
        w.Combo1->setFocus(Qt::TabFocusReason);
        conversion(w.Combo1, typing); // half-width letters
        before->setFocus(Qt::TabFocusReason);
        box->setFocus(Qt::TabFocusReason);
        QCOMPARE(conversion(box, {}, &open), mode);
        QVERIFY(open);
    }
}

void WindowsDesktopTest::dateText_data()
{
    QTest::addColumn<QString>("shortDate");
    QTest::addColumn<QString>("longTime");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    const QDateTime morning(QDate(2026, 12, 9), QTime(7, 40, 5)),
        evening(QDate(2026, 12, 8), QTime(20, 39, 47));
    QTest::newRow("Japanese Windows, morning") << "yyyy/MM/dd"
                                               << "H:mm:ss" << morning << "2026/12/09 7:40:05";
    QTest::newRow("Japanese Windows, evening") << "yyyy/MM/dd"
                                               << "H:mm:ss" << evening << "2026/12/08 20:39:47";
    QTest::newRow("Japanese with 午前/午後")
        << "yyyy/MM/dd"
        << "tt h:mm:ss" << evening << "2026/12/08 午後 8:39:47";
    QTest::newRow("the user's own formats") << "dd.MM.yyyy"
                                            << "HH' Uhr 'mm" << morning << "09.12.2026 07 Uhr 40";
}

// A record's date is the short date and the long time of the user's settings in Windows,
// under a Japanese user locale, and it fits its box.
void WindowsDesktopTest::dateText()
{
    QFETCH(QString, shortDate);
    QFETCH(QString, longTime);
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {}, date[128] = {}, clock[128] = {};
    GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    QCOMPARE(QString::fromWCharArray(locale), QStringLiteral("ja-JP"));
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTDATE, date, 128);
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIMEFORMAT, clock, 128);
    const auto restore = qScopeGuard([&] {
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, date);
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, clock);
    });
    QVERIFY(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE,
                           reinterpret_cast<LPCWSTR>(shortDate.utf16())));
    QVERIFY(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT,
                           reinterpret_cast<LPCWSTR>(longTime.utf16())));

    QVERIFY(writeBytes(m_start + "/Start.pas", (kPassword + "\r\n").toLatin1(), time));
    Window w(*m_services, m_start);
    w.clickFile("Start.pas");
    QCOMPARE(w.Label1->text(), "作成日　" + text);
    QVERIFY(w.Label1->sizeHint().width() <= w.Label1->width());
}

int main(int argc, char *argv[])
{
    // Input modes belong to Windows' own windows, not to the offscreen ones of the others.
    qputenv("QT_QPA_PLATFORM", "windows");
    QApplication app(argc, argv);
    WindowsDesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowsdesktop.moc"
