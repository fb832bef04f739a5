// Links quorvel_resources the way quorvel does, with no Q_INIT_RESOURCE call,
// and checks that ":/quorvel.png" is there and is the 32x32 palette icon.

#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>

static int failures = 0;

static void expect(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "FAIL: %s\n", what);
        ++failures;
    }
}

int main()
{
    const QString path = QStringLiteral(":/quorvel.png");
    expect(QFile::exists(path), ":/quorvel.png is registered");

    const QImage icon(path);
    expect(!icon.isNull(), ":/quorvel.png loads as an image");
    expect(icon.size() == QSize(32, 32), "the icon is 32x32");
    expect(icon.format() == QImage::Format_Indexed8, "the icon has an 8-bit palette");
    expect(icon.colorCount() > 16 && icon.colorCount() <= 256,
           "the palette has more than 16 and at most 256 colours");

    if (!icon.isNull()) {
        // A horseshoe on green: the corners are turf, the middle of the toe
        // (bottom centre, inside the shoe's band) is steel grey.
        const QColor corner = icon.pixelColor(2, 2);
        expect(corner.green() > corner.red() + 40 && corner.green() > corner.blue() + 40,
               "the field is green");
        const QColor toe = icon.pixelColor(16, 24);
        expect(qAbs(toe.red() - toe.blue()) < 40 && qAbs(toe.red() - toe.green()) < 40
                   && toe.value() > 100,
               "the shoe is grey");
    }

    if (failures == 0)
        std::printf(":/quorvel.png is the 32x32 palette icon\n");
    return failures == 0 ? 0 : 1;
}
