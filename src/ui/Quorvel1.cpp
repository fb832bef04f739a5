#include "Quorvel1.h"

#include "AccessibleComboBox.h"
#include "ClassicLook.h"
#include "CommandButton.h"
#include "DisplayBox.h"
#include "DriveList.h"
#include "FileList.h"
#include "FolderList.h"
#include "ReadOnlyBox.h"
#include "Twips.h"
#include "Version.h"
#include "WindowFont.h"
#include "platform/Directory.h"
#include "platform/GeneralDate.h"
#include "platform/InputMethod.h"
#include "platform/TitleBar.h"
#include "platform/Services.h"
#include "record/RecordFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace {
const QString kTitle = QStringLiteral("確認!");
constexpr QRect kLabel1Twips = Twips::rect(2520, 3360, 2685, 240);

QFont uiFont(double points, bool bold = false)
{
    QFont font;
    font.setFamilies(WindowFont::families());
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

template <typename Widget, typename... Args>
Widget *make(QWidget *parent, const char *name, QRect twips, const QFont &font, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(twips);
    widget->setFont(font);
    return widget;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QRect twips,
                  const QFont &font)
{
    auto *label = make<QLabel>(parent, name, twips, font, text);
    label->setTextFormat(Qt::PlainText);
    label->resize(label->sizeHint().width(), label->height());
    return label;
}

// A caption is one line of its font high, and some glyphs (the dakuten of ダ) reach a
// pixel below the font's descent: the caption keeps its top where it was and gets two
// pixels more below, where nothing else is, so that they show whole.
void fitCaption(QLabel *label)
{
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->resize(label->width(), label->height() + 2);
}

void makeBoxedLabel(QLabel *label, bool white)
{
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setAlignment(Qt::AlignCenter);
    if (white) {
        // White as a box is, not the form's grey.
        label->setBackgroundRole(QPalette::Base);
        label->setAutoFillBackground(true);
    }
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(Directory::displayName(path));
}

// The date box is as wide as a Japanese date needs; the dates of other locales are wider
// ("12/28/26 8:39:47 PM"). It grows to the right for them, as far as the buttons, with a
// blank's room inside its border on either side. Windows draws a bold face that the font
// does not have one pixel wider per character, and its users may set long formats
// ("午後 8:39:47"): what still does not fit takes the free strip to the left, between the
// drive list and the folder list, as far as their left edge.
void fitDateBox(QLabel *label, int leftLimit, int rightLimit)
{
    const int room = label->fontMetrics().horizontalAdvance(u' ');
    const int wanted = label->sizeHint().width() + 2 * room;
    const int left = kLabel1Twips.left();
    const int width = qBound(kLabel1Twips.width(), wanted,
                             qMax(kLabel1Twips.width(), rightLimit - leftLimit));
    const int x = qMin(left, qMax(leftLimit, rightLimit - width));
    label->setGeometry(x, label->y(), width, label->height());
}

bool movesInList(const QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp
           || key == Qt::Key_PageDown || key == Qt::Key_F4;
}
} // namespace

