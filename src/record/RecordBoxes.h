#pragma once

#include <QString>

// The input boxes as the create commands see them. The window answers with its live
// controls; BoxValues holds plain values for code that has no window.
class RecordBoxes
{
public:
    virtual ~RecordBoxes() = default;

    virtual QString horseName() const = 0; // 馬名
    virtual QString password() const = 0; // パスワード
    virtual QString weight() const = 0; // 斤量, the text of the weight box
    virtual bool clearAfterCreate() const = 0; // 作成毎に消去
    virtual QString outputFolder() const = 0; // the highlighted folder entry

    virtual void setHorseName(const QString &text) = 0;
    virtual void setPassword(const QString &text) = 0;
    virtual void setWeight(const QString &text) = 0;
};

class BoxValues : public RecordBoxes
{
public:
    QString name;
    QString pass;
    QString weightText;
    bool clearAfter = false;
    QString folder;

    QString horseName() const override { return name; }
    QString password() const override { return pass; }
    QString weight() const override { return weightText; }
    bool clearAfterCreate() const override { return clearAfter; }
    QString outputFolder() const override { return folder; }
    void setHorseName(const QString &text) override { name = text; }
    void setPassword(const QString &text) override { pass = text; }
    void setWeight(const QString &text) override { weightText = text; }
};
