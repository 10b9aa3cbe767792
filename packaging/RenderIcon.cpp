// Build tool: renders the program's SVG icon into the PNG sizes of the hicolor theme.
// Usage: render_icon ICON.svg OUTPUT_FOLDER NAME SIZE...
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: render_icon ICON.svg OUTPUT_FOLDER NAME SIZE...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 4; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        QDir().mkpath(folder);
        if (!image.save(folder + QLatin1Char('/') + QString::fromLocal8Bit(argv[3]) + QStringLiteral(".png"))) {
            std::fprintf(stderr, "render_icon: cannot write the %d pixel icon\n", size);
            return 1;
        }
    }
    return 0;
}
