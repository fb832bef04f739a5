// Faults and bad input, one row each, driven through the window as a user would:
// paste into the boxes, click the create buttons and the lists. Every row checks
// what the user is shown, that nothing on disk changed, and that the window still
// works afterwards (a folder click, a record click and a valid create).

#include "FakeServices.h"
#include "TestEntries.h"
#include "ui/DisplayBox.h"
#include "ui/FileList.h"
#include "ui/FolderList.h"
#include "ui/Quorvel1.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <QAccessible>
#include <QAccessibleInterface>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif
#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/stat.h>
#endif

using Shown = FakeServices::Shown;

namespace {
const QString kTitle = QStringLiteral("確認!");
const QString kNameMissing = QStringLiteral("作成する馬名が未記入です！");
const QString kNameWrong = QStringLiteral("馬名に間違いがあります！");
const QString kPasswordLengthWrong = QStringLiteral("パスワード数に間違いがあります！");
const QString kPasswordCharacterWrong = QStringLiteral("パスワードに使えない文字があります！");
const QString kWeightWrong = QStringLiteral("斤量に間違いがあります！");

// The entries every row starts from: a valid record in either mode.
const QString kName = QStringLiteral("アイウ");
const QString kWeight = QStringLiteral("55");
const QString kPassword =
    QStringLiteral("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもや");
const QByteArray kPasswordBytes = QByteArray::fromHex(
    "82a082a282a482a682a882a982ab82ad82af82b182b382b582b782b982bb82bd82bf82c2"
    "82c482c682c882c982ca82cb82cc82cd82d082d382d682d982dc82dd82de82df82e082e2");
// What the valid create after each row writes.
const QString kNewPassword =
    QStringLiteral("アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤ");
const QByteArray kNewPasswordBytes = QByteArray::fromHex(
    "83418343834583478349834a834c834e83508352835483568358835a835c835e83608363"
    "836583678369836a836b836c836d836e837183748377837a837d837e8380838183828384");
// An old record that differs from everything the rows write.
const QByteArray kOldRecordBytes = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";

// Only the start of a record file is ever read.
constexpr qint64 kReadLimit = 64 * 1024;

const QString kBystander = QStringLiteral("サクラ.pas");
const QString kDoomedFolder = QStringLiteral("消える");
const QString kVanishing = QStringLiteral("キエル.pas");
const QString kBinary = QStringLiteral("ゴミ.pas");
const QString kHuge = QStringLiteral("巨大.pas");

enum Scenario {
    BadInput,        // one box holds what was pasted into it
    FolderRemoved,   // the highlighted output folder is deleted before the click
    TargetIsFolder,  // a folder has the record's file name
    WriteFails,      // the device fails after 5 bytes
    OverwriteFails,  // the same, while replacing a record after the user said OK
    Vanished,        // a listed record is deleted before it is clicked
    Binary,          // a listed ".pas" file is random bytes
    Huge,            // a listed ".pas" file is 1 GiB
    KernelRefuses,   // the system refuses every byte (a file-size limit of 0, as a full disk)
    KernelRefusesReplace,  // the same, while replacing a record after the user said OK
    LinkOutside,     // the record's name is a link to a record in another folder
    DanglingLink,    // ... a link to a file that does not exist, in another folder
    LinkToPipe,      // ... a link to a named pipe in another folder
    Pipe,            // ... a named pipe
    ReadOnly,        // ... a record nobody may write, root included
    NameChangedWhileAsking,  // 馬名 changed through the accessibility interface while asked
    ModeChangedWhileAsking,  // 斤量別ファイル名 unticked the same way
    TypedWeight,     // the weight typed key by key, not pasted
};

const QString kElsewhere = QStringLiteral("よそ");
const QString kOutside = kElsewhere + QStringLiteral("/外.pas");
const QString kNotThere = kElsewhere + QStringLiteral("/新.pas");
const QString kOutsidePipe = kElsewhere + QStringLiteral("/管");

// ---- what the user saw, as text that a failed comparison shows readably ----

// Marks an expected message of which only the start is known (the system's reason
// follows); at least one more character must follow.
const QString kMore = QStringLiteral("…");

QString escaped(QString text)
{
    return text.replace(u'\r', QLatin1String("\\r")).replace(u'\n', QLatin1String("\\n"));
}

QString describe(const Shown &shown)
{
    if (shown.beep)
        return QStringLiteral("beep");
    return QStringLiteral("message %1 \"%2\" %3").arg(shown.style).arg(shown.title, escaped(shown.text));
}

QString beep()
{
    return describe(FakeServices::beepEvent());
}

QString message(const QString &text, int style = Services::Exclamation,
                const QString &title = kTitle)
{
    return describe(FakeServices::message(text, style, title));
}

QString saveFailed(const QString &fileName)
{
    return message(fileName + QStringLiteral("を保存できませんでした！\r\n")) + kMore;
}

QString loadFailed(const QString &fileName)
{
    return message(fileName + QStringLiteral("を読み込めませんでした！\r\n")) + kMore;
}

// The shown events as text, where an event matches an expected "starts with" entry
// it takes that entry's text, so that QCOMPARE reports only real differences.
QStringList seen(const QList<Shown> &shown, const QStringList &expected)
{
    QStringList result;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        QString text = describe(shown[i]);
        if (i < expected.size() && expected[i].endsWith(kMore)) {
            const QString start = expected[i].chopped(kMore.size());
            if (text.startsWith(start) && text.size() > start.size())
                text = expected[i];
        }
        result.append(text);
    }
    return result;
}

