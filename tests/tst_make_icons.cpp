// The icon tool run as the build runs it, on small XPMs written here: the menu icons must be
// the window icon's pixels, enlarged block for block, transparency kept.

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// 4x4 with four colours and a transparent corner, so a smoothing or off-by-one scale shows.
const QByteArray Checker = R"(/* XPM */
static char *checker[] = {
"4 4 4 1",
"  c None",
"r c #FF0000",
"g c #00FF00",
"b c #0000FF",
" rgb",
"rgbr",
"gbrg",
"brg ",
};
)";

const QByteArray Wide = R"(/* XPM */
static char *wide[] = {
"2 1 1 1",
"r c #FF0000",
"rr",
};
)";

} // namespace

class TestMakeIcons : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;

    [[nodiscard]] QString write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return file.fileName();
    }

    [[nodiscard]] static int run(const QStringList &arguments)
    {
        QProcess tool;
        tool.start(QStringLiteral(MAKE_ICONS), arguments);
        if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
            return -1;
        return tool.exitCode();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
    }

    void enlargesEachPixelToABlock_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("same size") << 4;
        QTest::newRow("twice") << 8;
        QTest::newRow("eight times") << 32;
    }

    void enlargesEachPixelToABlock()
    {
        QFETCH(int, size);
        const QString source = write(u"checker.xpm"_qs, Checker);
        const QString target = dir.filePath(QStringLiteral("out-%1.png").arg(size));
        QCOMPARE(run({source, QStringLiteral("%1=%2").arg(size).arg(target)}), 0);

        QImageReader reader(target);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage original(source);
        QCOMPARE(original.size(), QSize(4, 4));
        const QImage scaled = reader.read();
        QCOMPARE(scaled.size(), QSize(size, size));
        const int factor = size / 4;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (scaled.pixel(x, y) != original.pixel(x / factor, y / factor))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3, source %4")
                                         .arg(x).arg(y)
                                         .arg(scaled.pixel(x, y), 8, 16, QChar(u'0'))
                                         .arg(original.pixel(x / factor, y / factor), 8, 16, QChar(u'0'))));
            }
        }
        QCOMPARE(qAlpha(scaled.pixel(0, 0)), 0);
    }

    void writesEverySizeAskedFor()
    {
        const QString source = write(u"checker.xpm"_qs, Checker);
        const QString small = dir.filePath(u"many-4.png"_qs);
        const QString large = dir.filePath(u"many-16.png"_qs);
        QCOMPARE(run({source, u"4="_qs + small, u"16="_qs + large}), 0);
        QCOMPARE(QImage(small).size(), QSize(4, 4));
        QCOMPARE(QImage(large).size(), QSize(16, 16));
    }

    // Every refusal is an error exit with no picture written, so the build stops there.
    void refuses_data()
    {
        QTest::addColumn<QByteArray>("xpm");
        QTest::addColumn<QString>("request");
        QTest::newRow("size no whole multiple") << Checker << u"6=%1"_qs;
        QTest::newRow("not square") << Wide << u"4=%1"_qs;
        QTest::newRow("not a picture") << QByteArray("hello\n") << u"4=%1"_qs;
        QTest::newRow("no size") << Checker << u"=%1"_qs;
        QTest::newRow("size not a number") << Checker << u"big=%1"_qs;
        QTest::newRow("zero size") << Checker << u"0=%1"_qs;
        QTest::newRow("no output name") << Checker << u"8="_qs;
        QTest::newRow("output folder missing") << Checker << u"8=%1/nowhere/x.png"_qs;
    }

    void refuses()
    {
        QFETCH(QByteArray, xpm);
        QFETCH(QString, request);
        const QString source = write(u"input.xpm"_qs, xpm);
        const QString target = dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-') + u".png"_qs);
        const QString argument = request.contains(u"%1"_qs) ? request.arg(target) : request;
        const int code = run({source, argument});
        QVERIFY2(code > 0, qPrintable(QStringLiteral("exit code %1").arg(code)));
        QVERIFY(!QFile::exists(target));
    }

    void refusesMissingSource()
    {
        const QString target = dir.filePath(u"missing.png"_qs);
        QVERIFY(run({dir.filePath(u"no-such.xpm"_qs), u"8="_qs + target}) > 0);
        QVERIFY(!QFile::exists(target));
    }
};

QTEST_GUILESS_MAIN(TestMakeIcons)
#include "tst_make_icons.moc"
