#include "Commands.h"

#include "RecordCheck.h"
#include "Version.h"
#include "platform/Console.h"
#include "platform/Directory.h"
#include "platform/DirectoryScan.h"
#include "platform/FolderEntries.h"
#include "platform/GeneralDate.h"
#include "platform/NameOrder.h"
#include "platform/Services.h"
#include "record/RecordFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <functional>

namespace Commands {

namespace {
using Console::Stream;
using RecordCheck::Problem;

const QString kHelp = QStringLiteral(
    "使い方:\n"
    "  quorvel                                  ウィンドウを開きます\n"
    "  quorvel --check [-r] [フォルダ…]         "
    "記録を読み、書いたとおりに読み戻せないものを報告します\n"
    "  quorvel --export [-r] フォルダ [-o ファイル [--force]]\n"
    "                                           記録の一覧をCSVで書き出します\n"
    "\n"
    "オプション:\n"
    "  --check               フォルダの「*.pas」をウィンドウと同じように読み、問題を一行ずつ\n"
    "                        報告します（フォルダを指定しなければ今のフォルダ）\n"
    "  --export              ファイル名・馬名・斤量・パスワード・作成日のCSV（UTF-8、CR LF）を\n"
    "                        書き出します\n"
    "  -r, --recursive       サブフォルダもたどります\n"
    "  -o, --output ファイル  CSVを標準出力でなくファイルに保存します\n"
    "  --force               -o のファイルが既にあれば置き換えます\n"
    "  -h, --help            この説明を表示します\n"
    "  -v, --version         バージョンを表示します\n"
    "\n"
    "記録はどちらのコマンドでも変更しません。\n"
    "終了コード: 0 問題なし、1 問題あり、2 フォルダやファイルを読み書きできなかったか、"
    "引数の誤り\n");

// The file operations of the window, and nobody to ask: a command never replaces
// anything unasked.
class CommandServices : public Services
{
public:
    int messageBox(const QString &text, int, const QString &) override
    {
        Console::write(Stream::Error, text + u'\n');
        return Cancel;
    }
    void beep() override { }
};

// A line of the report holds one path: control characters in a name (Linux allows a
// line feed) are written out.
QString printable(const QString &text)
{
    QString line;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            line += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    return QDir::toNativeSeparators(line);
}

// On a terminal, where a big folder is, once it has taken more than a moment; never
// into a pipe or a file.
class Progress
{
public:
    Progress() : m_shows(Console::isTerminal(Stream::Error)) { m_started.start(); }
    ~Progress() { clear(); }

    void show(const QString &text)
    {
        if (!m_shows || m_started.elapsed() < 500
            || (m_width > 0 && m_shown.isValid() && m_shown.elapsed() < 100))
            return;
        clear();
        Console::write(Stream::Error, u'\r' + text);
        for (const QChar c : text)
            m_width += c.unicode() < 0x80 ? 1 : 2;
        m_shown.start();
    }
    void clear()
    {
        if (m_width == 0)
            return;
        Console::write(Stream::Error, u'\r' + QString(m_width, u' ') + u'\r');
        m_width = 0;
    }

private:
    bool m_shows;
    QElapsedTimer m_started;
    QElapsedTimer m_shown;
    int m_width = 0;
};

struct Entry
{
    QString path; // the path that opens it
    QString shownPath; // as the report shows it
    QString relativePath; // from the folder named, as the export lists it
    QString fileName; // as the file list shows it
    bool read = false; // a record, read
    RecordFile::Loaded loaded;
    QList<Problem> problems;
};

// One folder after another, each in the file list's order, a folder's subfolders after
// its records when recursive. Tells on standard error of every folder it cannot read,
// and returns false then.
class Walk
{
public:
    Walk(Services &services, Progress &progress, bool recursive)
        : m_services(services),
          m_progress(progress),
          m_recursive(recursive)
    { }

