// libFuzzer target for everything in the record code that takes bytes from a file or
// text from a user: code page 932 text, display text, taking values back, file names
// and both create commands writing into a temporary folder. FuzzInput.h tells how an
// input is laid out. A broken promise aborts with the line that states it.

#include "FuzzInput.h"

#include "platform/AnsiCodec.h"
#include "platform/Services.h"
#include "record/RecordBoxes.h"
#include "record/RecordCreation.h"
#include "record/RecordFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <unicode/uchar.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

using FuzzInput::Input;

namespace {

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            broken(__LINE__, #condition);                                                          \
    } while (false)

[[noreturn]] void broken(int line, const char *condition)
{
    std::fprintf(stderr, "fuzz_record.cpp:%d: broken: %s\n", line, condition);
    std::abort();
}

const QString kCrLf = QStringLiteral("\r\n");

// Answers the questions in the user's place and keeps count of what the user would
// have seen and heard; nothing more.
class QuietServices : public Services
{
public:
    int answer = Cancel;
    int beeps = 0;
    int messages = 0;
    int questions = 0;
    int lastStyle = -1;

    int messageBox(const QString &, int style, const QString &) override
    {
        ++messages;
        lastStyle = style;
        if (style == ExclamationOkCancel) {
            ++questions;
            return answer;
        }
        return Ok;
    }
    void beep() override { ++beeps; }
};

bool hasFieldEnd(const QString &text)
{
    return text.contains(u',') || text.contains(u'\r') || text.contains(u'\n');
}

// Code page 932: decoding never fails, and what encode accepts comes back unchanged.
void checkCodecBytes(const QByteArray &bytes)
{
    const QString text = AnsiCodec::decode(bytes);
    FUZZ_CHECK(text.size() <= bytes.size());
    bool ascii = true;
    for (const char byte : bytes)
        ascii = ascii && static_cast<unsigned char>(byte) < 0x80;
    if (ascii)
        FUZZ_CHECK(text == QString::fromLatin1(bytes));
    // These controls are never half of a two-byte character; nothing else reads as them.
    for (const char control : { '\x1a', '\x1c', '\x7f' })
        FUZZ_CHECK(text.count(QChar(control)) == bytes.count(control));
    // Nor are FD, FE and FF, which Windows reads as U+F8F1 to U+F8F3.
    for (const char byte : { '\xfd', '\xfe', '\xff' })
        FUZZ_CHECK(text.count(QChar(0xF8F1 + (byte - '\xfd'))) == bytes.count(byte));
    FUZZ_CHECK(text.count(QChar(0x80)) <= bytes.count('\x80'));
    FUZZ_CHECK(text.count(QChar(0xF8F0)) <= bytes.count('\xa0'));
    // Every character read from a file can be written again, and reads back the same.
    const auto again = AnsiCodec::encode(text);
    FUZZ_CHECK(again.has_value() || text.contains(QChar::ReplacementCharacter));
    if (again)
        FUZZ_CHECK(AnsiCodec::decode(*again) == text);
}

// The text as Windows has it: other systems type these for the same JIS X 0208 characters.
QString windowsForm(const QString &text)
{
    static const std::pair<char16_t, char16_t> forms[] = { { u'〜', u'～' }, { u'−', u'－' },
        { u'¢', u'￠' }, { u'£', u'￡' }, { u'¬', u'￢' }, { u'‖', u'∥' }, { u'—', u'―' } };
    QString result = text;
    for (const auto &[other, windows] : forms)
        result.replace(QChar(other), QChar(windows));
    return result;
}

void checkCodecText(const QString &text)
{
    const auto bytes = AnsiCodec::encode(text);
    FUZZ_CHECK(AnsiCodec::canEncode(text) == bytes.has_value());
    FUZZ_CHECK(AnsiCodec::canEncode(windowsForm(text)) == bytes.has_value());
    if (!bytes)
        return;
    // A character without a code page 932 form must be refused, never replaced.
    FUZZ_CHECK(AnsiCodec::decode(*bytes) == windowsForm(text));
    FUZZ_CHECK(AnsiCodec::encode(windowsForm(text)) == bytes);
    FUZZ_CHECK(bytes->size() >= text.size() && bytes->size() <= 2 * text.size());
}

void checkDisplayText(const QString &fileText)
{
    const QString display = RecordFile::displayText(fileText);
    FUZZ_CHECK(display.isEmpty() == fileText.isEmpty());
    FUZZ_CHECK(display.isEmpty() || display.endsWith(kCrLf));
    FUZZ_CHECK(!display.contains(u','));
    // CR and LF come only as the pair that ends a field.
    for (qsizetype i = 0; i < display.size(); ++i) {
        if (display[i] == u'\r')
            FUZZ_CHECK(i + 1 < display.size() && display[i + 1] == u'\n');
        if (display[i] == u'\n')
            FUZZ_CHECK(i > 0 && display[i - 1] == u'\r');
    }
    // The fields are the file's text between the field ends, in order.
    QString fieldsOfFile = fileText;
    fieldsOfFile.remove(u',').remove(u'\r').remove(u'\n');
    QString fieldsShown = display;
    fieldsShown.remove(kCrLf);
    FUZZ_CHECK(fieldsShown == fieldsOfFile);
    FUZZ_CHECK(RecordFile::displayText(display) == display);
}

void checkTakeBack(const QString &display, const QString &fileName)
{
    const auto back = RecordFile::IniWrite1(display, fileName);
    FUZZ_CHECK(back.has_value() == !display.isEmpty());
    if (!back)
        return;
    FUZZ_CHECK(back->password.size() <= RecordFile::kPasswordLength);
    FUZZ_CHECK(display.startsWith(back->password));
    FUZZ_CHECK(back->password.size() == qMin(display.size(), RecordFile::kPasswordLength));
    FUZZ_CHECK(back->label12 == QString::number(display.size()));
    FUZZ_CHECK(back->weight.size() <= 2);
    FUZZ_CHECK(back->weight.isEmpty() == (display.size() < 41));
    FUZZ_CHECK(back->fileName == fileName);
    FUZZ_CHECK(fileName.startsWith(back->name));
}

// What Windows opens as a device, whatever folder the name is in: a device name
// before the first dot, blanks around it ignored.
bool opensDevice(const QString &fileName)
{
    const QString stem = fileName.section(u'.', 0, 0).trimmed().toUpper();
    static const QStringList devices = { QStringLiteral("CON"), QStringLiteral("PRN"),
        QStringLiteral("AUX"), QStringLiteral("NUL"), QStringLiteral("CONIN$"),
        QStringLiteral("CONOUT$") };
    if (devices.contains(stem))
        return true;
    return stem.size() == 4 && (stem.startsWith(u"COM") || stem.startsWith(u"LPT"))
        && QStringLiteral("123456789¹²³").contains(stem[3]);
}

// The file name rules: what the checks let through never leaves the folder, and only
// what makes the composed file name unsafe is refused.
void checkNames(const QString &name, const QString &weight)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    const auto allowed = [](const QString &text) {
        for (const QChar c : text) {
            if (forbidden.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7f)
                return false;
        }
        return true;
    };
    const QString plain = RecordFile::composeFileName(name);
    const QString withWeight = RecordFile::composeFileName(name, weight);
    FUZZ_CHECK(plain == name + QLatin1String(".pas"));
    FUZZ_CHECK(withWeight == name + u'(' + weight + QLatin1String(").pas"));

