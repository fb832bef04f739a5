// What the window does on Windows only: drive letters and drives that are not ready,
// the input modes of the name and password boxes, and the date as Windows' own settings
// write it. Run under Wine on a display (the input method needs real windows).
#include "UiTestSupport.h"

#include <QApplication>
#include <QTemporaryDir>

#include <windows.h>
#include <imm.h>
#include <winioctl.h>

#include <cstring>
#include <optional>

using namespace UiTest;

namespace {

// Drives of the test's own, made as Wine's configuration tool makes them: through Wine's
// mount manager, which links the letter to a host folder (which may be missing) and
// records the drive's type in Wine's registry. Removed again at the end.
class WineDrives
{
public:
    WineDrives()
    {
        const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        m_unixName = reinterpret_cast<UnixName>(
            reinterpret_cast<void *>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    }
    ~WineDrives()
    {
        for (const wchar_t letter : m_defined)
            define(letter, DRIVE_UNKNOWN, QByteArray());
    }

    bool available() const { return m_unixName != nullptr; }

    // The host's name of a Windows path.
    QByteArray hostPath(const QString &path) const
    {
        char *name = m_unixName(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()));
        const QByteArray result(name ? name : "");
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    }

    // Letters no drive has, from the end of the alphabet before Z (Wine's root).
    static QList<wchar_t> freeLetters(int wanted)
    {
        QList<wchar_t> letters;
        const DWORD used = GetLogicalDrives();
        for (wchar_t letter = L'Y'; letter >= L'D' && letters.size() < wanted; --letter) {
            if (!(used & (DWORD(1) << (letter - L'A'))))
                letters.prepend(letter);
        }
        return letters;
    }

    // target: a host path, or "unc/server/share" for a share; empty removes the drive.
    bool define(wchar_t letter, UINT type, const QByteArray &target)
    {
        struct Drive // as Wine's mount manager takes it
        {
            ULONG size;
            ULONG type;
            ULONG fsType;
            DWORD serial;
            ULONGLONG unixDevice;
            WCHAR letter;
            USHORT mountPointOffset;
            USHORT deviceOffset;
            USHORT labelOffset;
        };
        QByteArray buffer(sizeof(Drive), '\0');
        auto *drive = reinterpret_cast<Drive *>(buffer.data());
        drive->type = type;
        drive->letter = WCHAR(letter);
        if (!target.isEmpty()) {
            drive->mountPointOffset = USHORT(sizeof(Drive));
            buffer += target + '\0';
            drive = reinterpret_cast<Drive *>(buffer.data());
        }
        drive->size = ULONG(buffer.size());
        const HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        if (manager == INVALID_HANDLE_VALUE)
            return false;
        const DWORD defineDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
        DWORD returned = 0;
        const bool done = DeviceIoControl(manager, defineDrive, buffer.data(), DWORD(buffer.size()),
                                          nullptr, 0, &returned, nullptr);
        CloseHandle(manager);
        if (done && !target.isEmpty() && !m_defined.contains(letter))
            m_defined.append(letter);
        return done;
    }

private:
    using UnixName = char *(CDECL *)(LPCWSTR);
    UnixName m_unixName = nullptr;
    QList<wchar_t> m_defined;
};

QString rootOf(wchar_t letter)
{
    return QString(QChar(letter)) + QStringLiteral(":/");
}

QString lower(wchar_t letter)
{
    return QString(QChar(letter)).toLower();
}

// The user's date and time formats, changed for a test and put back afterwards.
class UserFormats
{
public:
    UserFormats() : m_date(get(LOCALE_SSHORTDATE)), m_time(get(LOCALE_STIMEFORMAT)) {}
    ~UserFormats() { set(m_date, m_time); }
    static bool set(const QString &date, const QString &time)
    {
        return SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, wide(date))
               && SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, wide(time));
    }

private:
    static LPCWSTR wide(const QString &text) { return reinterpret_cast<LPCWSTR>(text.utf16()); }
    static QString get(LCTYPE type)
    {
        wchar_t value[128] = {};
        GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, value, 128);
        return QString::fromWCharArray(value);
    }
    QString m_date, m_time;
};

struct Conversion
{
    bool open = false;
    DWORD mode = 0;
};

Conversion conversionOf(QWidget *widget)
{
    const HWND window = reinterpret_cast<HWND>(widget->window()->winId());
    const HIMC context = ImmGetContext(window);
    Conversion result;
    if (!context)
        return result;
    DWORD sentence = 0;
    result.open = ImmGetOpenStatus(context);
    ImmGetConversionStatus(context, &result.mode, &sentence);
    ImmReleaseContext(window, context);
    return result;
}

