#include "platform/AnsiCodec.h"

#include <QTest>

class TestAnsiCodec : public QObject
{
    Q_OBJECT

private slots:
    // Bytes as Windows reads them in code page 932; hex worked out by hand.
    void decodesAsWindows_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("katakana") << QByteArray::fromHex("83418343") << QStringLiteral("アイ");
        QTest::newRow("controls 1A 1C 7F stay themselves")
            << QByteArray::fromHex("1a1c7f") << QString::fromUtf16(u"\u001a\u001c\u007f");
        QTest::newRow("controls between kana")
            << QByteArray::fromHex("83411a8343") << QString::fromUtf16(u"ア\u001aイ");
        QTest::newRow("bytes that are no character")
            << QByteArray::fromHex("80a0fd") << QString::fromUtf16(u"\ufffd\ufffd\ufffd");
        QTest::newRow("lead byte at the very end")
            << QByteArray::fromHex("4181") << QString::fromUtf16(u"A\ufffd");
        QTest::newRow("NEC and IBM extensions")
            << QByteArray::fromHex("87408160") << QStringLiteral("①～");
        QTest::newRow("yen sign byte is a backslash") << QByteArray("\\") << QStringLiteral("\\");
    }

    void decodesAsWindows()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(AnsiCodec::decode(bytes), text);
    }

    void encodesOrRefuses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");  // empty: refused
        QTest::newRow("hiragana") << QStringLiteral("あい") << QByteArray::fromHex("82a082a2");
        QTest::newRow("controls") << QString::fromUtf16(u"\u001a\u001c\u007f") << QByteArray::fromHex("1a1c7f");
        QTest::newRow("emoji") << QStringLiteral("あ😀") << QByteArray();
        QTest::newRow("vu") << QStringLiteral("ゔ") << QByteArray();
        QTest::newRow("surrogate pair kanji") << QStringLiteral("𠮷") << QByteArray();
        QTest::newRow("half a surrogate pair") << QString(QChar(0xD800)) << QByteArray();
    }

    void encodesOrRefuses()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const auto encoded = AnsiCodec::encode(text);
        QCOMPARE(encoded.has_value(), !bytes.isEmpty());
        if (encoded)
            QCOMPARE(*encoded, bytes);
    }
};

QTEST_GUILESS_MAIN(TestAnsiCodec)
#include "tst_ansicodec.moc"
