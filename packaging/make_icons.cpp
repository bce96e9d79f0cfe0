// Writes the program's icon as PNG files for the hicolor icon theme: the
// 32 x 32 picture scaled up by whole pixels (it is pixel art, so no
// smoothing), at each size given.
//
//   qev_make_icons OUTPUT_FOLDER NAME SIZE...
//   -> OUTPUT_FOLDER/SIZExSIZE/apps/NAME.png
#include "app/icons/qev_lpt.xpm"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER NAME SIZE...\n", argv[0]);
        return EXIT_FAILURE;
    }
    const QImage icon(qev_lpt_xpm);
    if (icon.isNull()) return EXIT_FAILURE;
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) return EXIT_FAILURE;
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder)) return EXIT_FAILURE;
        const QImage scaled = icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        if (!scaled.save(folder + QLatin1Char('/') + QString::fromLocal8Bit(argv[2]) + QStringLiteral(".png"))) {
            return EXIT_FAILURE;
        }
    }
    return EXIT_SUCCESS;
}
