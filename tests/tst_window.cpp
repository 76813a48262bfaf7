// The window's final form: layout, pictures, focus order and accessible names offscreen, and the
// same window on a real X server of its own, checked pixel by pixel at device-pixel ratios 1
// and 2 before and after a checked game.
#include "DrillTestCase.h"

#include <QAccessible>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>

namespace {

// The controls of each column, column 1 to 5.
struct Column {
    QString sign, rule, multiplicand, multiplier, answer, rightMark, wrongMark;
};
const QList<Column> columnMap{
    {u"Edit5"_qs, u"ProgressBar1"_qs, u"Edit1"_qs, u"Edit2"_qs, u"Edit3"_qs, u"Image1"_qs, u"Image2"_qs},
    {u"Edit4"_qs, u"ProgressBar2"_qs, u"Edit6"_qs, u"Edit7"_qs, u"Edit8"_qs, u"Image3"_qs, u"Image4"_qs},
    {u"Edit9"_qs, u"ProgressBar3"_qs, u"Edit10"_qs, u"Edit11"_qs, u"Edit12"_qs, u"Image5"_qs, u"Image6"_qs},
    {u"Edit13"_qs, u"ProgressBar4"_qs, u"Edit14"_qs, u"Edit15"_qs, u"Edit16"_qs, u"Image7"_qs, u"Image8"_qs},
    {u"Edit17"_qs, u"ProgressBar5"_qs, u"Edit18"_qs, u"Edit19"_qs, u"Edit20"_qs, u"Image9"_qs, u"Image10"_qs},
};
constexpr int columnShift = 152;
const QSize designedSize{790, 406};

struct Place {
    QString name;
    QRect rect;
    int pixelSize; // of the control's font; 0 for controls that show no text
    bool bold;
};

// Every control where the design puts it, with the substitute pop face MotoyaLMaru: its edit
// boxes are 37 + 8 px high, and its labels measure 24 px per full-width character.
QList<Place> designedLayout()
{
    QList<Place> places{
        {u"Label1"_qs, {312, 16, 96, 24}, 24, true},
        {u"Label2"_qs, {24, 296, 168, 24}, 24, true},
        {u"Label3"_qs, {56, 328, 144, 24}, 24, true},
        {u"Button1"_qs, {520, 280, 121, 41}, 29, false},
        {u"Button2"_qs, {640, 280, 121, 41}, 27, true},
        {u"Button3"_qs, {520, 320, 121, 41}, 24, true},
        {u"Button4"_qs, {640, 320, 121, 41}, 24, true},
    };
    for (int k = 0; k < 5; ++k) {
        const Column &c = columnMap[k];
        const int dx = columnShift * k;
        places += {
            {c.sign, QRect(16, 104, 41, 45).translated(dx, 0), 37, true},
            {c.rule, QRect(8, 152, 145, 1).translated(dx, 0), 0, false},
            {c.multiplicand, QRect(72, 56, 57, 45).translated(dx, 0), 37, true},
            {c.multiplier, QRect(96, 104, 33, 45).translated(dx, 0), 37, true},
            {c.answer, QRect(48, 160, 81, 45).translated(dx, 0), 37, true},
            {c.rightMark, QRect(16, 168, 33, 33).translated(dx, 0), 0, false},
            {c.wrongMark, QRect(16, 168, 33, 33).translated(dx, 0), 0, false},
        };
    }
    return places;
}

// Controls that the design lets overlap: the four buttons, and each column's answer box with
// its two marks. Everything else is kept apart.
QString overlapGroup(const QString &name)
{
    if (name.startsWith(u"Button"_qs))
        return u"buttons"_qs;
    for (const Column &c : columnMap) {
        if (name == c.answer || name == c.rightMark || name == c.wrongMark)
            return c.answer;
    }
    return name;
}

// A private X server: -displayfd lets it take a free display, and it dies with this process
// even when the test crashes.
class XServer {
public:
    XServer()
    {
        const QString program = QStandardPaths::findExecutable(u"Xvfb"_qs);
        if (program.isEmpty()) {
            error = u"Xvfb is not installed (package xvfb; scripts/install-deps.sh installs it)"_qs;
            return;
        }
        server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        // Large enough for the window at device-pixel ratio 2 (1580 x 812 at 534, 332).
        server.start(program, {u"-displayfd"_qs, u"1"_qs, u"-screen"_qs, u"0"_qs, u"2560x1600x24"_qs,
                               u"-nolisten"_qs, u"tcp"_qs});
        QByteArray number;
        while (!number.endsWith('\n') && server.waitForReadyRead(10000))
            number += server.readAllStandardOutput();
        if (number.trimmed().isEmpty())
            error = u"Xvfb gave no display number: "_qs + QString::fromLocal8Bit(server.readAllStandardError());
        else
            display = u":"_qs + QString::fromLatin1(number.trimmed());
    }
    ~XServer()
    {
        server.terminate();
        if (!server.waitForFinished(5000))
            server.kill();
        server.waitForFinished();
    }

