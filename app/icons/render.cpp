// Writes one of the program's icon images as a PNG of the given size, scaled by whole pixels,
// for the desktop's icon theme: render INPUT.xpm OUTPUT.png SIZE

#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT.xpm OUTPUT.png SIZE\n", argv[0]);
        return 2;
    }
    const int size = QByteArray(argv[3]).toInt();
    const QImage image(QString::fromLocal8Bit(argv[1]), "XPM");
    if (image.isNull() || size <= 0 || size % image.width() != 0)
        return 1;
    return image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                   .save(QString::fromLocal8Bit(argv[2]), "PNG")
               ? 0
               : 1;
}
