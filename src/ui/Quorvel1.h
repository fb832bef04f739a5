#pragma once

#include "record/RecordBoxes.h"
#include "record/RecordCreation.h"

#include <QWidget>

class DisplayBox;
class DriveList;
class FileList;
class FolderList;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Services;

// The one window of the program. All state lives in its controls, which keep the
// names the program has always given them.
class Quorvel1 : public QWidget, private RecordBoxes
{
    Q_OBJECT
public:
    explicit Quorvel1(Services &services, const QString &startFolder, QWidget *parent = nullptr);

    static QString versionText();
    // The record date as the user's settings write a date and a time with seconds.
    static QString dateText(const QDateTime &time);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void setTabOrder();
    void fitTexts();
    void startUp();
    // A folder that cannot be used: the beep and the reason.
    void tellFolderUnusable(const QString &reason);
    // The open folder gone: the nearest one above it shown, nothing chosen, the user told.
    bool recoverIfGone();

    // Handlers, named for the control and what the user did.
    void Check2_Click();
    void Combo1_BeforeMove();
    void Command1_Click();
    void Command4_Click();
    void Command5_Click();
    void Drive1_Change();
    void Dir1_Change();
    void Dir1_Click();
    void File1_Click();

    // What the create commands read and clear.
    QString horseName() const override;
    QString password() const override;
    QString weight() const override;
    bool clearAfterCreate() const override;
    QString outputFolder() const override;
    void setHorseName(const QString &text) override;
    void setPassword(const QString &text) override;
    void setWeight(const QString &text) override;

    Services &m_services;
    RecordCreation m_creation;
    bool m_recoveringDrive = false;

    DriveList *Drive1;
    QLineEdit *Text1;
    QComboBox *Combo1;
    QLineEdit *Text2;
    QPushButton *Command3;
    QPushButton *Command1;
    FolderList *Dir1;
    FileList *File1;
    QGroupBox *Frame1;
    QPushButton *Command2;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label7;
    QLineEdit *Text6;
    QLabel *Label3;
    DisplayBox *Text3;
    QCheckBox *Check1;
    QLabel *Label1;
    QCheckBox *Check2;
    QLabel *Label8;
    QLabel *Label12;
    QPushButton *Command4;
    QPushButton *Command5;
    QCheckBox *Check3;
    QGroupBox *Frame2;
    QLabel *Label2;
    QLabel *Label9;
};