    QString display;
    QString error;

private:
    QProcess server;
};

// The window as the X server shows it, read in logical pixels, and what looked wrong in it.
struct Shot {
    explicit Shot(QWidget &window)
        : scale(qRound(window.devicePixelRatio()))
        , background(QApplication::palette().color(QPalette::Button))
    {
        // Painted now: a message box closed just before may have left its place unpainted.
        window.repaint();
        image = window.screen()->grabWindow(window.winId()).toImage();
    }

    // The colour at a logical point is that of the first device pixel it covers.
    void expect(QPoint point, const QColor &colour, const QString &what)
    {
        const QColor found = image.pixelColor(point * scale);
        if (found.rgb() != colour.rgb())
            problems << u"%1 at %2,%3: %4 instead of %5"_qs.arg(what).arg(point.x()).arg(point.y())
                            .arg(found.name(), colour.name());
    }

    // Dark pixels in a logical rectangle, counted in logical pixels.
    [[nodiscard]] int ink(const QRect &rect) const
    {
        int count = 0;
        for (int y = rect.top() * scale; y < (rect.bottom() + 1) * scale; ++y) {
            for (int x = rect.left() * scale; x < (rect.right() + 1) * scale; ++x)
                count += image.pixelColor(x, y).lightness() < 100;
        }
        return count / (scale * scale);
    }

    int scale;
    QColor background;
    QImage image;
    QStringList problems;
};

} // namespace

class WindowTest : public DrillTestCase {
    Q_OBJECT
private slots:
    void layout();
    void longerTimeLeftWidensLabel3ToTheRight();
    void pictures_data();
    void pictures();
    void icon();
    void tabOrder();
    void focusAfterTheClickedButtonHides_data();
    void focusAfterTheClickedButtonHides();
    void accessibleNames();
    void onScreen_data();
    void onScreen();

private:
    void openWith(const QByteArray &dataFile = "60\r\n");
    void checkLayout() const;
    void playCheckedGame(const QList<bool> &rightColumns);
    void checkOnScreen(int scale);
    void checkControls(Shot &shot) const;
};

// The window shown and painted.
void WindowTest::openWith(const QByteArray &dataFile)
{
    writeDataFile(dataFile);
    openForm();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void WindowTest::checkLayout() const
{
    QCOMPARE(form->frameGeometry(), QRect(QPoint(267, 166), designedSize));
    QVERIFY2(QFontInfo(control(u"Edit1"_qs)->font()).family() == u"MotoyaLMaru"_qs,
             "the pop face is not MotoyaLMaru: is fonts-motoya-l-maruberi installed?");
    QCOMPARE(form->font().pixelSize(), 12);
    QStringList misplaced;
    for (const Place &place : designedLayout()) {
        const QWidget *widget = control(place.name);
        if (widget->geometry() != place.rect)
            misplaced << place.name + u" at "_qs + QDebug::toString(widget->geometry());
        if (place.pixelSize != 0
            && (widget->font().pixelSize() != place.pixelSize || widget->font().bold() != place.bold))
            misplaced << place.name + u" in "_qs + widget->font().toString();
    }
    QCOMPARE(misplaced, QStringList());

    QStringList overlapping;
    const QList<QWidget *> controls = form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            const QString a = controls[i]->objectName();
            const QString b = controls[j]->objectName();
            if (controls[i]->geometry().intersects(controls[j]->geometry())
                && overlapGroup(a) != overlapGroup(b))
                overlapping << a + u"/"_qs + b;
        }
    }
    QCOMPARE(overlapping, QStringList());
}

void WindowTest::layout()
{
    openWith();
    checkLayout();
}

void WindowTest::longerTimeLeftWidensLabel3ToTheRight()
{
    openWith("-99");
    const QRect before = control(u"Label3"_qs)->geometry();
    click(u"Button1"_qs);
    form->DXTimer1Timer();
    auto *label = control<QLabel>(u"Label3"_qs);
    QCOMPARE(label->text(), u"のこり時間：-100秒"_qs);
    QCOMPARE(label->geometry().topLeft(), before.topLeft());
    QCOMPARE(label->height(), before.height());
    QCOMPARE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    QVERIFY(label->width() > before.width());
    QVERIFY(!label->geometry().intersects(control(u"Button3"_qs)->geometry()));
}

