// Prints how long the record browser takes for a big folder and how fast record text
// is read back. Figures only: nothing here passes or fails.
#include "platform/AnsiCodec.h"
#include "record/RecordFile.h"
#include "ui/FileList.h"
#include "ui/FolderList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;

    QTemporaryDir dir;
    const QByteArray record = *AnsiCodec::encode(
        RecordFile::content(QStringLiteral("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもや")));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        QFile file(dir.filePath(QStringLiteral("ウマ%1.pas").arg(i)));
        file.open(QIODevice::WriteOnly);
        file.write(record);
    }
    std::printf("made %d records in %lld ms\n", count, timer.elapsed());

    FileList files;
    files.setPattern(QStringLiteral("*.pas"));
    timer.restart();
    files.setPath(dir.path());
    std::printf("file list of %d records: %lld ms (%d entries)\n", count, timer.elapsed(),
                files.listCount());

    FolderList folders;
    timer.restart();
    folders.setPath(dir.path());
    std::printf("folder list of that folder: %lld ms\n", timer.elapsed());

    QByteArray big;
    while (big.size() < RecordFile::kReadLimit)
        big += record;
    timer.restart();
    qsizetype total = 0;
    const int rounds = 200;
    for (int i = 0; i < rounds; ++i)
        total += RecordFile::displayText(AnsiCodec::decode(big)).size();
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("display text of a %lld-byte file: %.3f ms each (%lld chars)\n",
                static_cast<long long>(big.size()), ms / rounds,
                static_cast<long long>(total / rounds));
    return 0;
}
