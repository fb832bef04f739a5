// Writes the 32x32 icon at a whole multiple of its size for the desktop's icon
// theme: every pixel becomes a FACTOR x FACTOR square of the same colour, so that
// the larger icons are the same drawing rather than a blurred copy of it.
//
//   quorvel_scale_icon <in.png> <factor> <out.png>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <in.png> <factor> <out.png>\n", argv[0]);
        return 2;
    }
    const QString in = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[3]);
    bool ok = false;
    const int factor = QString::fromLocal8Bit(argv[2]).toInt(&ok);
    if (!ok || factor < 1 || factor > 64) {
        std::fprintf(stderr, "%s: the factor must be a whole number from 1 to 64\n", argv[0]);
        return 2;
    }

    QImage small(in);
    if (small.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s as an image\n", argv[0], argv[1]);
        return 1;
    }
    // A palette image stays one, with the same palette; anything else is
    // copied colour by colour.
    const bool indexed = small.format() == QImage::Format_Indexed8;
    if (!indexed)
        small = small.convertToFormat(QImage::Format_ARGB32);
    QImage large(small.size() * factor, small.format());
    if (indexed)
        large.setColorTable(small.colorTable());
    for (int y = 0; y < large.height(); ++y) {
        for (int x = 0; x < large.width(); ++x) {
            if (indexed)
                large.setPixel(x, y, small.pixelIndex(x / factor, y / factor));
            else
                large.setPixel(x, y, small.pixel(x / factor, y / factor));
        }
    }

    if (!QDir().mkpath(QFileInfo(out).absolutePath()) || !large.save(out, "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return 0;
}
