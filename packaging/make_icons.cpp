// Turns the window icon into the menu icons: the same pixel art, each pixel enlarged to a
// square block so it stays crisp at every size.
// Usage: make_icons <icon.xpm> <size>=<out.png>...

#include <QImage>
#include <QString>

#include <cstdio>

namespace {

[[nodiscard]] int fail(const QString &message)
{
    std::fprintf(stderr, "make_icons: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fputs("usage: make_icons <icon.xpm> <size>=<out.png>...\n", stderr);
        return 2;
    }
    const QString sourceName = QString::fromLocal8Bit(argv[1]);
    const QImage source(sourceName);
    if (source.isNull())
        return fail(QStringLiteral("cannot read %1").arg(sourceName));
    if (source.width() != source.height())
        return fail(QStringLiteral("%1 is %2x%3, not square").arg(sourceName).arg(source.width()).arg(source.height()));

    for (int i = 2; i < argc; ++i) {
        const QString request = QString::fromLocal8Bit(argv[i]);
        const qsizetype split = request.indexOf(u'=');
        bool isNumber = false;
        const int size = request.left(split).toInt(&isNumber);
        if (split <= 0 || !isNumber || size <= 0 || split + 1 == request.size())
            return fail(QStringLiteral("%1: expected <size>=<out.png>").arg(request));
        // Only a whole factor gives every source pixel the same block; anything else smears
        // the art with uneven rows and columns.
        if (size % source.width() != 0)
            return fail(QStringLiteral("%1 is not a whole multiple of %2").arg(size).arg(source.width()));
        const QString target = request.mid(split + 1);
        const QImage scaled = source.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        if (!scaled.save(target, "PNG"))
            return fail(QStringLiteral("cannot write %1").arg(target));
    }
    return 0;
}