Quorvel1::Quorvel1(Services &services, const QString &startFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint),
      m_services(services),
      m_creation(services, *this)
{
    AccessibleComboBox::install();
    setObjectName(QStringLiteral("Quorvel1"));
    setWindowTitle(QStringLiteral("Quorvel  Ver" QUORVEL_VERSION_SHORT));
    setFont(uiFont(9, true));
    setFixedSize(Twips::toPixels(6975), Twips::toPixels(6495));
    setAutoFillBackground(true);

    createControls();
    setTabOrder();
    ClassicLook::apply(this);
    fitTexts();
    if (TitleBar::needed())
        TitleBar::install(this);

    connect(Check2, &QCheckBox::toggled, this, &Quorvel1::Check2_Click);
    connect(Command1, &QPushButton::clicked, this, &Quorvel1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, [this] { m_creation.createPlainRecord(); });
    connect(Command3, &QPushButton::clicked, this, [this] { m_creation.createWeightRecord(); });
    connect(Command4, &QPushButton::clicked, this, &Quorvel1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Quorvel1::Command5_Click);
    connect(Drive1, &DriveList::changed, this, &Quorvel1::Drive1_Change);
    connect(Dir1, &FolderList::changed, this, &Quorvel1::Dir1_Change);
    connect(Dir1, &FolderList::entryClicked, this, &Quorvel1::Dir1_Click);
    connect(Dir1, &FolderList::refused, this, &Quorvel1::tellFolderUnusable);
    connect(File1, &FileList::fileClicked, this, &Quorvel1::File1_Click);

    startUp();
    QString reason;
    if (!Dir1->setPath(startFolder, &reason)) {
        // The system cannot name a folder deeper than paths reach.
        if (startFolder.isEmpty())
            reason = QStringLiteral("起動したフォルダの場所を得られません");
        Dir1->showNearest(startFolder);
        // Said once the window is there, for the message to stand over it.
        QMetaObject::invokeMethod(
            this, [this, reason] { tellFolderUnusable(reason); }, Qt::QueuedConnection);
    }
}

void Quorvel1::createControls()
{
    const QFont normal = uiFont(9);
    const QFont bold = uiFont(9, true);
    using Twips::rect;

    Drive1 = make<DriveList>(this, "Drive1", rect(240, 3000, 2055, 300), normal, m_services);
    Text1 = make<QLineEdit>(this, "Text1", rect(120, 360, 1815, 300), normal);
    Combo1 = make<QComboBox>(this, "Combo1", rect(120, 960, 1815, 300), normal);
    Text2 = make<QLineEdit>(this, "Text2", rect(120, 1680, 6735, 300), normal);
    Command3 = make<CommandButton>(this, "Command3", rect(5520, 3960, 1215, 375), normal,
                                   QStringLiteral("ファイル作成"));
    Command1 = make<CommandButton>(this, "Command1", rect(5520, 4560, 1215, 375), normal,
                                   QStringLiteral("End"));
    Dir1 = make<FolderList>(this, "Dir1", rect(240, 3720, 2055, 1770), normal, m_services);
    File1 = make<FileList>(this, "File1", rect(2520, 3720, 2655, 1890), normal);
    Frame1 = make<QGroupBox>(this, "Frame1", rect(2640, 240, 3855, 1095), normal);
    Command2 = make<CommandButton>(this, "Command2", rect(5520, 3960, 1215, 375), normal,
                                   QStringLiteral("ファイル作成"));
    Label4 = makeLabel(this, "Label4", QStringLiteral("馬名"), rect(120, 120, 360, 180), normal);
    Label5 = makeLabel(this, "Label5", QStringLiteral("斤量"), rect(120, 720, 360, 180), normal);
    Label7 = makeLabel(this, "Label7", QStringLiteral("パスワード"), rect(120, 1440, 810, 180),
                       normal);
    Text6 = make<ReadOnlyBox>(this, "Text6", rect(120, 2400, 6735, 270), bold);
    Label3 = makeLabel(this, "Label3", QStringLiteral("ファイル作成指定フォルダ"),
                       rect(120, 2160, 1980, 180), normal);
    Text3 = make<DisplayBox>(this, "Text3", rect(240, 5760, 6495, 615), uiFont(8.25));
    // The check boxes take the frame's font, which is not bold.
    Check1 = make<QCheckBox>(Frame1, "Check1", rect(240, 270, 1215, 255), normal,
                             QStringLiteral("編集する"));
    Label1 = make<QLabel>(this, "Label1", kLabel1Twips, bold);
    Check2 = make<QCheckBox>(Frame1, "Check2", rect(240, 480, 1815, 255), normal,
                             QStringLiteral("斤量別ファイル名"));
    Label8 = make<QLabel>(this, "Label8", rect(2520, 3000, 2655, 255), bold);
    Label12 = make<QLabel>(this, "Label12", rect(4440, 1440, 705, 180), normal);
    Command4 = make<CommandButton>(this, "Command4", rect(5520, 5160, 1215, 255), normal,
                                   QStringLiteral("Ver情報"));
    Command5 = make<CommandButton>(this, "Command5", rect(5520, 3480, 1215, 255), normal,
                                   QStringLiteral("Clear"));
    Check3 = make<QCheckBox>(Frame1, "Check3", rect(240, 720, 1815, 255), normal,
                             QStringLiteral("作成毎に消去"));
    Frame2 = make<QGroupBox>(this, "Frame2", rect(5040, 360, 1215, 855), bold);
    Label2
        = makeLabel(Frame2, "Label2", QStringLiteral("登録延数"), rect(120, 240, 720, 180), normal);
    Label9 = makeLabel(Frame2, "Label9", QString(), rect(495, 480, 135, 240), normal);

    for (int weight = 48; weight <= 69; ++weight)
        Combo1->addItem(QString::number(weight), 0);
    Combo1->setEditable(true);
    // The weight is taken as typed: without this, Qt completes "5" to "50" from the list.
    Combo1->setCompleter(nullptr);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setEditText(QString());
    Text2->setMaxLength(55);
    Text3->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab goes on to the next control, as from every other box, instead of into the text.
    Text3->setTabChangesFocus(true);
    // File names are shown as they are, never as markup ("<b>x.pas" is a valid name).
    for (QLabel *label : {Label1, Label8, Label12})
        label->setTextFormat(Qt::PlainText);
    for (QLabel *caption : {Label4, Label5, Label7, Label3, Label2})
        fitCaption(caption);
    makeBoxedLabel(Label8, true);
    makeBoxedLabel(Label1, true);
    makeBoxedLabel(Label9, false);
    Label12->hide();

    Label4->setBuddy(Text1);
    Label5->setBuddy(Combo1);
    Label7->setBuddy(Text2);
    Label3->setBuddy(Text6);
    const std::pair<QWidget *, QString> names[] = {{Text1, Label4->text()},
                                                   {Combo1, Label5->text()},
                                                   {Text2, Label7->text()},
                                                   {Text6, Label3->text()},
                                                   {Drive1, QStringLiteral("ドライブ")},
                                                   {Dir1, QStringLiteral("フォルダ")},
                                                   {File1, QStringLiteral("登録ファイル")},
                                                   {Text3, QStringLiteral("ファイル内容")}};
    for (const auto &[widget, name] : names)
        widget->setAccessibleName(name);
    // The count label is announced by what it shows ("3頭"), with its caption as its label.
    Label2->setBuddy(Label9);
    Label9->setAccessibleDescription(Label2->text());

    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
    Combo1->installEventFilter(this);
}