void setConversion(QWidget *widget, DWORD mode)
{
    const HWND window = reinterpret_cast<HWND>(widget->window()->winId());
    const HIMC context = ImmGetContext(window);
    QVERIFY2(context, "the window has no input context");
    DWORD current = 0, sentence = 0;
    ImmGetConversionStatus(context, &current, &sentence);
    QVERIFY(ImmSetConversionStatus(context, mode, sentence));
    ImmReleaseContext(window, context);
}

void choose(DriveList *list, const QString &root)
{
    const int index = list->findData(root);
    QVERIFY2(index >= 0, qPrintable(root));
    list->setCurrentIndex(index);
    emit list->activated(index);
}

} // namespace

class WindowsDesktopTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void driveList();
    void chooseDrive();
    void driveNotReady_data();
    void driveNotReady();
    void inputModes_data();
    void inputModes();
    void dateText_data();
    void dateText();

private:
    // A fixed drive with the label UMA and a record, an optical drive with no disc, a
    // removable drive with a stick labelled STICK, and a network drive on a share.
    // False when they could not be made (the test has failed then).
    bool makeDrives();
    void makeDrivesOf(WineDrives &drives);

    std::optional<QTemporaryDir> m_dir;
    std::optional<FakeServices> m_services;
    std::optional<WineDrives> m_drives;
    QString m_start;
    QString m_share; // the host folder behind the network drive's share
    wchar_t m_fixed = 0, m_optical = 0, m_removable = 0, m_network = 0;
};

void WindowsDesktopTest::init()
{
    QVERIFY(m_dir.emplace().isValid());
    m_services.emplace();
    m_start = QDir::cleanPath(m_dir->filePath("start"));
    QVERIFY(QDir().mkpath(m_start));
    QVERIFY(writeBytes(QDir(m_start).filePath("Start.pas"), (kPassword + "\r\n").toLatin1()));
}

void WindowsDesktopTest::cleanup()
{
    m_drives.reset();
    if (!m_share.isEmpty())
        QDir(m_share).removeRecursively();
    m_share.clear();
}

bool WindowsDesktopTest::makeDrives()
{
    m_drives.emplace();
    makeDrivesOf(*m_drives);
    return !QTest::currentTestFailed();
}

void WindowsDesktopTest::makeDrivesOf(WineDrives &drives)
{
    // Chosen once: Wine goes on counting a drive removed during the run as there.
    static const QList<wchar_t> letters = WineDrives::freeLetters(4);
    QCOMPARE(letters.size(), 4);
    m_fixed = letters[0];
    m_optical = letters[1];
    m_removable = letters[2];
    m_network = letters[3];

    const QString fixed = m_dir->filePath("fixed");
    const QString stick = m_dir->filePath("stick");
    QVERIFY(QDir().mkpath(fixed + "/sub") && QDir().mkpath(stick));
    // Wine reads a drive's label from this file in its root.
    QVERIFY(writeBytes(fixed + "/.windows-label", "UMA"));
    QVERIFY(writeBytes(stick + "/.windows-label", "STICK"));
    QVERIFY(writeBytes(fixed + "/Fixed.pas", (kPassword + "\r\n").toLatin1()));
    QVERIFY(writeBytes(fixed + "/sub/Sub.pas", (kPassword + "\r\n").toLatin1()));

    // A share is a folder below Wine's drive links, dosdevices/unc/server/share.
    const QString server = "srv" + QString::number(GetCurrentProcessId());
    const QByteArray links = drives.hostPath("C:\\").chopped(3); // ".../dosdevices/"
    QVERIFY(links.endsWith("dosdevices/"));
    // Wine's Z: is the host's root.
    m_share = "Z:" + QDir::cleanPath(QString::fromUtf8(links)) + "/unc/" + server;
    QVERIFY(QDir().mkpath(m_share + "/share"));

    QVERIFY(drives.define(m_fixed, DRIVE_FIXED, drives.hostPath(fixed)));
    QVERIFY(drives.define(m_optical, DRIVE_CDROM, drives.hostPath(m_dir->filePath("no-disc"))));
    QVERIFY(drives.define(m_removable, DRIVE_REMOVABLE, drives.hostPath(stick)));
    QVERIFY(drives.define(m_network, DRIVE_REMOTE, "unc/" + server.toUtf8() + "/share"));
}