// Characteristic lines of the three pictures, one character per pixel: ' ' transparent,
// k black, r red, b blue, y yellow.
void WindowTest::pictures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("isColumn");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("pixels");
    // Ring: touches the edges; black, 3 red, black on each side; transparent inside.
    QTest::newRow("ring, middle row") << u"right"_qs << false << 16 << u"krrrk                      krrrk"_qs;
    QTest::newRow("ring, middle column") << u"right"_qs << true << 15 << u"krrrk                      krrrk"_qs;
    QTest::newRow("ring, top row") << u"right"_qs << false << 0 << u"            kkkkkkkk            "_qs;
    // Cross: corner to corner, each arm 9 blue along a row with a black line either side.
    QTest::newRow("cross, top row") << u"wrong"_qs << false << 0 << u"bbbbbk                    kbbbbb"_qs;
    QTest::newRow("cross, row 8") << u"wrong"_qs << false << 8 << u"   kbbbbbbbbbk    kbbbbbbbbbk   "_qs;
    QTest::newRow("cross, bottom row") << u"wrong"_qs << false << 31 << u"bbbbbk                    kbbbbb"_qs;
    // Icon: "II" with serifs, a 9 x 9 times sign right of it, on black.
    QTest::newRow("icon, serifs") << u"icon"_qs << false << 6 << u"kkkyyyyyyykyyyyyyykkkkkkkkkkkkkk"_qs;
    QTest::newRow("icon, middle row") << u"icon"_qs << false << 16 << u"kkkkkyyykkkkkyyykkkkkkkkkykkkkkk"_qs;
    QTest::newRow("icon, top of the times sign") << u"icon"_qs << false << 12 << u"kkkkkyyykkkkkyyykkkkkykkkkkkkykk"_qs;
}

void WindowTest::pictures()
{
    QFETCH(QString, file);
    QFETCH(bool, isColumn);
    QFETCH(int, index);
    QFETCH(QString, pixels);
    const QImage image(u":/pictures/%1.xpm"_qs.arg(file));
    QCOMPARE(image.size(), QSize(32, 32));
    const QHash<QRgb, QChar> names{{qRgba(0, 0, 0, 0), u' '}, {qRgb(0, 0, 0), u'k'},
                                   {qRgb(255, 0, 0), u'r'}, {qRgb(0, 0, 255), u'b'},
                                   {qRgb(255, 255, 0), u'y'}};
    QString line;
    for (int i = 0; i < 32; ++i) {
        const QRgb pixel = isColumn ? image.pixel(index, i) : image.pixel(i, index);
        line += names.value(qAlpha(pixel) == 0 ? qRgba(0, 0, 0, 0) : pixel, u'?');
    }
    QCOMPARE(line, pixels);
}

// Fully opaque, yellow on black, on the window and as the application's icon.
void WindowTest::icon()
{
    openWith();
    const QImage image = form->windowIcon().pixmap(32, 32).toImage();
    QCOMPARE(image.size(), QSize(32, 32));
    int yellow = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb pixel = image.pixel(x, y);
            QVERIFY2(pixel == qRgb(0, 0, 0) || pixel == qRgb(255, 255, 0),
                     qPrintable(u"pixel %1,%2"_qs.arg(x).arg(y)));
            yellow += pixel == qRgb(255, 255, 0);
        }
    }
    QVERIFY(yellow > 100);
    QCOMPARE(QApplication::windowIcon().pixmap(32, 32).toImage(), image);
}

// No focus set at start: the first activation gives it to column 1's sign box. Tab then walks
// the columns (sign, multiplicand, multiplier, answer; rule lines and hidden buttons skipped),
// selecting each box's whole text, and wraps round after the one visible button.
void WindowTest::tabOrder()
{
    openWith();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QCOMPARE(QApplication::focusWidget(), control(u"Edit5"_qs));

    QStringList expected;
    for (const Column &c : columnMap)
        expected << c.sign << c.multiplicand << c.multiplier << c.answer;
    expected << u"Button1"_qs << u"Edit5"_qs;
    QStringList visited;
    QStringList unselected;
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focus = QApplication::focusWidget();
        visited << focus->objectName();
        if (auto *edit = qobject_cast<QLineEdit *>(focus); edit && edit->selectedText() != edit->text())
            unselected << edit->objectName();
    }
    QCOMPARE(visited, expected.mid(1));
    QCOMPARE(unselected, QStringList());
}