    const bool safePlain = RecordFile::isSafeName(name, plain);
    const bool safeWeighted = RecordFile::isSafeName(name, withWeight);
    const bool safeWeight = RecordFile::isSafeWeight(weight);
    for (const bool safe : { safePlain, safeWeighted }) {
        if (safe)
            FUZZ_CHECK(allowed(name) && name.isValidUtf16());
    }
    if (safeWeight)
        FUZZ_CHECK(allowed(weight));
    if (safePlain)
        FUZZ_CHECK(!opensDevice(plain));
    if (safeWeighted)
        FUZZ_CHECK(!opensDevice(withWeight));
    // Names that compose an ordinary file name are not refused: ".", "..", "CON" in
    // weight mode.
    const bool noC1Control = std::none_of(
        name.begin(), name.end(), [](QChar c) { return c.unicode() >= 0x80 && c.unicode() < 0xa0; });
    // Nor are characters that make a name show as another let through: format
    // characters (U+202E, U+00AD, tags), line and paragraph separators, and whatever else
    // Unicode says draws nothing (ICU's own table, not the program's list), judged by
    // whole code points.
    const QList<uint> codePoints = name.toUcs4();
    const bool noneInvisible = std::none_of(codePoints.begin(), codePoints.end(), [](uint c) {
        const auto category = QChar::category(char32_t(c));
        return category == QChar::Other_Format || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph
            || u_hasBinaryProperty(UChar32(c), UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
    });
    for (const bool safe : { safePlain, safeWeighted }) {
        if (safe)
            FUZZ_CHECK(noneInvisible);
    }
    const bool wholeAndAllowed = allowed(name) && noC1Control && noneInvisible && name.isValidUtf16();
    if (wholeAndAllowed)
        FUZZ_CHECK(safePlain == !opensDevice(plain) && safeWeighted == !opensDevice(withWeight));
    if (wholeAndAllowed && !name.contains(u'.'))
        FUZZ_CHECK(safeWeighted);

    if (safePlain)
        FUZZ_CHECK(!plain.contains(u'/') && !plain.contains(u'\\'));
    if (safeWeighted && safeWeight)
        FUZZ_CHECK(!withWeight.contains(u'/') && !withWeight.contains(u'\\'));
}

// A record that the create commands would accept reads back as it was written.
void checkRoundTrip(const QString &fileText, const QString &fileName, const QString &name,
    const QString &password, const QString *weight)
{
    if (hasFieldEnd(password) || (weight && hasFieldEnd(*weight)))
        return; // a comma or line end in a box splits the field when read back
    const QString display = RecordFile::displayText(fileText);
    FUZZ_CHECK(display == fileText);
    const auto back = RecordFile::IniWrite1(display, fileName);
    FUZZ_CHECK(back.has_value());
    // What other systems type for a JIS X 0208 symbol (〜 for ～) is written as Windows
    // writes it, and so reads back as Windows' character.
    const auto asWindowsReads = [](const QString &text) {
        const auto bytes = AnsiCodec::encode(text);
        FUZZ_CHECK(bytes.has_value());
        return AnsiCodec::decode(*bytes);
    };
    FUZZ_CHECK(back->password == asWindowsReads(password));
    if (!weight) {
        FUZZ_CHECK(back->weight.isEmpty());
        // A plain name ending in ")" loses four characters as if they were "(48)".
        if (!name.endsWith(u')') || fileName.size() < 8)
            FUZZ_CHECK(back->name == name);
    } else if (weight->size() == 2) {
        FUZZ_CHECK(back->weight == asWindowsReads(*weight));
        FUZZ_CHECK(back->name == name);
    }
}

bool wouldAccept(
    const Input &input, const QString &name, const QString &password, const QString &weight)
{
    const bool weightMode = input.has(FuzzInput::WeightMode);
    if (name.isEmpty() || (weightMode && weight.isEmpty()) || password.isEmpty())
        return false;
    const QString fileName = weightMode ? RecordFile::composeFileName(name, weight)
                                        : RecordFile::composeFileName(name);
    if (name.size() > RecordFile::kMaxNameLength || !RecordFile::isSafeName(name, fileName))
        return false;
    if (password.size() != RecordFile::kPasswordLength)
        return false;
    if (weightMode && (!RecordFile::isSafeWeight(weight) || !AnsiCodec::canEncode(weight)))
        return false;
    // A line break in the password would split the record's first line.
    if (password.contains(u'\r') || password.contains(u'\n'))
        return false;
    return AnsiCodec::canEncode(password);
}

struct Workspace
{
    Workspace()
    {
        if (!root.isValid()) {
            std::fprintf(
                stderr, "fuzz_record: no temporary folder: %s\n", qPrintable(root.errorString()));
            std::abort();
        }
        QDir folder(root.path());
        folder.mkdir(QStringLiteral("out"));
        folder.mkdir(QStringLiteral("in"));
        out = folder.filePath(QStringLiteral("out"));
        input = folder.filePath(QStringLiteral("in/record.pas"));
    }