    bool folder(const QString &path, const QString &shown,
                const std::function<void(const Entry &)> &visit, const QString &relative = {})
    {
        const QString where = shown.isEmpty() ? QStringLiteral(".") : shown;
        const auto listing
            = [&] { m_progress.show(printable(where) + QStringLiteral(": 一覧を読んでいます…")); };
        const FolderEntries::Entries entries = FolderEntries::read(
            path,
            [](QStringView name) {
                return Directory::detail::endsWithCaseless(name, u".pas")
                       || RecordCheck::isTemporary(name);
            },
            listing);
        if (!entries.ok) {
            m_progress.clear();
            Console::write(Stream::Error,
                           QStringLiteral("quorvel: %1: フォルダを読めません（%2）\n")
                               .arg(printable(where), entries.error));
            return false;
        }
        const RecordCheck::Twins twins(entries.names);
        const QList<quint32> order = NameOrder::of(entries.names, listing);
        for (qsizetype row = 0; row < order.size(); ++row) {
            if (row % 256 == 0)
                m_progress.show(QStringLiteral("%1: %2 / %3件")
                                    .arg(printable(where))
                                    .arg(row)
                                    .arg(order.size()));
            visit(entry(entries, order[row], path, shown, relative, twins));
        }
        bool ok = true;
        if (!m_recursive)
            return ok;
        for (const quint32 i : NameOrder::of(entries.folders)) {
            const QStringView name = entries.folders.name(i);
            const QString shownName = Directory::displayName(name);
            ok = folder(Services::pathIn(path, name.toString()), within(shown, shownName), visit,
                        within(relative, shownName))
                 && ok;
        }
        return ok;
    }

private:
    static QString within(const QString &shown, const QString &name)
    {
        return shown.isEmpty() ? name : Services::pathIn(shown, name);
    }

    Entry entry(const FolderEntries::Entries &entries, quint32 index, const QString &folder,
                const QString &shown, const QString &relative,
                const RecordCheck::Twins &twins) const
    {
        using Kind = FolderEntries::Kind;
        const QStringView name = entries.names.name(index);
        const Kind kind = entries.kinds[index];
        Entry found;
        found.path = Services::pathIn(folder, name.toString());
        found.fileName = Directory::displayName(name);
        found.shownPath = within(shown, found.fileName);
        found.relativePath = within(relative, found.fileName);
        RecordCheck::checkName(name, &found.problems);
        if (RecordCheck::isTemporary(name))
            return found;
        RecordCheck::checkKind(kind, &found.problems);
        twins.check(entries.names, index, &found.problems);
        if (kind != Kind::File && kind != Kind::LinkToFile)
            return found;
        // Read as a click on it in the file list reads it.
        found.loaded = RecordFile::load(m_services, found.path);
        if (!found.loaded.ok) {
            found.problems.append({QStringLiteral("unreadable"),
                                   QStringLiteral("読み込めません（%1）。一覧でクリックすると"
                                                  "「読み込めませんでした！」と表示されます")
                                       .arg(found.loaded.reason)});
            return found;
        }
        found.read = true;
        RecordCheck::checkRecord(found.fileName, found.loaded, &found.problems);
        return found;
    }

