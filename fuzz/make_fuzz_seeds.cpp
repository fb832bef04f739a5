// Writes the seed corpus of fuzz_record: records made by the program's own create
// commands in a temporary folder, each packed with the boxes it was made from, plus
// a few files that no create command makes. Run it again when the record format or
// FuzzInput.h changes:  make_fuzz_seeds fuzz/corpus

#include "FuzzInput.h"

#include "platform/AnsiCodec.h"
#include "platform/Services.h"
#include "record/RecordBoxes.h"
#include "record/RecordCreation.h"
#include "record/RecordFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using FuzzInput::Input;

namespace {

class AnsweringServices : public Services
{
public:
    int messageBox(const QString &text, int style, const QString &) override
    {
        if (style != Information && style != ExclamationOkCancel)
            std::fprintf(stderr, "%s\n", qPrintable(text));
        return Ok;
    }
    void beep() override { }
};

struct Seed
{
    const char *file;
    std::uint8_t flags;
    QString name;
    QString password;
    QString weight;
};

bool writeSeed(const QDir &corpus, const char *file, const Input &input)
{
    QFile out(corpus.filePath(QString::fromLatin1(file)));
    const QByteArray bytes = FuzzInput::pack(input);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir folder;
    if (!corpus.exists() || !folder.isValid()) {
        std::fprintf(stderr, "no corpus folder or no temporary folder\n");
        return 1;
    }

    using namespace FuzzInput;
    const QString ascii = QStringLiteral("ABCDEFGHJKLMNPQRSTUVWXYZ23456789abcd");
    const QString kana = QStringLiteral(
        "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤ");
    const QString mixed = QStringLiteral("ｱｲｳｴｵ①②③～髙﨑ABCDEFGHIJKLMNOPQRSTUVWXY");
    const QList<Seed> seeds = {
        { "plain-kana", 0, QStringLiteral("アイウエオ"), ascii, {} },
        { "plain-ascii", ClearAfter, QStringLiteral("Hayate"), ascii, {} },
        { "plain-nine", 0, QStringLiteral("サクラハヤテマル号"), kana, {} },
        { "plain-paren", 0, QStringLiteral("アイウエオ)"), ascii, {} },
        { "plain-replace", ExistingFile | AnswerOk, QStringLiteral("ミカヅキ"), mixed, {} },
        { "plain-utf16", Utf16, QStringLiteral("ｱｲｳ"), ascii, {} },
        { "plain-utf16-pair", Utf16, QStringLiteral("🐎ハヤテ"), ascii, {} },
        { "weight-48", WeightMode, QStringLiteral("アイウエオ"), ascii, QStringLiteral("48") },
        { "weight-55", WeightMode | ClearAfter, QStringLiteral("ハヤテ"), kana,
            QStringLiteral("55") },
        { "weight-69", WeightMode | LoadBytes, QStringLiteral("髙﨑"), mixed,
            QStringLiteral("69") },
        { "weight-100", WeightMode, QStringLiteral("トキノ"), ascii, QStringLiteral("100") },
        { "weight-half", WeightMode, QStringLiteral("トキノ"), ascii, QStringLiteral("57.5") },
        { "weight-cancel", WeightMode | ExistingFile, QStringLiteral("ミカヅキ"), ascii,
            QStringLiteral("57") },
        { "weight-replace", WeightMode | ExistingFile | AnswerOk | ClearAfter,
            QStringLiteral("ミカヅキ"), kana, QStringLiteral("57") },
        { "weight-folder", WeightMode | ExistingFolder, QStringLiteral("ミカヅキ"), ascii,
            QStringLiteral("52") },
        { "weight-utf16", WeightMode | Utf16 | LoadBytes, QStringLiteral("①②"), kana,
            QStringLiteral("50") },
    };

    AnsweringServices services;
    for (const Seed &seed : seeds) {
        BoxValues boxes;
        boxes.name = seed.name;
        boxes.pass = seed.password;
        boxes.weightText = seed.weight;
        boxes.folder = folder.path();
        RecordCreation creation(services, boxes);
        const bool weightMode = (seed.flags & WeightMode) != 0;
        const QString fileName = weightMode ? RecordFile::composeFileName(seed.name, seed.weight)
                                            : RecordFile::composeFileName(seed.name);
        if (weightMode)
            creation.createWeightRecord();
        else
            creation.createPlainRecord();
        QFile record(QDir(folder.path()).filePath(fileName));
        if (!record.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "the create command wrote no %s\n", qPrintable(fileName));
            return 1;
        }
        const bool utf16 = (seed.flags & Utf16) != 0;
        Input input;
        input.flags = seed.flags;
        input.fields[FileBytes] = record.readAll();
        input.fields[ListedName] = textBytes(fileName, utf16);
        input.fields[HorseName] = textBytes(seed.name, utf16);
        input.fields[Password] = textBytes(seed.password, utf16);
        input.fields[Weight] = textBytes(seed.weight, utf16);
        if (!writeSeed(corpus, seed.file, input))
            return 1;
    }

    // Files that no create command writes: fields split by commas and lone line ends,
    // a text long enough to take its weight from characters 58 and 59, bytes that are
    // not code page 932, and an empty file.
    const auto cp932 = [](const QString &text) { return AnsiCodec::encode(text).value_or(""); };
    const auto other = [](std::uint8_t flags, const QByteArray &bytes, const char *listedName,
                           const char *name = "", const QString &password = QString()) {
        Input input;
        input.flags = flags;
        input.fields[FileBytes] = bytes;
        input.fields[ListedName] = listedName;
        input.fields[HorseName] = name;
        input.fields[Password] = password.toUtf8();
        return input;
    };
    const QList<std::pair<const char *, Input>> files = {
        { "file-commas",
            other(LoadBytes, cp932(QStringLiteral("ABC,DEF,,\"G H\"\rI\nJ,")), "ABC(DE).pas") },
        { "file-long",
            other(LoadBytes,
                cp932(ascii + QStringLiteral("\r\n#55\r\n") + kana + QStringLiteral("\r\n")),
                "long(55).pas") },
        { "file-bytes",
            other(LoadBytes,
                QByteArrayLiteral("\x81\x60\x82\xa0\xa0\xfd\xfe\xff\x81\x7f\x81\r\n\x80"),
                "x.pas") },
        { "file-empty", other(LoadBytes, QByteArray(), "empty.pas") },
        { "names-device", other(0, QByteArray(), "CON.pas", "COM1", ascii) },
    };
    for (const auto &[file, input] : files) {
        if (!writeSeed(corpus, file, input))
            return 1;
    }
    std::printf("%lld seeds in %s\n", static_cast<long long>(seeds.size() + files.size()),
        qPrintable(corpus.path()));
    return 0;
}