// Compares two lists and shows both whole when they differ.
#define COMPARE_LISTS(actual, expected)                                                            \
    do {                                                                                           \
        const QStringList actual_ = (actual);                                                      \
        const QStringList expected_ = (expected);                                                  \
        QVERIFY2(actual_ == expected_,                                                             \
                 qPrintable(QStringLiteral(#actual "\n    actual:   [%1]\n    expected: [%2]")    \
                                .arg(actual_.join(QLatin1String(" | ")),                           \
                                     expected_.join(QLatin1String(" | ")))));                      \
    } while (false)

// ---- the files under the temporary folder ----

// Path relative to the root -> what is there: "<folder>", the bytes of a small file
// in hex, or the size and a hash of a big one. Hidden entries count, so that a
// forgotten temporary file shows up.
using Tree = QMap<QString, QByteArray>;

QByteArray fingerprint(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    if (file.size() <= 4096)
        return file.readAll().toHex();
    size_t hash = 0;
    while (!file.atEnd())
        hash = qHashMulti(0, hash, qHash(QByteArrayView(file.read(1 << 20))));
    return "size " + QByteArray::number(file.size()) + " hash " + QByteArray::number(quint64(hash));
}

Tree snapshot(const QString &root)
{
    Tree tree;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = base.relativeFilePath(path);
        if (info.isSymLink())
            tree.insert(relative, "<link> " + info.symLinkTarget().toUtf8());
        else if (info.isDir())
            tree.insert(relative, "<folder>");
        else if (!info.isFile())
            tree.insert(relative, "<special>"); // opening a pipe would wait for a writer
        else
            tree.insert(relative, fingerprint(path));
    }
    return tree;
}

// Every path that was added, removed or changed.
QStringList differences(const Tree &before, const Tree &after)
{
    QStringList paths;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (after.value(it.key(), "<missing>") != it.value())
            paths.append(it.key());
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            paths.append(it.key());
    }
    paths.sort();
    return paths;
}

