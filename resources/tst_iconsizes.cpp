// The larger icons of the theme are the 32x32 drawing, each of its pixels a
// square of the same colour, not another picture or a blurred one.

#include <QImage>
#include <QTest>

class IconSizesTest : public QObject
{
    Q_OBJECT

private slots:
    void sameDrawing_data();
    void sameDrawing();
};

void IconSizesTest::sameDrawing_data()
{
    QTest::addColumn<int>("size");
    for (int size : {32, 64, 128, 256})
        QTest::newRow(qPrintable(QStringLiteral("%1x%1").arg(size))) << size;
}

void IconSizesTest::sameDrawing()
{
    QFETCH(int, size);
    const QImage drawing(QStringLiteral(QUORVEL_ICON_SOURCE));
    QVERIFY(!drawing.isNull());
    QCOMPARE(drawing.size(), QSize(32, 32));

    const QString path
        = QStringLiteral(QUORVEL_ICON_THEME "/%1x%1/apps/" QUORVEL_APP_ID ".png").arg(size);
    const QImage icon(path);
    QVERIFY2(!icon.isNull(), qPrintable(path));
    QCOMPARE(icon.size(), QSize(size, size));

    const int factor = size / 32;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (icon.pixel(x, y) != drawing.pixel(x / factor, y / factor))
                QFAIL(
                    qPrintable(QStringLiteral("pixel (%1, %2) differs from the drawing's (%3, %4)")
                                   .arg(x)
                                   .arg(y)
                                   .arg(x / factor)
                                   .arg(y / factor)));
        }
    }
}

QTEST_APPLESS_MAIN(IconSizesTest)
#include "tst_iconsizes.moc"
