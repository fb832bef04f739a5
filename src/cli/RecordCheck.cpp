#include "RecordCheck.h"

#include "platform/Services.h"
#include "record/RecordCreation.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace RecordCheck {

namespace {
const QLatin1StringView kExtension(".pas");

QString baseOf(const QString &fileName)
{
    return fileName.endsWith(kExtension, Qt::CaseInsensitive) ? fileName.chopped(4) : fileName;
}

// Lines as they stand in the text, whatever ends them; a final line end starts no line.
QStringList linesOf(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

// A value as the user would see it in a box, with what a box cannot show spelled out.
QString shown(const QString &value)
{
    QString text;
    for (const QChar c : value) {
        if (c == u'\r')
            text += QLatin1String("<CR>");
        else if (c == u'\n')
            text += QLatin1String("<LF>");
        else
            text += c;
    }
    return QStringLiteral("「") + text + QStringLiteral("」");
}

QString codePoints(const QString &name, bool (*test)(char32_t))
{
    QStringList found;
    for (const uint c : name.toUcs4()) {
        if (test(c))
            found.append(QStringLiteral("U+%1").arg(c, 4, 16, QLatin1Char('0')).toUpper());
    }
    found.removeDuplicates();
    return found.join(QStringLiteral("、"));
}

QString without(const QString &name, bool (*test)(char32_t))
{
    QString kept;
    for (const uint c : name.toUcs4()) {
        if (!test(c))
            kept += QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
    }
    return kept;
}

// What taking the record back puts into the boxes where that differs from what the
// record was written with; empty when every box gets its own value.
QString takenBackDifference(const RecordFile::TakenBack &back, const Written &written)
{
    QStringList boxes;
    if (back.name != written.name)
        boxes.append(QStringLiteral("馬名は") + shown(back.name));
    if (back.weight != written.weight)
        boxes.append(QStringLiteral("斤量は") + shown(back.weight));
    if (back.password != written.password)
        boxes.append(QStringLiteral("パスワードは") + shown(back.password));
    if (boxes.isEmpty())
        return QString();
    return QStringLiteral("編集すると") + boxes.join(QStringLiteral("、"))
           + QStringLiteral("になります");
}

void add(QList<Problem> *problems, const char *keyword, const QString &text)
{
    problems->append({QString::fromLatin1(keyword), text});
}
} // namespace

Written written(const QString &fileName, const QString &fileText)
{
    Written record;
    const QString base = baseOf(fileName);
    const QStringList lines = linesOf(fileText);
    record.password = lines.value(0);
    record.name = base;
    if (lines.size() < 2 || !lines[1].startsWith(u'#'))
        return record;
    record.weighted = true;
    record.weight = lines[1].mid(1);
    const QString composed = u'(' + record.weight + u')';
    if (base.endsWith(composed))
        record.name = base.chopped(composed.size());
    else if (base.endsWith(u')') && base.contains(u'('))
        record.name = base.left(base.lastIndexOf(u'('));
    return record;
}

Twins::Twins(const Directory::Listing &names)
{
    // Keys are compared by their hashes first, so that a folder of many thousands of
    // records needs no table of its names' keys.
    const auto pair = [&](auto keyOf, QHash<quint32, quint32> &twins) {
        std::vector<std::pair<size_t, quint32>> hashes;
        hashes.reserve(size_t(names.count()));
        for (qsizetype i = 0; i < names.count(); ++i)
            hashes.emplace_back(qHash(keyOf(names.name(i))), quint32(i));
        std::sort(hashes.begin(), hashes.end());
        for (size_t i = 0; i < hashes.size();) {
            size_t end = i + 1;
            while (end < hashes.size() && hashes[end].first == hashes[i].first)
                ++end;
            for (size_t a = i; a + 1 < end; ++a) {
                for (size_t b = a + 1; b < end; ++b) {
                    const quint32 x = hashes[a].second, y = hashes[b].second;
                    if (names.name(x) != names.name(y)
                        && keyOf(names.name(x)) == keyOf(names.name(y))) {
                        twins.insert(x, y);
                        twins.insert(y, x);
                    }
                }
            }
            i = end;
        }
    };
    pair([](QStringView name) { return name.toString().toCaseFolded(); }, m_caseTwin);
    pair([](QStringView name) { return name.toString().normalized(QString::NormalizationForm_C); },
         m_formTwin);
}

void Twins::check(const Directory::Listing &names, qsizetype index, QList<Problem> *problems) const
{
    const QString name = names.name(index).toString();
    if (const auto twin = m_formTwin.constFind(quint32(index)); twin != m_formTwin.cend()) {
        const QString other = Directory::displayName(names.name(*twin));
        const bool composed = name.normalized(QString::NormalizationForm_C) == name;
        add(problems, "normal-form",
            QStringLiteral(
                "「%1」と見た目は同じですが、Unicodeの正規化形式が違います（こちらは%2）。"
                "一覧には同じ名前が二つ並び、どちらを開いたか見分けられません")
                .arg(other, composed ? QStringLiteral("NFC") : QStringLiteral("NFD")));
    }
    if (const auto twin = m_caseTwin.constFind(quint32(index)); twin != m_caseTwin.cend()) {
        add(problems, "case-clash",
            QStringLiteral("「%1」とは大文字と小文字だけが違います。Windowsでは同じ名前になり、"
                           "フォルダごとコピーすると一方がもう一方で上書きされます")
                .arg(Directory::displayName(names.name(*twin))));
    }
}

void checkKind(FolderEntries::Kind kind, QList<Problem> *problems)
{
    using Kind = FolderEntries::Kind;
    switch (kind) {
    case Kind::File:
        return;
    case Kind::LinkToFile:
        add(problems, "link",
            QStringLiteral(
                "シンボリックリンクです。一覧に出てリンク先の内容を表示しますが、"
                "編集して保存すると「同じ名前のシンボリックリンクがあります」と断られます"));
        return;
    case Kind::LinkToFolder:
        add(problems, "link",
            QStringLiteral(
                "フォルダへのシンボリックリンクです。ファイル一覧には出ず、記録として読めません"));
        return;
    case Kind::Link:
        add(problems, "link",
            QStringLiteral("リンク先のないシンボリックリンクです。ファイル一覧には出ず、記録として"
                           "読めません"));
        return;
    case Kind::Folder:
        add(problems, "folder",
            QStringLiteral("フォルダです。ファイル一覧には出ず、記録として読めません"));
        return;
    case Kind::Pipe:
        add(problems, "fifo",
            QStringLiteral("名前付きパイプです。ファイル一覧には出ず、開きもしません"));
        return;
    case Kind::Socket:
        add(problems, "special",
            QStringLiteral("ソケットです。ファイル一覧には出ず、開きもしません"));
        return;
    case Kind::Device:
        add(problems, "special",
            QStringLiteral("デバイスです。ファイル一覧には出ず、開きもしません"));
        return;
    case Kind::Other:
        break;
    }
    add(problems, "special",
        QStringLiteral("特殊なファイルです。ファイル一覧には出ず、開きもしません"));
}

bool isTemporary(QStringView name)
{
    return Services::isTemporaryName(name);
}

void checkName(QStringView carriedName, QList<Problem> *problems)
{
    if (isTemporary(carriedName)) {
        add(problems, "temporary",
            QStringLiteral("保存が途中で止まったときに残った一時ファイルです。一覧には出ません。"
                           "一日以上たったものは、このフォルダへの次の保存で消されます"));
        return;
    }
    const QString fileName = Directory::displayName(carriedName);
    if (Directory::isEscaped(carriedName)) {
        add(problems, "name-bytes",
            QStringLiteral("ファイル名がUTF-8ではなくシフトJISのバイト列です。一覧では「%1」と"
                           "表示しますが、編集して保存すると同じ見た目の別のファイルができます")
                .arg(fileName));
    }
    QStringList forbidden;
    for (const uint c : fileName.toUcs4()) {
        if (RecordFile::isForbiddenInFileNames(c))
            forbidden.append(c < 0x20 || c == 0x7F
                                 ? QStringLiteral("U+%1").arg(c, 4, 16, QLatin1Char('0'))
                                 : shown(QChar(c)));
    }
    forbidden.removeDuplicates();
    if (!forbidden.isEmpty()) {
        add(problems, "windows-name",
            QStringLiteral("Windowsのファイル名に使えない文字%1があり、Windowsのフォルダへは"
                           "コピーできません。作成コマンドもこの馬名を受け付けません")
                .arg(forbidden.join(QStringLiteral("、"))));
    }
    if (RecordFile::isDeviceName(fileName)) {
        add(problems, "device-name",
            QStringLiteral("Windowsでは装置の名前（%1）で、Windowsではこの名前のファイルを作ること"
                           "も読むこともできません")
                .arg(fileName.section(u'.', 0, 0).toUpper()));
    }
    const QString invisible = codePoints(fileName, RecordFile::showsAsSomethingElse);
    if (!invisible.isEmpty()) {
        add(problems, "invisible",
            QStringLiteral("見えない文字（%1）があり、一覧では「%2」と同じに見えます。"
                           "作成コマンドはこの馬名を受け付けません")
                .arg(invisible, without(fileName, RecordFile::showsAsSomethingElse)));
    }
    if (fileName.endsWith(kExtension, Qt::CaseInsensitive) && !fileName.endsWith(kExtension)) {
        add(problems, "extension-case",
            QStringLiteral(
                "拡張子が「%1」です。編集して保存すると、大文字と小文字を区別するシステムでは"
                "「%2.pas」という別のファイルができます")
                .arg(fileName.right(4), baseOf(fileName)));
    }
}

void checkRecord(const QString &fileName, const RecordFile::Loaded &loaded,
                 QList<Problem> *problems)
{
    const QString &text = loaded.fileText;
    if (text.isEmpty()) {
        add(problems, "empty",
            QStringLiteral(
                "空のファイルです。画面には何も表示されず、編集しても入力欄は変わりません"));
        return;
    }
    const Written record = written(fileName, text);
    const auto back = RecordFile::IniWrite1(loaded.displayText, fileName);
    const QString difference = back ? takenBackDifference(*back, record) : QString();
    const QString then = difference.isEmpty()
                             ? QStringLiteral("。編集すると入力欄には書いたとおりに入ります")
                             : QStringLiteral("。") + difference;

    // Names that Windows or the eye would take for another are told by checkName; what is
    // left of the create command's checks is told here.
    if (const QString refusal = RecordCreation::nameRefusal(
            record.name, record.weighted ? std::optional(record.weight) : std::nullopt);
        !refusal.isEmpty()
        && std::none_of(problems->cbegin(), problems->cend(), [](const Problem &problem) {
               return problem.keyword == QLatin1String("windows-name")
                      || problem.keyword == QLatin1String("device-name")
                      || problem.keyword == QLatin1String("invisible");
           })) {
        add(problems, "refused-name",
            QStringLiteral("作成コマンドはこの馬名%1を受け付けません（%2）。編集しても同じ名前では"
                           "保存し直せません")
                .arg(shown(record.name), refusal));
    }

    bool lf = false, cr = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))
            cr = true;
        else if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            lf = true;
    }
    const QString sameOnScreen
        = QStringLiteral("画面と編集には影響しませんが、保存し直すとCR LFに変わります");
    if (lf)
        add(problems, "line-end-lf",
            QStringLiteral("改行がLFだけの行があります（CR LFではありません）。") + sameOnScreen);
    if (cr)
        add(problems, "line-end-cr",
            QStringLiteral("改行がCRだけの行があります（CR LFではありません）。") + sameOnScreen);
    if (!text.endsWith(u'\n') && !text.endsWith(u'\r'))
        add(problems, "no-final-line-end",
            QStringLiteral("最後の行が改行で終わっていません。") + sameOnScreen);

    if (const qsizetype bad = text.indexOf(QChar::ReplacementCharacter); bad >= 0) {
        add(problems, "not-cp932",
            QStringLiteral("シフトJIS（コードページ932）として読めないバイトがあり、%1文字目は"
                           "画面に「\uFFFD」と表示されます。編集しても元の文字には戻りません")
                    .arg(bad + 1)
                + (difference.isEmpty() ? QString() : QStringLiteral("。") + difference));
    }
    const QStringList lines = linesOf(text);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].contains(u',')) {
            add(problems, "comma",
                QStringLiteral("%1行目にコンマがあり、画面ではコンマの所で行が分かれて表示されます")
                        .arg(i + 1)
                    + then);
            break;
        }
    }
    if (record.password.size() != RecordFile::kPasswordLength) {
        add(problems, "password-length",
            QStringLiteral("1行目のパスワードが%1文字です（36文字のはずです）")
                    .arg(record.password.size())
                + then);
    }
    if (record.weighted && !baseOf(fileName).endsWith(u'(' + record.weight + u')') && back) {
        add(problems, "weight-line",
            QStringLiteral("2行目が%1で、ファイル名の斤量と合いません。編集すると斤量は%2になり、"
                           "そのまま保存すると%3ができます")
                .arg(shown(lines[1]), shown(back->weight),
                     shown(RecordFile::composeFileName(back->name, back->weight))));
    }
    const qsizetype expected = record.weighted ? 2 : 1;
    if (lines.size() > expected) {
        const qsizetype length = loaded.displayText.size();
        add(problems, "extra-lines",
            QStringLiteral("%1行目から先に余分な行があります").arg(expected + 1)
                + (length >= 60 ? QStringLiteral("（全%1文字。60文字以上あると斤量は58〜59文字目"
                                                 "から取られます）")
                                      .arg(length)
                                : QString())
                + then);
    }
    if (record.weighted && record.weight.size() != 2) {
        add(problems, "weight-length",
            QStringLiteral("斤量%1が2文字ではありません。馬名と斤量は位置で取り出されます")
                    .arg(shown(record.weight))
                + then);
    }
    if (!record.weighted && back && back->name != record.name) {
        add(problems, "name-paren",
            QStringLiteral("馬名が「)」で終わり、斤量付きの名前と取り違えられます") + then);
    }
}

} // namespace RecordCheck
