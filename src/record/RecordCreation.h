#pragma once

#include <QString>

#include <optional>

class OpenFolder;
class RecordBoxes;
class Services;

// The create button: checks the boxes, asks before replacing a record, writes it
// into the output folder and confirms. Every refusal is a message; nothing is
// written unless every check passed.
class RecordCreation
{
public:
    RecordCreation(Services &services, RecordBoxes &boxes);

    void createPlainRecord(); // the click of Command2
    void createWeightRecord(); // the click of Command3

    // The message with which the create command refuses this horse name and, for a
    // weight record, this weight, in the order of its checks; empty when they pass.
    static QString nameRefusal(const QString &name, const std::optional<QString> &weight);

private:
    enum class Kind { Plain, Weight };
    // The boxes as they stood when the button was pressed. A question is modal for mouse
    // and keyboard, but assistive technologies still reach the boxes while it is open;
    // what is written is what was checked and asked about, whatever changes meanwhile.
    struct Entries
    {
        Kind kind;
        QString name;
        QString password;
        QString weight;
        QString folder;
        QString fileName;
        QByteArray asked; // for a replace, the record asked about: only that file is replaced
    };
    Entries takeEntries(Kind kind) const;
    void create(Kind kind);

    // Writers: plain new, weight new, plain replace, weight replace.
    void IniWrite(const OpenFolder &folder, const Entries &entries);
    void IniWrite2(const OpenFolder &folder, const Entries &entries);
    void IniWrite3(const OpenFolder &folder, const Entries &entries);
    void IniWrite4(const OpenFolder &folder, const Entries &entries);

    void writeRecord(const OpenFolder &folder, const Entries &entries, bool replacing);
    bool entriesPass(const Entries &entries);
    // Beeps and shows the message; false, for the caller to return.
    bool refuse(const QString &text, int style, const QString &title);
    bool askOverwrite(const QString &fileName);
    void refuseSaving(const QString &fileName, const QString &reason);

    Services &m_services;
    RecordBoxes &m_boxes;
};