// The most memory the process has held so far; 0 where the system does not say.
qint64 peakMemoryKiB()
{
#ifdef Q_OS_LINUX
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        return usage.ru_maxrss;
#endif
    return 0;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Random bytes, with NUL, 0xFF and lead bytes without their trail byte for certain.
QByteArray binaryBytes()
{
    QRandomGenerator random(932);
    QByteArray bytes(512, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    bytes.prepend(QByteArray("\x81\x00\xff\x81", 4));
    bytes.append(QByteArray("\x00\xff\x81", 3));
    return bytes;
}

QString recordFileName(const QString &name, bool weightMode)
{
    return weightMode ? name + u'(' + kWeight + QStringLiteral(").pas") : name + QStringLiteral(".pas");
}

QByteArray recordBytes(const QByteArray &password, bool weightMode)
{
    return weightMode ? password + "\r\n#" + kWeight.toLatin1() + "\r\n" : password + "\r\n";
}

// The controls of one window, found by the names the program gives them.
struct Controls
{
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QComboBox *Combo1 = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QCheckBox *Check3 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    FolderList *Dir1 = nullptr;
    FileList *File1 = nullptr;
    DisplayBox *Text3 = nullptr;
    QLabel *Label8 = nullptr;
    QLineEdit *Text6 = nullptr;

    explicit Controls(QWidget &window)
        : Text1(window.findChild<QLineEdit *>(QStringLiteral("Text1"))),
          Text2(window.findChild<QLineEdit *>(QStringLiteral("Text2"))),
          Combo1(window.findChild<QComboBox *>(QStringLiteral("Combo1"))),
          Check1(window.findChild<QCheckBox *>(QStringLiteral("Check1"))),
          Check2(window.findChild<QCheckBox *>(QStringLiteral("Check2"))),
          Check3(window.findChild<QCheckBox *>(QStringLiteral("Check3"))),
          Command2(window.findChild<QPushButton *>(QStringLiteral("Command2"))),
          Command3(window.findChild<QPushButton *>(QStringLiteral("Command3"))),
          Dir1(window.findChild<FolderList *>(QStringLiteral("Dir1"))),
          File1(window.findChild<FileList *>(QStringLiteral("File1"))),
          Text3(window.findChild<DisplayBox *>(QStringLiteral("Text3"))),
          Label8(window.findChild<QLabel *>(QStringLiteral("Label8"))),
          Text6(window.findChild<QLineEdit *>(QStringLiteral("Text6")))
    {
    }
    bool complete() const
    {
        return Text1 && Text2 && Combo1 && Combo1->lineEdit() && Check1 && Check2 && Check3
               && Command2 && Command3 && Dir1 && File1 && Text3 && Label8 && Text6;
    }
    QLineEdit *box(const QString &name) const
    {
        if (name == QLatin1String("Text1"))
            return Text1;
        if (name == QLatin1String("Text2"))
            return Text2;
        if (name == QLatin1String("Combo1"))
            return Combo1->lineEdit();
        return nullptr;
    }
    QStringList boxes() const { return {Text1->text(), Text2->text(), Combo1->currentText()}; }
};

// Replaces the box's text with the clipboard's, as select-all and Ctrl+V do.
void paste(QLineEdit *box, const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

// A click on the check box's indicator.
void tick(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

void clickFolderEntry(FolderList *list, int row)
{
    QListWidgetItem *item = list->item(row);
    QVERIFY(item);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

void clickFile(FileList *list, const QString &fileName)
{
    const QAbstractItemModel *model = list->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data().toString() == fileName) {
            list->scrollTo(index);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
            return;
        }
    }
    QFAIL(qPrintable(fileName + QStringLiteral(" is not listed")));
}
// For as long as it lives, the system refuses to let this process write a byte to any
// file, as a full disk does; writing past the limit then fails instead of raising
// SIGXFSZ. Lifted again at the end, so that the rest of the test can write.
class FileSizeLimitOfZero
{
public:
    FileSizeLimitOfZero()
    {
#ifdef Q_OS_LINUX
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        m_set = getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        rlimit none = m_old;
        none.rlim_cur = 0;
        m_set = m_set && setrlimit(RLIMIT_FSIZE, &none) == 0;
#endif
    }
    ~FileSizeLimitOfZero()
    {
#ifdef Q_OS_LINUX
        if (m_set)
            setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_signal);
#endif
    }
    bool isSet() const { return m_set; }

private:
    bool m_set = false;
#ifdef Q_OS_LINUX
    rlimit m_old{};
    void (*m_signal)(int) = nullptr;
#endif
};

// What a screen reader's user can do while a modal question is open: the mouse and the
// keyboard cannot reach the window, its accessibility interface can.
void replaceTextAccessibly(QWidget *widget, const QString &text)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible && accessible->editableTextInterface());
    accessible->editableTextInterface()->replaceText(
        0, accessible->textInterface()->characterCount(), text);
}

void toggleAccessibly(QWidget *widget)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible && accessible->actionInterface());
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
}

QString saveRefused(const QString &fileName, const QString &reason)
{
    return message(fileName + QStringLiteral("を保存できませんでした！\r\n") + reason);
}
} // namespace

class TestFaultTable : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void faults_data();
    void faults();
};