// The layout was made for ＭＳ Ｐゴシック and fits IPAPGothic, which has its metrics. A taller
// stand-in (Noto Sans CJK, Droid Sans Fallback) keeps its size where the text still draws
// whole; elsewhere the control takes the largest size at which it does.
void Quorvel1::fitTexts()
{
    using WindowFont::Placing;
    const auto fit = [](QWidget *widget, const QStringList &lines, QSizeF room, Placing placing) {
        widget->setFont(WindowFont::fitted(widget->font(), lines, room, placing));
    };
    constexpr qreal kAnyWidth = 1e6; // the control grows with its text
    for (QLabel *caption : {Label4, Label5, Label7, Label3, Label2}) {
        fit(caption, {caption->text()}, QSizeF(kAnyWidth, caption->height()), Placing::Top);
        caption->resize(caption->sizeHint().width(), caption->height());
    }
    // What the boxed labels show: a file name, the date, the count.
    const std::pair<QLabel *, QString> shown[]
        = {{Label8, QStringLiteral("サクラ(55).pas")},
           {Label1, QStringLiteral("作成日　2026/12/08 20:39:47")},
           {Label9, QStringLiteral("12頭")}};
    for (const auto &[label, text] : shown)
        fit(label, {text}, QSizeF(kAnyWidth, label->contentsRect().height()), Placing::Centred);
    for (QCheckBox *box : {Check1, Check2, Check3}) {
        const int text = box->width() - box->style()->pixelMetric(QStyle::PM_IndicatorWidth)
                         - box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        fit(box, {box->text()}, QSizeF(text, box->height()), Placing::Centred);
    }
    // Inside the bevel, two pixels on each side.
    for (QPushButton *button : {Command1, Command2, Command3, Command4, Command5})
        fit(button, {button->text()}, button->rect().adjusted(2, 2, -2, -2).size(),
            Placing::Centred);
    // The version text's three lines, each on a line of its own and all seen at once; the
    // box leaves its text margin above and below to what the lines leave free.
    const QSizeF text(Text3->contentsRect().width() - 2 * DisplayBox::kUsualMargin,
                      Text3->contentsRect().height());
    fit(Text3, versionText().split(QStringLiteral("\r\n")), text, Placing::Lines);
}

