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
        QTest::newRow("single bytes 80 A0 FD FE FF")
            << QByteArray::fromHex("80a0fdfeff")
            << QString::fromUtf16(u"\u0080\uf8f0\uf8f1\uf8f2\uf8f3");
        QTest::newRow("80 and A0 as second bytes")
            << QByteArray::fromHex("818081a080") << QString::fromUtf16(u"÷□\u0080");
        QTest::newRow("bytes that are no character")
            << QByteArray::fromHex("85408120") << QString::fromUtf16(u"\ufffd\ufffd ");
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
        // What input methods outside Windows type for the same JIS X 0208 characters.
        QTest::newRow("wave dash") << QStringLiteral("〜") << QByteArray::fromHex("8160");
        QTest::newRow("minus sign") << QStringLiteral("−") << QByteArray::fromHex("817c");
        QTest::newRow("cent sign") << QStringLiteral("¢") << QByteArray::fromHex("8191");
        QTest::newRow("pound sign") << QStringLiteral("£") << QByteArray::fromHex("8192");
        QTest::newRow("not sign") << QStringLiteral("¬") << QByteArray::fromHex("81ca");
        QTest::newRow("double vertical line") << QStringLiteral("‖") << QByteArray::fromHex("8161");
        QTest::newRow("em dash") << QStringLiteral("—") << QByteArray::fromHex("815c");
        QTest::newRow("Windows forms") << QStringLiteral("～－￠￡￢∥―")
                                       << QByteArray::fromHex("8160817c8191819281ca8161815c");
        // ICU would write the bytes of №, which read back as another character.
        QTest::newRow("private use U+F86F") << QString(QChar(0xF86F)) << QByteArray();
        QTest::newRow("yen sign has no byte of its own") << QStringLiteral("¥") << QByteArray();
        QTest::newRow("U+0080 and U+F8F0 to U+F8F3")
            << QString::fromUtf16(u"\u0080\uf8f0\uf8f1\uf8f2\uf8f3")
            << QByteArray::fromHex("80a0fdfeff");
    }

    // Bytes Windows wrote come back as the same bytes.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("single bytes") << QByteArray::fromHex("80a0fdfeff");
        QTest::newRow("single bytes between kana") << QByteArray::fromHex("834180a08343fdff");
        QTest::newRow("80 and A0 after a two-byte character") << QByteArray::fromHex("82a080a0");
        QTest::newRow("controls") << QByteArray::fromHex("1a1c7f0d0a");
        QTest::newRow("JIS X 0208 symbols") << QByteArray::fromHex("8160817c8191819281ca8161815c");
    }

    void roundTrip()
    {
        QFETCH(QByteArray, bytes);
        const auto again = AnsiCodec::encode(AnsiCodec::decode(bytes));
        QVERIFY(again.has_value());
        QCOMPARE(again->toHex(' '), bytes.toHex(' '));
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