void WindowTest::focusAfterTheClickedButtonHides_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::newRow("はじめる") << QStringList{u"Button1"_qs};
    QTest::newRow("もう一回") << QStringList{u"Button1"_qs, u"Button2"_qs, u"Button3"_qs};
}

// The clicked button takes the focus and then hides itself: the focus falls back to the
// window, not to the next control, and the first Tab goes to column 1's sign box.
void WindowTest::focusAfterTheClickedButtonHides()
{
    QFETCH(QStringList, clicks);
    openWith();
    for (const QString &button : std::as_const(clicks)) {
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTest::mousePress(control(button), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), control(button));
        QTest::mouseRelease(control(button), Qt::LeftButton);
    }
    QVERIFY(!control(clicks.constLast())->isVisible());
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QCOMPARE(QApplication::focusWidget(), form.get());
    QTest::keyClick(form.get(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), control(u"Edit5"_qs));
}

// What a screen reader announces for each box: column and part of the problem.
void WindowTest::accessibleNames()
{
    openWith();
    QStringList expected;
    QStringList actual;
    for (qsizetype k = 0; k < columnMap.size(); ++k) {
        const Column &c = columnMap[k];
        const QString column = QString::number(k + 1) + u"列目 "_qs;
        for (const auto &[name, part] : {std::pair{c.sign, u"かける記号"_qs},
                                         std::pair{c.multiplicand, u"かけられる数"_qs},
                                         std::pair{c.multiplier, u"かける数"_qs},
                                         std::pair{c.answer, u"こたえ"_qs}}) {
            expected << column + part;
            actual << QAccessible::queryAccessibleInterface(control(name))->text(QAccessible::Name);
        }
    }
    QCOMPARE(actual, expected);
}

void WindowTest::onScreen_data()
{
    QTest::addColumn<int>("scale");
    QTest::newRow("ratio 1") << 1;
    QTest::newRow("ratio 2") << 2;
}

// Runs this test again in a child process that shows the window on a private X server.
// KERUNOPI_SCREENSHOT=<file.png> in the environment saves the picture of the checked game.
void WindowTest::onScreen()
{
    QFETCH(int, scale);
    if (qEnvironmentVariableIsSet("KERUNOPI_ON_X_SERVER")) {
        checkOnScreen(scale);
        return;
    }
    const XServer server;
    QVERIFY2(server.error.isEmpty(), qPrintable(server.error));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"KERUNOPI_ON_X_SERVER"_qs, u"1"_qs);
    environment.insert(u"QT_QPA_PLATFORM"_qs, u"xcb"_qs);
    environment.insert(u"DISPLAY"_qs, server.display);
    environment.insert(u"QT_SCALE_FACTOR"_qs, QString::number(scale));
    environment.remove(u"XAUTHORITY"_qs);
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {u"onScreen:"_qs + QString::fromUtf8(QTest::currentDataTag())});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             child.readAll().constData());
}

// はじめる, the listed columns answered right and the others wrong, できた！.
void WindowTest::playCheckedGame(const QList<bool> &rightColumns)
{
    click(u"Button1"_qs);
    for (qsizetype k = 0; k < columnMap.size(); ++k) {
        const int product = form->drill().Slots[k].Product;
        QTest::keyClicks(control(columnMap[k].answer), QString::number(rightColumns[k] ? product : product + 1));
    }
    // Seven seconds pass.
    for (int i = 0; i < 7; ++i)
        form->DXTimer1Timer();
    click(u"Button2"_qs);
    QCOMPARE(boxes->texts().constLast(), u"60点でした。"_qs);
}