    Services &m_services;
    Progress &m_progress;
    bool m_recursive;
};

QString problemLine(const Entry &entry, const Problem &problem)
{
    return printable(entry.shownPath) + u'\t' + problem.keyword + u'\t' + problem.text + u'\n';
}

void usageError(const QString &message)
{
    Console::write(Stream::Error,
                   QStringLiteral("quorvel: %1（使い方: quorvel --help）\n").arg(message));
}

} // namespace

int check(const QStringList &folders, bool recursive)
{
    CommandServices services;
    Progress progress;
    Walk walk(services, progress, recursive);
    qsizetype records = 0, problems = 0;
    bool ok = true;
    const auto visit = [&](const Entry &entry) {
        records += entry.read;
        problems += entry.problems.size();
        if (entry.problems.isEmpty())
            return;
        progress.clear();
        for (const Problem &problem : entry.problems)
            Console::write(Stream::Output, problemLine(entry, problem));
    };
    if (folders.isEmpty())
        ok = walk.folder(QStringLiteral("."), QString(), visit);
    for (const QString &folder : folders)
        ok = walk.folder(QDir::fromNativeSeparators(folder), QDir::fromNativeSeparators(folder),
                         visit)
             && ok;
    progress.clear();
    const QString summary
        = problems == 0
              ? QStringLiteral("記録%1件を読み、問題は見つかりませんでした。").arg(records)
              : QStringLiteral("記録%1件を読み、問題が%2件見つかりました。")
                    .arg(records)
                    .arg(problems);
    Console::write(Stream::Output,
                   summary + (ok ? QString() : QStringLiteral("読めないフォルダがありました。"))
                       + u'\n');
    return !ok ? 2 : problems > 0 ? 1 : 0;
}

namespace {
// RFC 4180: a field with a comma, a quote or a line end in quotes, its quotes doubled.
QString csvField(const QString &value)
{
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\r')
        && !value.contains(u'\n'))
        return value;
    return u'"' + QString(value).replace(u'"', QLatin1String("\"\"")) + u'"';
}

QString csvRow(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &field : fields)
        quoted.append(csvField(field));
    return quoted.join(u',') + QStringLiteral("\r\n");
}

int exportRecords(const QString &folder, bool recursive, const QString &output, bool force)
{
    CommandServices services;
    // The file to write is looked at before anything is read: a name taken is said at once.
    OpenFolder target;
    Services::Entry existing;
    const QString shownOutput = printable(output);
    if (!output.isEmpty()) {
        const QFileInfo info(output);
        QString reason;
        target = services.openFolder(info.absolutePath(), &reason);
        if (!target.isOpen()) {
            Console::write(Stream::Error,
                           QStringLiteral("quorvel: %1: %2\n").arg(shownOutput, reason));
            return 2;
        }
        existing = services.entryAt(target, info.fileName());
        if (existing.kind != Services::Entry::Missing && !force) {
            Console::write(
                Stream::Error,
                QStringLiteral(
                    "quorvel: %1 は既にあります。置き換えるには --force を付けてください\n")
                    .arg(shownOutput));
            return 2;
        }
        if (const QString refusal = Services::refusalFor(existing); !refusal.isEmpty()) {
            Console::write(Stream::Error,
                           QStringLiteral("quorvel: %1: %2\n").arg(shownOutput, refusal));
            return 2;
        }
    }

    // Excel on a Japanese Windows takes a file without the byte order mark for code page 932.
    const bool toTerminal = output.isEmpty() && Console::isTerminal(Stream::Output);
    QString csv = toTerminal ? QString() : QStringLiteral("\uFEFF");
    csv += csvRow({QStringLiteral("ファイル名"), QStringLiteral("馬名"), QStringLiteral("斤量"),
                   QStringLiteral("パスワード"), QStringLiteral("作成日")});
    Progress progress;
    Walk walk(services, progress, recursive);
    qsizetype rows = 0, problems = 0;
    const auto visit = [&](const Entry &entry) {
        problems += entry.problems.size();
        if (!entry.problems.isEmpty()) {
            progress.clear();
            for (const Problem &problem : entry.problems)
                Console::write(Stream::Error, problemLine(entry, problem));
        }
        if (!entry.read)
            return;
        const RecordCheck::Written record
            = RecordCheck::written(entry.fileName, entry.loaded.fileText);
        const QString date = GeneralDate::text(services.modificationTime(entry.path));
        // The folder named is left out of the path: the list reads the same wherever it is.
        csv += csvRow({QDir::toNativeSeparators(entry.relativePath), record.name, record.weight,
                       record.password, date});
        ++rows;
        if (output.isEmpty()) {
            Console::write(Stream::Output, csv);
            csv.clear();
        }
    };
    const QString named = QDir::fromNativeSeparators(folder);
    const bool ok = walk.folder(named, named, visit);
    progress.clear();
    if (output.isEmpty()) {
        Console::write(Stream::Output, csv);
        return !ok ? 2 : problems > 0 ? 1 : 0;
    }

    const Services::Saved saved
        = services.saveFile(target, QFileInfo(output).fileName(), csv.toUtf8(),
                            existing.kind == Services::Entry::Missing ? Services::SaveMode::NewFile
                                                                      : Services::SaveMode::Replace,
                            existing.identity);
    if (saved.outcome == Services::Saved::Failed) {
        Console::write(Stream::Error, QStringLiteral("quorvel: %1を保存できませんでした（%2）\n")
                                          .arg(shownOutput, saved.reason));
        return 2;
    }
    Console::write(Stream::Error,
                   QStringLiteral("%1に記録%2件を書き出しました。\n").arg(shownOutput).arg(rows));
    if (!saved.unsynced.isEmpty())
        Console::write(
            Stream::Error,
            QStringLiteral("ただし、ディスクへの書き込みを確かめられませんでした（%1）\n")
                .arg(saved.unsynced));
    return !ok ? 2 : problems > 0 ? 1 : 0;
}
} // namespace