void TestFaultTable::initTestCase()
{
    // Every row types by pasting; make sure the clipboard works on this platform.
    QGuiApplication::clipboard()->setText(QStringLiteral("確認"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("確認"));
}

void TestFaultTable::faults_data()
{
    QTest::addColumn<int>("scenario");
    QTest::addColumn<bool>("weightMode");  // Check2 ticked, Command3 creates
    QTest::addColumn<QString>("box");      // the box pasted into over the valid entry
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<bool>("edit");        // Check1 ticked
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("nextName");  // the name of the valid create afterwards

    const QString next = QStringLiteral("ハヤテ");
    const QString text1 = QStringLiteral("Text1");
    const QString text2 = QStringLiteral("Text2");
    const QString combo1 = QStringLiteral("Combo1");
    const bool plain = false;
    const bool weight = true;

    const std::pair<const char *, QString> badNames[] = {
        {"name with /", QStringLiteral("アイ/ウ")},
        {"name with \\", QStringLiteral("アイ\\ウ")},
        {"name with :", QStringLiteral("アイ:ウ")},
        {"name with *", QStringLiteral("アイ*ウ")},
        {"name with ?", QStringLiteral("アイ?ウ")},
        {"name with \"", QStringLiteral("アイ\"ウ")},
        {"name with <", QStringLiteral("アイ<ウ")},
        {"name with >", QStringLiteral("アイ>ウ")},
        {"name with |", QStringLiteral("アイ|ウ")},
        {"name with tab", QStringLiteral("アイ\tウ")},
        {"name with U+0001", QStringLiteral("アイ\x01ウ")},
        {"name CON.x", QStringLiteral("CON.x")},
        {"name CON", QStringLiteral("CON")},
        {"name lpt1", QStringLiteral("lpt1")},
    };
    for (const auto &[tag, name] : badNames) {
        QTest::newRow(tag) << int(BadInput) << plain << text1 << name << false
                           << QStringList{beep(), message(kNameWrong)} << next;
    }
    QTest::newRow("weight mode, name with /")
        << int(BadInput) << weight << text1 << QStringLiteral("アイ/ウ") << false
        << QStringList{beep(), message(kNameWrong)} << next;
    QTest::newRow("weight mode, name Con.x")
        << int(BadInput) << weight << text1 << QStringLiteral("Con.x") << false
        << QStringList{beep(), message(kNameWrong)} << next;

    QTest::newRow("empty paste into Text1")
        << int(BadInput) << plain << text1 << QString() << false
        << QStringList{beep(), message(kNameMissing)} << next;
    QTest::newRow("weight mode, empty paste into Text1")
        << int(BadInput) << weight << text1 << QString() << false
        << QStringList{beep(), message(kNameMissing, Services::OkOnly, Services::applicationTitle())}
        << next;
    QTest::newRow("10,000 characters pasted into Text1")
        << int(BadInput) << plain << text1 << QString(10000, u'ア') << false
        << QStringList{beep(), message(kNameWrong)} << next;
    QTest::newRow("10,000 characters pasted into Text2")
        << int(BadInput) << plain << text2 << QString(10000, u'あ') << false
        << QStringList{beep(), message(kPasswordLengthWrong)} << next;

    // 36 UTF-16 code units each, so that only the character is wrong.
    QTest::newRow("password with emoji")
        << int(BadInput) << plain << text2 << kPassword.left(34) + QStringLiteral("😀") << false
        << QStringList{beep(), message(kPasswordCharacterWrong)} << next;
    QTest::newRow("password with ゔ")
        << int(BadInput) << plain << text2 << kPassword.left(35) + QStringLiteral("ゔ") << false
        << QStringList{beep(), message(kPasswordCharacterWrong)} << next;
    QTest::newRow("weight mode, password with 𠮷")
        << int(BadInput) << weight << text2 << QStringLiteral("𠮷") + kPassword.left(34) << false
        << QStringList{beep(), message(kPasswordCharacterWrong)} << next;

    QTest::newRow("weight with /")
        << int(BadInput) << weight << combo1 << QStringLiteral("5/5") << false
        << QStringList{beep(), message(kWeightWrong)} << next;
    QTest::newRow("weight with ?")
        << int(BadInput) << weight << combo1 << QStringLiteral("5?") << false
        << QStringList{beep(), message(kWeightWrong)} << next;
    QTest::newRow("weight with emoji")
        << int(BadInput) << weight << combo1 << QStringLiteral("😀") << false
        << QStringList{beep(), message(kWeightWrong)} << next;

    const QString plainFile = recordFileName(kName, plain);
    const QString weightFile = recordFileName(kName, weight);
    QTest::newRow("output folder removed after it was highlighted")
        << int(FolderRemoved) << plain << QString() << QString() << false
        << QStringList{beep(), saveFailed(plainFile)} << next;
    QTest::newRow("weight mode, output folder removed after it was highlighted")
        << int(FolderRemoved) << weight << QString() << QString() << false
        << QStringList{beep(), saveFailed(weightFile)} << next;
    QTest::newRow("target name is a folder")
        << int(TargetIsFolder) << plain << QString() << QString() << false
        << QStringList{beep(), saveFailed(plainFile)} << next;
    QTest::newRow("write fails after 5 bytes")
        << int(WriteFails) << plain << QString() << QString() << false
        << QStringList{beep(), saveFailed(plainFile)} << next;
    QTest::newRow("weight mode, write fails after 5 bytes")
        << int(WriteFails) << weight << QString() << QString() << false
        << QStringList{beep(), saveFailed(weightFile)} << next;

    const QString question = QStringLiteral("が既に存在します\r\n上書きしますか？");
    QTest::newRow("overwrite fails after 5 bytes")
        << int(OverwriteFails) << plain << QString() << QString() << false
        << QStringList{message(plainFile + question, Services::ExclamationOkCancel), beep(),
                       saveFailed(plainFile)}
        << kName;
    QTest::newRow("weight mode, overwrite fails after 5 bytes")
        << int(OverwriteFails) << weight << QString() << QString() << false
        << QStringList{message(weightFile + question, Services::ExclamationOkCancel), beep(),
                       saveFailed(weightFile)}
        << kName;

    for (const bool mode : {plain, weight}) {
        const QString file = mode ? weightFile : plainFile;
        const QString in = mode ? QStringLiteral("weight mode, ") : QString();
        QTest::newRow(qPrintable(in + "the system refuses the write of a new record"))
            << int(KernelRefuses) << mode << QString() << QString() << false
            << QStringList{beep(), saveFailed(file)} << next;
        QTest::newRow(qPrintable(in + "the system refuses the write of a replacing record"))
            << int(KernelRefusesReplace) << mode << QString() << QString() << false
            << QStringList{message(file + question, Services::ExclamationOkCancel), beep(),
                           saveFailed(file)}
            << kName;
    }
    const std::tuple<const char *, int, QString> specials[] = {
        {"record name is a link to a record elsewhere", LinkOutside,
         QStringLiteral("同じ名前のシンボリックリンクがあります")},
        {"record name is a dangling link", DanglingLink,
         QStringLiteral("同じ名前のシンボリックリンクがあります")},
        {"record name is a link to a pipe", LinkToPipe,
         QStringLiteral("同じ名前のシンボリックリンクがあります")},
        {"record name is a named pipe", Pipe, QStringLiteral("同じ名前の名前付きパイプがあります")},
        {"record is read-only", ReadOnly, QStringLiteral("読み取り専用のファイルです")},
    };
    for (const auto &[tag, scenario, reason] : specials) {
        QTest::newRow(tag) << scenario << plain << QString() << QString() << false
                           << QStringList{beep(), saveRefused(plainFile, reason)} << next;
    }
    QTest::newRow("weight mode, record name is a link to a record elsewhere")
        << int(LinkOutside) << weight << QString() << QString() << false
        << QStringList{beep(), saveRefused(weightFile, QStringLiteral("同じ名前のシンボリックリンクがあります"))}
        << next;

    for (const bool mode : {plain, weight}) {
        const QString file = mode ? weightFile : plainFile;
        const QString in = mode ? QStringLiteral("weight mode, ") : QString();
        QTest::newRow(qPrintable(in + "name changed while asked"))
            << int(NameChangedWhileAsking) << mode << QString() << QString() << false
            << QStringList{message(file + question, Services::ExclamationOkCancel),
                           message(file + QStringLiteral("を上書き保存しました"), Services::Information)}
            << next;
    }
    QTest::newRow("weight mode, weight mode left while asked")
        << int(ModeChangedWhileAsking) << weight << QString() << QString() << false
        << QStringList{message(weightFile + question, Services::ExclamationOkCancel),
                       message(weightFile + QStringLiteral("を上書き保存しました"), Services::Information)}
        << next;
    for (const char *typed : {"4", "5", "6", "100"}) {
        const QString file = kName + QStringLiteral("(%1).pas").arg(QLatin1String(typed));
        QTest::newRow(qPrintable(QStringLiteral("weight mode, weight %1 typed").arg(QLatin1String(typed))))
            << int(TypedWeight) << weight << combo1 << QString::fromLatin1(typed) << false
            << QStringList{message(file + QStringLiteral("を作成しました"), Services::Information)}
            << next;
    }

    QTest::newRow("listed record deleted before the click")
        << int(Vanished) << plain << QString() << QString() << true
        << QStringList{beep(), loadFailed(kVanishing)} << next;
    QTest::newRow("binary file clicked, editing")
        << int(Binary) << plain << QString() << QString() << true << QStringList{} << next;
    QTest::newRow("1 GiB file clicked, editing")
        << int(Huge) << plain << QString() << QString() << true << QStringList{} << next;
}

void TestFaultTable::faults()
{
    QFETCH(int, scenario);
    QFETCH(bool, weightMode);
    QFETCH(QString, box);
    QFETCH(QString, pasted);
    QFETCH(bool, edit);
    QFETCH(QStringList, shown);
    QFETCH(QString, nextName);

    QTemporaryDir tempDir;
    QVERIFY(tempDir.isValid());
    const QString root = tempDir.path();
    const QDir rootDir(root);
    const QString target = recordFileName(kName, weightMode);

    // Records and folders that no row may touch.
    QVERIFY(writeFile(rootDir.filePath(kBystander), kPasswordBytes + "\r\n"));
    QVERIFY(writeFile(rootDir.filePath(QStringLiteral("サクラ(54).pas")), kPasswordBytes + "\r\n#54\r\n"));
    QVERIFY(writeFile(rootDir.filePath(QStringLiteral("readme.txt")), "not a record\n"));
    QVERIFY(rootDir.mkpath(QStringLiteral("sub")));
    QVERIFY(writeFile(rootDir.filePath(QStringLiteral("sub/モミジ.pas")), kPasswordBytes + "\r\n"));
    QVERIFY(rootDir.mkpath(kDoomedFolder));
    QVERIFY(writeFile(rootDir.filePath(kDoomedFolder + QStringLiteral("/中.pas")), kPasswordBytes + "\r\n"));

    QByteArray binary;
    switch (scenario) {
    case TargetIsFolder:
        QVERIFY(rootDir.mkpath(target));
        break;
    case OverwriteFails:
    case KernelRefusesReplace:
    case NameChangedWhileAsking:
    case ModeChangedWhileAsking:
        QVERIFY(writeFile(rootDir.filePath(target), kOldRecordBytes));
        // Not what a new file gets, so that a replacement that loses it shows.
        QVERIFY(QFile::setPermissions(rootDir.filePath(target),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        break;
    case LinkOutside:
        QVERIFY(rootDir.mkpath(kElsewhere));
        QVERIFY(writeFile(rootDir.filePath(kOutside), kOldRecordBytes));
        QUORVEL_MAKE(TestEntries::link(kOutside, rootDir.filePath(target), false));
        break;
    case DanglingLink:
        QVERIFY(rootDir.mkpath(kElsewhere));
        QUORVEL_MAKE(TestEntries::link(kNotThere, rootDir.filePath(target), false));
        break;
    case LinkToPipe:
    case Pipe: {
        QVERIFY(rootDir.mkpath(kElsewhere));
        QUORVEL_MAKE(TestEntries::fifo(rootDir.filePath(scenario == Pipe ? target : kOutsidePipe)));
        if (scenario == LinkToPipe)
            QUORVEL_MAKE(TestEntries::link(kOutsidePipe, rootDir.filePath(target), false));
        break;
    }
    case ReadOnly:
        QVERIFY(writeFile(rootDir.filePath(target), kOldRecordBytes));
        QVERIFY(QFile::setPermissions(rootDir.filePath(target),
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        break;
    case Vanished:
        QVERIFY(writeFile(rootDir.filePath(kVanishing), kPasswordBytes + "\r\n"));
        break;
    case Binary:
        binary = binaryBytes();
        QVERIFY(writeFile(rootDir.filePath(kBinary), binary));
        break;
    case Huge: {
        QFile huge(rootDir.filePath(kHuge));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QCOMPARE(huge.write(kPasswordBytes + "\r\n"), kPasswordBytes.size() + 2);
        // The rest is a hole: zeros that take no disk space.
        QVERIFY(huge.resize(qint64(1) << 30));
        break;
    }
    default:
        break;
    }

    FakeServices services;
    Quorvel1 window(services, root);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const Controls c(window);
    QVERIFY(c.complete());
    QCOMPARE(c.Dir1->path(), root);

    // The valid entry, then the row's paste over one box.
    tick(c.Check3);
    QVERIFY(c.Check3->isChecked());
    if (weightMode) {
        tick(c.Check2);
        QVERIFY(c.Check2->isChecked());
        QVERIFY(c.Combo1->isEnabled());
    }
    if (edit) {
        tick(c.Check1);
        QVERIFY(c.Check1->isChecked());
    }
    QPushButton *create = weightMode ? c.Command3 : c.Command2;
    QVERIFY(create->isVisible());
    QVERIFY(!(weightMode ? c.Command2 : c.Command3)->isVisible());

    paste(c.Text1, kName);
    paste(c.Text2, kPassword);
    if (weightMode)
        paste(c.Combo1->lineEdit(), kWeight);
    QCOMPARE(c.boxes(), (QStringList{kName, kPassword, weightMode ? kWeight : QString()}));
    if (!box.isEmpty()) {
        QLineEdit *edited = c.box(box);
        QVERIFY(edited);
        if (scenario == TypedWeight) {
            // Completion follows typing only in the box that has the focus.
            QApplication::setActiveWindow(&window);
            c.Combo1->setFocus();
            QTRY_VERIFY(c.Combo1->lineEdit()->hasFocus());
            edited->clear();
            QTest::keyClicks(c.Combo1, pasted);
        } else {
            paste(edited, pasted);
        }
        // The password box holds 55 characters; the others take the paste whole.
        QCOMPARE(edited->text(), edited == c.Text2 ? pasted.left(55) : pasted);
    }
    QCOMPARE(services.shown, QList<Shown>{});

    // What happens outside the program before the click.
    if (scenario == FolderRemoved) {
        const QString doomed = rootDir.filePath(kDoomedFolder);
        const QList<QListWidgetItem *> items = c.Dir1->findItems(kDoomedFolder, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        clickFolderEntry(c.Dir1, c.Dir1->row(items.first()));
        QCOMPARE(c.Dir1->highlightedEntry(), doomed);
        QCOMPARE(c.Text6->text(), QDir::toNativeSeparators(doomed));
        QVERIFY(QDir(doomed).removeRecursively());
    }
    if (scenario == Vanished)
        QVERIFY(QFile::remove(rootDir.filePath(kVanishing)));
    if (scenario == WriteFails || scenario == OverwriteFails)
        services.failWriteAfter = 5;
    if (scenario == OverwriteFails || scenario == KernelRefusesReplace
        || scenario == NameChangedWhileAsking || scenario == ModeChangedWhileAsking)
        services.answers = {Services::Ok};
    if (scenario == NameChangedWhileAsking)
        services.whileAsking = [&] { replaceTextAccessibly(c.Text1, QStringLiteral("B")); };
    if (scenario == ModeChangedWhileAsking)
        services.whileAsking = [&] { toggleAccessibly(c.Check2); };
    const QFile::Permissions permissionsBefore = QFileInfo(rootDir.filePath(target)).permissions();

    // What the click must write, where it writes.
    QString written;
    QByteArray writtenBytes;
    if (scenario == NameChangedWhileAsking || scenario == ModeChangedWhileAsking) {
        written = target;
        writtenBytes = recordBytes(kPasswordBytes, weightMode);
    } else if (scenario == TypedWeight) {
        written = kName + u'(' + pasted + QStringLiteral(").pas");
        writtenBytes = kPasswordBytes + "\r\n#" + pasted.toLatin1() + "\r\n";
    }

    const QStringList boxesBefore = c.boxes();
    const QString label8Before = c.Label8->text();
    const QString text3Before = c.Text3->text();
    const Tree before = snapshot(root);

    // The click.
    switch (scenario) {
    case Vanished:
        clickFile(c.File1, kVanishing);
        break;
    case Binary:
        clickFile(c.File1, kBinary);
        break;
    case Huge: {
        const qint64 peakBefore = peakMemoryKiB();
        QElapsedTimer timer;
        timer.start();
        clickFile(c.File1, kHuge);
        qDebug("A click on the 1 GiB record took %lld ms", timer.elapsed());
        // Reading the whole file would take a gigabyte of memory at least.
        const qint64 growth = peakMemoryKiB() - peakBefore;
        QVERIFY2(growth < 256 * 1024, qPrintable(QStringLiteral("%1 KiB more memory").arg(growth)));
        break;
    }
    case KernelRefuses:
    case KernelRefusesReplace: {
        const FileSizeLimitOfZero limit;
        if (!limit.isSet())
            QSKIP("This system sets no file-size limit");
        QTest::mouseClick(create, Qt::LeftButton);
        break;
    }
    default:
        QTest::mouseClick(create, Qt::LeftButton);
        break;
    }
    services.whileAsking = nullptr;
    if (QTest::currentTestFailed())
        return;

    COMPARE_LISTS(seen(services.shown, shown), shown);
    const Tree after = snapshot(root);
    COMPARE_LISTS(differences(before, after), written.isEmpty() ? QStringList{} : QStringList{written});
    if (!written.isEmpty())
        QCOMPARE(after.value(written), writtenBytes.toHex());
    // Replaced or refused, a record keeps its permissions.
    if (before.contains(target) && !QFileInfo(rootDir.filePath(target)).isSymLink())
        QCOMPARE(QFileInfo(rootDir.filePath(target)).permissions(), permissionsBefore);
    if (scenario == TargetIsFolder)
        QVERIFY(QFileInfo(rootDir.filePath(target)).isDir());
    if (scenario == OverwriteFails || scenario == KernelRefusesReplace || scenario == ReadOnly)
        QCOMPARE(after.value(target), kOldRecordBytes.toHex());
    if (scenario == LinkOutside)
        QCOMPARE(after.value(kOutside), kOldRecordBytes.toHex());

    const QString text3 = c.Text3->text();
    if (scenario == Binary) {
        QCOMPARE(c.Label8->text(), kBinary);
        QVERIFY(text3.endsWith(QStringLiteral("\r\n")));
        // No more characters than bytes, apart from CR LF for lone line ends.
        QVERIFY(text3.size() <= 2 * binary.size() + 2);
        // A byte below 0x40, or 0x7F, is never the second byte of a character, so each
        // one reads as the same control and nothing else reads as that control.
        for (int byte = 0; byte < 0x80; ++byte) {
            if ((byte >= 0x40 && byte != 0x7F) || byte == '\r' || byte == '\n' || byte == ',')
                continue;
            QVERIFY2(text3.count(QChar(byte)) == binary.count(char(byte)),
                     qPrintable(QStringLiteral("byte 0x%1: %2 in the file, %3 shown")
                                    .arg(byte, 2, 16, QChar(u'0'))
                                    .arg(binary.count(char(byte)))
                                    .arg(text3.count(QChar(byte)))));
        }
        // The file starts 81 00 FF and ends 00 FF 81: a lead byte without its second byte
        // and a lead byte at the very end show as U+FFFD, the single byte FF as Windows
        // reads it, U+F8F3.
        const QString bad(QChar::ReplacementCharacter);
        const QString nul(QChar(0));
        const QString ff(QChar(0xF8F3));
        QVERIFY(text3.startsWith(bad + nul + ff));
        QVERIFY(text3.endsWith(nul + ff + bad + QStringLiteral("\r\n")));
        QCOMPARE(c.Text1->text(), QStringLiteral("ゴミ"));
        QCOMPARE(c.Text2->text(), text3.left(36));

        // The damaged record taken back cannot be written again with substitutes for
        // its bad bytes: the password holds U+FFFD, which the create refuses.
        services.shown.clear();
        services.answers = {Services::Ok};
        QTest::mouseClick(create, Qt::LeftButton);
        const QStringList refused{beep(), message(kPasswordCharacterWrong)};
        COMPARE_LISTS(seen(services.shown, refused), refused);
        COMPARE_LISTS(differences(after, snapshot(root)), QStringList{});
    } else if (scenario == Huge) {
        QCOMPARE(c.Label8->text(), kHuge);
        QVERIFY(text3.startsWith(kPassword + QStringLiteral("\r\n")));
        // Exactly the first 64 KiB: the record's line, then one field of NULs up to
        // the limit, ended by CR LF.
        QCOMPARE(text3.size(), kPassword.size() + 2 + (kReadLimit - kPasswordBytes.size() - 2) + 2);
        QVERIFY(text3.endsWith(QString(QChar(0)) + QStringLiteral("\r\n")));
        QCOMPARE(c.Text1->text(), QStringLiteral("巨大"));
        QCOMPARE(c.Text2->text(), kPassword);
    } else if (!written.isEmpty()) {
        // 作成毎に消去 empties the boxes after a record was written.
        QCOMPARE(c.boxes(), (QStringList{QString(), QString(), QString()}));
        if (scenario == ModeChangedWhileAsking) {
            QVERIFY(!c.Check2->isChecked());
            tick(c.Check2);
        }
    } else {
        // A refusal changes no box, even with 作成毎に消去 ticked, and shows nothing new.
        QCOMPARE(c.boxes(), boxesBefore);
        QCOMPARE(c.Label8->text(), label8Before);
        QCOMPARE(text3, text3Before);
    }

    // The window still works: a folder click, a record click, a valid create.
    services.shown.clear();
    services.answers.clear();
    services.failWriteAfter = -1;
    const int openFolderRow = c.Dir1->count() - c.Dir1->subfolderCount() - 1;
    clickFolderEntry(c.Dir1, openFolderRow);
    QCOMPARE(c.Dir1->highlightedEntry(), root);
    QCOMPARE(c.Text6->text(), QDir::toNativeSeparators(root));

    clickFile(c.File1, kBystander);
    QCOMPARE(services.shown, QList<Shown>{});
    QCOMPARE(c.Label8->text(), kBystander);
    QCOMPARE(c.Text3->text(), kPassword + QStringLiteral("\r\n"));
    if (edit) {
        QCOMPARE(c.Text1->text(), QStringLiteral("サクラ"));
        QCOMPARE(c.Text2->text(), kPassword);
    }

    paste(c.Text1, nextName);
    paste(c.Text2, kNewPassword);
    if (weightMode)
        paste(c.Combo1->lineEdit(), kWeight);
    const QString nextFile = recordFileName(nextName, weightMode);
    const bool replacing = after.contains(nextFile);
    services.answers = {Services::Ok};
    QTest::mouseClick(create, Qt::LeftButton);

    const QStringList expected =
        replacing ? QStringList{message(nextFile + QStringLiteral("が既に存在します\r\n上書きしますか？"),
                                        Services::ExclamationOkCancel),
                                message(nextFile + QStringLiteral("を上書き保存しました"), Services::Information)}
                  : QStringList{message(nextFile + QStringLiteral("を作成しました"), Services::Information)};
    COMPARE_LISTS(seen(services.shown, expected), expected);
    const Tree last = snapshot(root);
    COMPARE_LISTS(differences(after, last), QStringList{nextFile});
    QCOMPARE(last.value(nextFile), recordBytes(kNewPasswordBytes, weightMode).toHex());
    // 作成毎に消去 empties the boxes after a record was written.
    QCOMPARE(c.boxes(), (QStringList{QString(), QString(), QString()}));
}

QTEST_MAIN(TestFaultTable)
#include "tst_faulttable.moc"