void Quorvel1::setTabOrder()
{
    const QList<QWidget *> order
        = {Drive1,   Text1, Combo1, Text2,  Command3, Command1, Dir1,     File1,
           Command2, Text6, Text3,  Check1, Check2,   Command4, Command5, Check3};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void Quorvel1::startUp()
{
    Command3->hide();
    Combo1->setEnabled(false);
    File1->setPattern(QStringLiteral("*.pas"));
}

QString Quorvel1::versionText()
{
    return QStringLiteral("Quorvel ver" QUORVEL_VERSION_SHORT "\r\n"
                          "　　最新情報　https://quorvel.example.org/\r\n"
                          "　　制作　　　　Quorvel Team(team@quorvel.example.org)");
}

QString Quorvel1::dateText(const QDateTime &time)
{
    return GeneralDate::text(time);
}

bool Quorvel1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (watched == Text1)
            InputMethod::switchTo(Text1, InputMethod::Mode::FullWidthKatakana);
        else if (watched == Text2)
            InputMethod::switchTo(Text2, InputMethod::Mode::Hiragana);
    }
    if (watched == Combo1 && movesInList(event))
        Combo1_BeforeMove();
    return QWidget::eventFilter(watched, event);
}

// Typing or emptying the weight leaves the list's current entry where it was last picked,
// and the arrow keys would go on from there. Before they move, the current entry becomes
// the one the box shows, or none for an empty box or a weight typed outside the list, so
// that Down gives "48" as in a classic combo box.
void Quorvel1::Combo1_BeforeMove()
{
    const QString shown = Combo1->currentText();
    const int entry = Combo1->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry == Combo1->currentIndex())
        return;
    if (entry >= 0) {
        Combo1->setCurrentIndex(entry); // the same text, so nothing visible changes
        return;
    }
    Combo1->setCurrentIndex(-1); // this empties the box: put back what was typed
    if (!shown.isEmpty())
        Combo1->setEditText(shown);
}

void Quorvel1::changeEvent(QEvent *event)
{
    // Coming back to the window is when a folder removed meanwhile is noticed.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        recoverIfGone();
    QWidget::changeEvent(event);
}

void Quorvel1::tellFolderUnusable(const QString &reason)
{
    m_services.beep();
    m_services.messageBox(QStringLiteral("フォルダを開けませんでした！\r\n") + reason,
                          Services::Exclamation, kTitle);
}

bool Quorvel1::recoverIfGone()
{
    QString reason;
    if (!Dir1->recoverIfGone(&reason))
        return false;
    // The folder shown now is nobody's choice: nothing is written there unasked.
    Text6->clear();
    tellFolderUnusable(reason);
    return true;
}

void Quorvel1::Check2_Click()
{
    const bool weightMode = Check2->isChecked();
    Command2->setVisible(!weightMode);
    Command3->setVisible(weightMode);
    Combo1->setEnabled(weightMode);
    if (!weightMode)
        Combo1->setEditText(QString());
}