bool given(int argc, char *argv[])
{
    Q_UNUSED(argv);
    return argc > 1;
}

int run(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel"));
    Console::setUp();

    QCommandLineParser parser;
    const QCommandLineOption checkOption(QStringLiteral("check"));
    const QCommandLineOption exportOption(QStringLiteral("export"));
    const QCommandLineOption recursive(
        QStringList {QStringLiteral("r"), QStringLiteral("recursive")});
    const QCommandLineOption output(QStringList {QStringLiteral("o"), QStringLiteral("output")},
                                    QString(), QStringLiteral("file"));
    const QCommandLineOption force(QStringLiteral("force"));
    const QCommandLineOption help(
        QStringList {QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")});
    const QCommandLineOption version(QStringList {QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({checkOption, exportOption, recursive, output, force, help, version});

    int code = 2;
    if (!parser.parse(QCoreApplication::arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        usageError(unknown.isEmpty()
                       ? QStringLiteral("「-o」の後に書き出すファイルの名前がありません")
                       : QStringLiteral("「%1」というオプションはありません")
                             .arg((unknown.first().size() == 1 ? QStringLiteral("-")
                                                               : QStringLiteral("--"))
                                  + unknown.first()));
    } else if (parser.isSet(help)) {
        Console::write(Stream::Output, kHelp);
        code = 0;
    } else if (parser.isSet(version)) {
        Console::write(Stream::Output, QStringLiteral("Quorvel ver" QUORVEL_VERSION_SHORT "\n"));
        code = 0;
    } else if (parser.isSet(checkOption) == parser.isSet(exportOption)) {
        usageError(QStringLiteral("--check か --export のどちらか一つを指定してください"));
    } else if (parser.isSet(checkOption)) {
        if (parser.isSet(output) || parser.isSet(force))
            usageError(QStringLiteral("-o と --force は --export にだけ使えます"));
        else
            code = check(parser.positionalArguments(), parser.isSet(recursive));
    } else if (parser.positionalArguments().size() != 1) {
        usageError(QStringLiteral("--export には書き出すフォルダを一つ指定してください"));
    } else if (parser.isSet(force) && !parser.isSet(output)) {
        usageError(QStringLiteral("--force は -o と一緒に使います"));
    } else {
        code = exportRecords(parser.positionalArguments().first(), parser.isSet(recursive),
                             parser.value(output), parser.isSet(force));
    }
    Console::flush();
    return code;
}

} // namespace Commands