void WindowTest::checkOnScreen(int scale)
{
    openWith();
    QCOMPARE(form->devicePixelRatio(), qreal(scale));
    checkLayout();
    if (QTest::currentTestFailed())
        return;

    Shot first(*form);
    QCOMPARE(first.image.size(), designedSize * scale);
    checkControls(first);
    first.expect({4, 4}, first.background, u"window background"_qs);
    QVERIFY2(first.problems.isEmpty(), qPrintable(first.problems.join(u"\n"_qs)));

    const QList<bool> rightColumns{true, false, true, false, true};
    playCheckedGame(rightColumns);
    Shot checked(*form);
    checkControls(checked);
    for (qsizetype k = 0; k < columnMap.size(); ++k) {
        const QPoint mark(16 + columnShift * int(k), 168);
        const QString column = u"column %1 "_qs.arg(k + 1);
        const auto expect = [&](int x, int y, const QColor &colour, const QString &what) {
            checked.expect(mark + QPoint(x, y), colour, column + what);
        };
        if (rightColumns[k]) {
            expect(0, 16, Qt::black, u"ring edge"_qs);
            expect(2, 16, Qt::red, u"ring band"_qs);
            expect(29, 16, Qt::red, u"ring band"_qs);
            expect(16, 2, Qt::red, u"ring band"_qs);
            expect(16, 16, checked.background, u"inside the ring"_qs);
            expect(0, 0, checked.background, u"outside the ring"_qs);
            expect(4, 4, checked.background, u"outside the ring"_qs);
        } else {
            expect(0, 0, Qt::blue, u"cross arm"_qs);
            expect(4, 4, Qt::blue, u"cross arm"_qs);
            expect(27, 4, Qt::blue, u"cross arm"_qs);
            expect(16, 16, Qt::blue, u"cross centre"_qs);
            expect(9, 4, Qt::black, u"cross outline"_qs);
            expect(16, 2, checked.background, u"beside the cross"_qs);
            expect(2, 16, checked.background, u"beside the cross"_qs);
        }
    }
    QVERIFY2(checked.problems.isEmpty(), qPrintable(checked.problems.join(u"\n"_qs)));

    if (const QString file = qEnvironmentVariable("KERUNOPI_SCREENSHOT"); !file.isEmpty() && scale == 1)
        QVERIFY2(checked.image.save(file), qPrintable(u"cannot write "_qs + file));
}

// What every picture of the window shows: nothing outside the visible controls, the rule lines,
// each box in its sunken edge with its text, the labels' and visible buttons' texts.
void WindowTest::checkControls(Shot &shot) const
{
    QList<QRect> drawn;
    for (const QWidget *widget : form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (widget->isVisible())
            drawn << widget->geometry();
    }
    const int scale = shot.scale;
    int strays = 0;
    for (int y = 0; y < shot.image.height(); ++y) {
        for (int x = 0; x < shot.image.width(); ++x) {
            const QPoint logical(x / scale, y / scale);
            if (std::none_of(drawn.cbegin(), drawn.cend(), [&](const QRect &r) { return r.contains(logical); })
                && shot.image.pixel(x, y) != shot.background.rgb() && strays++ < 5)
                shot.problems << u"stray pixel at %1,%2 (device)"_qs.arg(x).arg(y);
        }
    }

    const QPalette &palette = control(u"Edit1"_qs)->palette();
    for (qsizetype k = 0; k < columnMap.size(); ++k) {
        for (int x = 8; x <= 152; ++x)
            shot.expect({x + columnShift * int(k), 152}, palette.color(QPalette::WindowText), u"rule line"_qs);
    }
    for (const Column &c : columnMap) {
        for (const QString &name : {c.sign, c.multiplicand, c.multiplier, c.answer}) {
            const QRect r = control(name)->geometry();
            const int midX = r.center().x();
            const int midY = r.center().y();
            shot.expect({r.left(), midY}, palette.color(QPalette::Dark), name + u" left edge"_qs);
            shot.expect({r.left() + 1, midY}, palette.color(QPalette::Shadow), name + u" left edge"_qs);
            shot.expect({midX, r.top()}, palette.color(QPalette::Dark), name + u" top edge"_qs);
            shot.expect({r.right(), midY}, palette.color(QPalette::Light), name + u" right edge"_qs);
            shot.expect({midX, r.bottom()}, palette.color(QPalette::Light), name + u" bottom edge"_qs);
            shot.expect({midX, r.bottom() - 1}, palette.color(QPalette::Midlight), name + u" bottom edge"_qs);
            if (!control<QLineEdit>(name)->text().isEmpty() && shot.ink(r.adjusted(2, 2, -2, -2)) == 0)
                shot.problems << name + u" shows no text"_qs;
        }
    }
    for (const QString &name : {u"Label1"_qs, u"Label2"_qs, u"Label3"_qs}) {
        if (shot.ink(control(name)->geometry()) < 50)
            shot.problems << name + u" shows no text"_qs;
    }
    for (int i = 1; i <= 4; ++i) {
        const QWidget *button = control(u"Button%1"_qs.arg(i));
        // Hidden buttons are checked in their middle, which no visible button covers.
        if (button->isVisible() && shot.ink(button->geometry().adjusted(4, 4, -4, -4)) < 50)
            shot.problems << button->objectName() + u" shows no caption"_qs;
        if (!button->isVisible())
            shot.expect(button->geometry().center(), shot.background, button->objectName() + u" hidden"_qs);
    }
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