// The letters in order, each as the classic list wrote it; the removable drive is listed
// without its label, as nothing is read from it before the user chooses it.
void WindowsDesktopTest::driveList()
{
    if (!WineDrives().available())
        QSKIP("drives of the test's own need Wine's mount manager");
    if (!makeDrives())
        return;
    Window w(*m_services, m_start);
    QStringList texts, roots;
    for (int i = 0; i < w.Drive1->count(); ++i) {
        texts << w.Drive1->itemText(i);
        roots << w.Drive1->itemData(i).toString();
    }
    QStringList sorted = roots;
    sorted.sort();
    QCOMPARE(roots, sorted);
    QCOMPARE(w.Drive1->drive(), QStringLiteral("C:/"));
    QCOMPARE(w.Drive1->currentText().left(2), QStringLiteral("c:"));
    const QString server = QDir(m_share).dirName();
    QVERIFY2(texts.contains(lower(m_fixed) + ": [UMA]"), qPrintable(texts.join(" | ")));
    QVERIFY2(texts.contains(lower(m_optical) + ":"), qPrintable(texts.join(" | ")));
    QVERIFY2(texts.contains(lower(m_removable) + ":"), qPrintable(texts.join(" | ")));
    QVERIFY2(texts.contains(lower(m_network) + ": [\\\\" + server + "\\share]"),
             qPrintable(texts.join(" | ")));
}

// A drive opens at its current folder, and again where the user left it.
void WindowsDesktopTest::chooseDrive()
{
    if (!WineDrives().available())
        QSKIP("drives of the test's own need Wine's mount manager");
    if (!makeDrives())
        return;
    Window w(*m_services, m_start);
    choose(w.Drive1, rootOf(m_fixed));
    QVERIFY(m_services->shown.isEmpty());
    QCOMPARE(w.Dir1->path(), rootOf(m_fixed));
    QCOMPARE(w.files(), QStringList{"Fixed.pas"});
    w.openFolder(rootOf(m_fixed) + "sub");
    QCOMPARE(w.files(), QStringList{"Sub.pas"});

    choose(w.Drive1, QStringLiteral("C:/"));
    QCOMPARE(w.Dir1->path(), m_start);
    choose(w.Drive1, rootOf(m_fixed));
    QCOMPARE(w.Dir1->path(), rootOf(m_fixed) + "sub");
    QCOMPARE(w.Label9->text(), QStringLiteral("1頭"));
    // Paths are shown as Windows writes them, a root's separator not doubled.
    w.clickFolder(rootOf(m_fixed));
    QCOMPARE(w.Text6->text(), QString(QChar(m_fixed)) + ":\\");
}

void WindowsDesktopTest::driveNotReady_data()
{
    QTest::addColumn<QString>("chosen");      // optical, network
    QTest::addColumn<QString>("program");     // the drive of the program's folder
    QTest::addColumn<int>("messages");
    QTest::addColumn<QString>("back");        // the drive the list goes back to
    QTest::newRow("optical drive without a disc") << "optical" << "fixed" << 1 << "fixed";
    QTest::newRow("network drive, server gone") << "network" << "fixed" << 1 << "fixed";
    QTest::newRow("program's own drive not ready") << "optical" << "network" << 2 << "start";
    QTest::newRow("program on the drive chosen") << "optical" << "optical" << 1 << "start";
}

// The user is told, and the list goes back to the drive of the program's own folder; when
// that one is not ready either, the user is told once more and the folder open stays.
void WindowsDesktopTest::driveNotReady()
{
    QFETCH(QString, chosen);
    QFETCH(QString, program);
    QFETCH(int, messages);
    QFETCH(QString, back);
    if (!WineDrives().available())
        QSKIP("drives of the test's own need Wine's mount manager");
    if (!makeDrives())
        return;
    QVERIFY(QDir(m_share).removeRecursively()); // the server is gone
    const auto letter = [this](const QString &name) {
        return name == "fixed" ? m_fixed : name == "optical" ? m_optical : m_network;
    };
    m_services->fakeApplicationPath = rootOf(letter(program)) + "Quorvel";
    Window w(*m_services, m_start);

    choose(w.Drive1, rootOf(letter(chosen)));
    QList<Shown> expected;
    for (int i = 0; i < messages; ++i)
        expected << FakeServices::beepEvent()
                 << FakeServices::message("ドライブの準備ができていません！", Services::OkOnly, "Quorvel");
    QCOMPARE(m_services->shown, expected);
    if (back == "start") {
        QCOMPARE(w.Drive1->drive(), QStringLiteral("C:/"));
        QCOMPARE(w.Dir1->path(), m_start);
    } else {
        QCOMPARE(w.Drive1->drive(), rootOf(letter(back)));
        QCOMPARE(w.Dir1->path(), rootOf(letter(back)));
        QCOMPARE(w.files(), QStringList{"Fixed.pas"});
    }
}