void Quorvel1::Command1_Click()
{
    close();
}

void Quorvel1::Command4_Click()
{
    Text3->setText(versionText());
}

void Quorvel1::Command5_Click()
{
    Text1->clear();
    Text2->clear();
}

void Quorvel1::Drive1_Change()
{
    const QString root = Drive1->drive();
    if (root.isEmpty())
        return;
    switch (m_services.volumeState(root)) {
    case Services::VolumeState::Ready: {
        // The folder last open on it may be gone since.
        const QString folder = Drive1->folder();
        QString reason;
        if (!Dir1->setPath(folder, &reason)) {
            Dir1->showNearest(folder);
            Text6->clear();
            tellFolderUnusable(reason);
        }
        return;
    }
    case Services::VolumeState::Refused:
        // Nothing to tell; the list shows the drive of the folder still open.
        Drive1->showDriveOf(Dir1->path());
        return;
    case Services::VolumeState::NotReady:
        break;
    }
    m_services.beep();
    m_services.messageBox(QStringLiteral("ドライブの準備ができていません！"), Services::OkOnly);
    if (!m_recoveringDrive) {
        // Back to the program's own drive; if that one is not ready either, the nested
        // call says so once more and stops there instead of going round for ever.
        m_recoveringDrive = true;
        Drive1->setDrive(m_services.applicationPath());
        m_recoveringDrive = false;
    }
    if (Drive1->drive() == root || m_recoveringDrive)
        Drive1->showDriveOf(Dir1->path());
}

void Quorvel1::Dir1_Change()
{
    File1->setPath(Dir1->path(), Dir1->takeFiles());
    Label9->setText(QString::number(File1->listCount()) + QStringLiteral("頭"));
    Label9->resize(Label9->sizeHint().width(), Label9->height());
    Drive1->showDriveOf(Dir1->path());
}

void Quorvel1::Dir1_Click()
{
    if (recoverIfGone())
        return;
    Text6->setText(nativePath(Dir1->highlightedEntry()));
}

void Quorvel1::File1_Click()
{
    if (recoverIfGone())
        return;
    const QString fileName = File1->fileName();
    if (fileName.isEmpty())
        return;
    Text6->setText(nativePath(Dir1->highlightedEntry()));
    const QString path = File1->filePath();
    const RecordFile::Loaded loaded = RecordFile::load(m_services, path);
    if (!loaded.ok) {
        m_services.beep();
        m_services.messageBox(fileName + QStringLiteral("を読み込めませんでした！\r\n")
                                  + loaded.reason,
                              Services::Exclamation, kTitle);
        return;
    }
    Label8->setText(fileName);
    Label1->setText(QStringLiteral("作成日　") + dateText(m_services.modificationTime(path)));
    fitDateBox(Label1, Dir1->x(), Command5->x() - Twips::toPixels(120));
    Text3->setText(loaded.displayText);
    if (!Check1->isChecked())
        return;
    if (const auto back = RecordFile::IniWrite1(Text3->text(), fileName)) {
        Label12->setText(back->label12);
        Text2->setText(back->password);
        Combo1->setEditText(back->weight);
        Label8->setText(back->fileName);
        Text1->setText(back->name);
    }
}

QString Quorvel1::horseName() const
{
    return Text1->text();
}

QString Quorvel1::password() const
{
    return Text2->text();
}

QString Quorvel1::weight() const
{
    return Combo1->currentText();
}

bool Quorvel1::clearAfterCreate() const
{
    return Check3->isChecked();
}

QString Quorvel1::outputFolder() const
{
    return Dir1->highlightedEntry();
}

void Quorvel1::setHorseName(const QString &text)
{
    Text1->setText(text);
}

void Quorvel1::setPassword(const QString &text)
{
    Text2->setText(text);
}

void Quorvel1::setWeight(const QString &text)
{
    Combo1->setEditText(text);
}
