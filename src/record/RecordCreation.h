#pragma once

#include <QString>

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

private:
    // Writers: plain new, weight new, plain replace, weight replace.
    void IniWrite();
    void IniWrite2();
    void IniWrite3();
    void IniWrite4();

    enum class Kind { Plain, Weight };
    void writeRecord(Kind kind, bool replacing);
    bool entriesPass(Kind kind);
    // Beeps and shows the message; false, for the caller to return.
    bool refuse(const QString &text, int style, const QString &title);
    bool askOverwrite(const QString &fileName);

    Services &m_services;
    RecordBoxes &m_boxes;
};