void WindowsDesktopTest::inputModes_data()
{
    QTest::addColumn<bool>("romaji");
    QTest::addColumn<bool>("fromButton");
    QTest::newRow("romaji typing, from a box") << true << false;
    QTest::newRow("kana typing, from a box") << false << false;
    QTest::newRow("romaji typing, from a button") << true << true;
}

// The name box switches to full-width katakana, the password box to hiragana; how the
// user types (romaji or kana) stays, and the weight box leaves the mode alone.
void WindowsDesktopTest::inputModes()
{
    QFETCH(bool, romaji);
    QFETCH(bool, fromButton);
    Window w(*m_services, m_start);
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.Combo1->setEnabled(true);
    w.Combo1->setFocus(Qt::TabFocusReason);
    const DWORD typing = romaji ? IME_CMODE_ROMAN : 0;
    setConversion(w.Combo1, typing); // half-width letters
    QWidget *before = fromButton ? static_cast<QWidget *>(w.Command5) : w.Combo1;
    before->setFocus(Qt::TabFocusReason);

    w.Text1->setFocus(Qt::TabFocusReason);
    Conversion now = conversionOf(w.Text1);
    QVERIFY(now.open);
    QCOMPARE(now.mode, DWORD(IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE) | typing);

    before->setFocus(Qt::TabFocusReason);
    w.Text2->setFocus(Qt::TabFocusReason);
    now = conversionOf(w.Text2);
    QVERIFY(now.open);
    QCOMPARE(now.mode, DWORD(IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE) | typing);

    // The weight box leaves the mode as the user set it there.
    w.Combo1->setFocus(Qt::TabFocusReason);
    setConversion(w.Combo1, typing);
    before->setFocus(Qt::TabFocusReason);
    w.Combo1->setFocus(Qt::TabFocusReason);
    QCOMPARE(conversionOf(w.Combo1).mode, typing);
}

void WindowsDesktopTest::dateText_data()
{
    QTest::addColumn<QString>("shortDate");
    QTest::addColumn<QString>("longTime");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    const QDateTime morning(QDate(2026, 12, 9), QTime(7, 40, 5));
    const QDateTime evening(QDate(2026, 12, 8), QTime(20, 39, 47));
    QTest::newRow("Japanese Windows, morning") << "yyyy/MM/dd" << "H:mm:ss" << morning << "2026/12/09 7:40:05";
    QTest::newRow("Japanese Windows, evening") << "yyyy/MM/dd" << "H:mm:ss" << evening << "2026/12/08 20:39:47";
    QTest::newRow("Japanese with 午前/午後") << "yyyy/MM/dd" << "tt h:mm:ss" << evening << "2026/12/08 午後 8:39:47";
    QTest::newRow("the user's own formats") << "dd.MM.yyyy" << "HH' Uhr 'mm" << morning << "09.12.2026 07 Uhr 40";
}

// The date of a record is the short date and the long time of the user's settings in
// Windows, under a Japanese user locale.
void WindowsDesktopTest::dateText()
{
    QFETCH(QString, shortDate);
    QFETCH(QString, longTime);
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    QCOMPARE(QString::fromWCharArray(locale), QStringLiteral("ja-JP"));
    UserFormats formats;
    QVERIFY(UserFormats::set(shortDate, longTime));

    QCOMPARE(Quorvel1::dateText(time), text);
    QVERIFY(writeBytes(QDir(m_start).filePath("Start.pas"), (kPassword + "\r\n").toLatin1(), time));
    Window w(*m_services, m_start);
    w.clickFile("Start.pas");
    QCOMPARE(w.Label1->text(), "作成日　" + text);
    QVERIFY(w.Label1->sizeHint().width() <= w.Label1->width());
}

int main(int argc, char *argv[])
{
    // Input modes belong to Windows' own windows: not offscreen, whatever the test run
    // asks of the others.
    qputenv("QT_QPA_PLATFORM", "windows");
    QApplication app(argc, argv);
    WindowsDesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowsdesktop.moc"