    QTemporaryDir root;
    QString out; // the output folder, emptied after every input
    QString input; // where loaded bytes are written
};

Workspace &workspace()
{
    static Workspace space;
    return space;
}

QStringList entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void checkLoad(const QByteArray &bytes)
{
    Workspace &space = workspace();
    {
        // A new file each time: ext4 writes a truncated file through to the disk on close.
        QFile::remove(space.input);
        QFile file(space.input);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    QuietServices services;
    const RecordFile::Loaded loaded = RecordFile::load(services, space.input);
    FUZZ_CHECK(loaded.ok && loaded.reason.isEmpty());
    FUZZ_CHECK(loaded.truncated == (bytes.size() > RecordFile::kReadLimit));
    FUZZ_CHECK(loaded.displayText
        == RecordFile::displayText(AnsiCodec::decode(bytes.left(RecordFile::kReadLimit))));
    FUZZ_CHECK(services.messages == 0 && services.beeps == 0);
}

// One create command against a real folder: a file is written only when every check
// passes, under the composed name and with the record's content, and nothing else in
// the folder or outside it changes.
void checkCreation(const Input &input)
{
    Workspace &space = workspace();
    const bool weightMode = input.has(FuzzInput::WeightMode);
    BoxValues boxes;
    boxes.name = input.text(FuzzInput::HorseName);
    boxes.pass = input.text(FuzzInput::Password);
    boxes.weightText = input.text(FuzzInput::Weight);
    boxes.clearAfter = input.has(FuzzInput::ClearAfter);
    boxes.folder = input.has(FuzzInput::MissingFolder)
        ? QDir(space.out).filePath(QStringLiteral("missing"))
        : space.out;
    const BoxValues before = boxes;

    const QString fileName = weightMode ? RecordFile::composeFileName(boxes.name, boxes.weightText)
                                        : RecordFile::composeFileName(boxes.name);
    // Joined by hand: QDir takes a name that starts with ":" for a path into Qt's resources.
    const QString path = space.out + u'/' + fileName;
    const QByteArray diskName = QFile::encodeName(fileName);
    const bool placeable = !input.has(FuzzInput::MissingFolder) && !fileName.contains(u'/')
        && !fileName.contains(QChar(0)) && diskName.size() < 200 && diskName != "."
        && diskName != "..";
    const QByteArray old("old record\r\n");
    bool existingFile = false;
    bool existingFolder = false;
    if (placeable && input.has(FuzzInput::ExistingFolder)) {
        existingFolder = QDir().mkdir(path);
    } else if (placeable && input.has(FuzzInput::ExistingFile)) {
        QFile file(path);
        existingFile = file.open(QIODevice::WriteOnly) && file.write(old) == old.size();
    }
    const QStringList entriesBefore = entries(space.out);

    const bool accepted = wouldAccept(input, boxes.name, boxes.pass, boxes.weightText);
    QuietServices services;
    services.answer = input.has(FuzzInput::AnswerOk) ? Services::Ok : Services::Cancel;
    RecordCreation creation(services, boxes);
    if (weightMode)
        creation.createWeightRecord();
    else
        creation.createPlainRecord();

    const QStringList entriesAfter = entries(space.out);
    static const QStringList rootEntries = { QStringLiteral("in"), QStringLiteral("out") };
    FUZZ_CHECK(entries(space.root.path()) == rootEntries);
    bool written = false;
    if (!accepted) {
        FUZZ_CHECK(services.beeps == 1 && services.messages == 1 && services.questions == 0);
    } else {
        FUZZ_CHECK(!fileName.contains(u'/') && !fileName.contains(u'\\'));
        FUZZ_CHECK(services.questions == (existingFile ? 1 : 0));
        const bool cancelled = existingFile && services.answer == Services::Cancel;
        if (cancelled) {
            FUZZ_CHECK(services.beeps == 0 && services.messages == 1);
        } else if (services.beeps == 0) {
            written = true;
            FUZZ_CHECK(services.lastStyle == Services::Information);
        } else {
            // Refused at writing: no folder, a folder in the way, or a name too long.
            FUZZ_CHECK(services.beeps == 1 && services.lastStyle == Services::Exclamation);
            const bool shortName = diskName.size() < 200;
            FUZZ_CHECK(input.has(FuzzInput::MissingFolder) || existingFolder || !shortName);
        }
    }

    if (written) {
        QStringList expected = entriesBefore;
        if (!expected.contains(fileName))
            expected.append(fileName);
        expected.sort();
        // The file is there under the name the user was told, and nothing else is new.
        FUZZ_CHECK(entriesAfter == expected);
        const QString text = weightMode ? RecordFile::content(before.pass, before.weightText)
                                        : RecordFile::content(before.pass);
        const QByteArray bytes = contents(path);
        FUZZ_CHECK(bytes == AnsiCodec::encode(text).value_or(QByteArray("<not encodable>")));
        QuietServices reader;
        const RecordFile::Loaded loaded = RecordFile::load(reader, path);
        FUZZ_CHECK(loaded.ok && !loaded.truncated);
        checkRoundTrip(AnsiCodec::decode(bytes), fileName, before.name, before.pass,
            weightMode ? &before.weightText : nullptr);
        if (boxes.clearAfter)
            FUZZ_CHECK(boxes.name.isEmpty() && boxes.pass.isEmpty() && boxes.weightText.isEmpty());
    } else {
        FUZZ_CHECK(entriesAfter == entriesBefore);
        if (existingFile)
            FUZZ_CHECK(contents(path) == old);
        if (existingFolder)
            FUZZ_CHECK(QFileInfo(path).isDir());
    }
    if (!written || !boxes.clearAfter) {
        FUZZ_CHECK(boxes.name == before.name && boxes.pass == before.pass
            && boxes.weightText == before.weightText);
    }

    for (const QString &entry : entriesAfter) {
        const QString leftover = space.out + u'/' + entry;
        if (QFileInfo(leftover).isDir())
            QDir(leftover).removeRecursively();
        else
            QFile::remove(leftover);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Input input = FuzzInput::parse(data, size);
    const QByteArray &fileBytes = input.fields[FuzzInput::FileBytes];
    const QString listedName = input.text(FuzzInput::ListedName);
    const QString name = input.text(FuzzInput::HorseName);
    const QString password = input.text(FuzzInput::Password);
    const QString weight = input.text(FuzzInput::Weight);

    checkCodecBytes(fileBytes);
    for (const QString &text : { listedName, name, password, weight })
        checkCodecText(text);

    const QString fileText = AnsiCodec::decode(fileBytes);
    checkDisplayText(fileText);
    checkTakeBack(RecordFile::displayText(fileText), listedName);
    checkTakeBack(fileText, listedName);
    checkNames(name, weight);

    // The record that the create commands would write, taken back without a disk.
    if (wouldAccept(input, name, password, weight)) {
        const bool weightMode = input.has(FuzzInput::WeightMode);
        const QString text
            = weightMode ? RecordFile::content(password, weight) : RecordFile::content(password);
        const auto bytes = AnsiCodec::encode(text);
        FUZZ_CHECK(bytes.has_value());
        checkRoundTrip(AnsiCodec::decode(*bytes),
            weightMode ? RecordFile::composeFileName(name, weight)
                       : RecordFile::composeFileName(name),
            name, password, weightMode ? &weight : nullptr);
    }

    if (input.has(FuzzInput::LoadBytes))
        checkLoad(fileBytes);
    checkCreation(input);
    return 0;
}
