// The drill in hostile surroundings: a Data.txt that can't be read or is absurd, a giant pasted
// answer, a sound device that won't open, a machine with no fonts. Each must end in the
// designed message or value, with the window still working and nothing crashing.
#include "AudioCapture.h"
#include "DrillTestCase.h"
#include "SoundOutput.h"

#include <QClipboard>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <random>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

enum class DataFile { Directory, Fifo, Unreadable, HugeDigits, RandomBinary };
Q_DECLARE_METATYPE(DataFile)

namespace {

// Set in a child run of this program: the directory the parent prepared, with its Data.txt.
constexpr const char *childDirVariable = "KERUNOPI_HOSTILE_DIR";
// Set in a child run that checks the window without fonts: the parent's layout, one control a line.
constexpr const char *layoutVariable = "KERUNOPI_HOSTILE_LAYOUT";

const QStringList answerBoxes{u"Edit3"_qs, u"Edit8"_qs, u"Edit12"_qs, u"Edit16"_qs, u"Edit20"_qs};
const QStringList wrongMarks{u"Image2"_qs, u"Image4"_qs, u"Image6"_qs, u"Image8"_qs, u"Image10"_qs};

[[nodiscard]] QString exactly(const QString &text)
{
    return QRegularExpression::anchoredPattern(QRegularExpression::escape(text));
}

// Where each control is: name, left, top, width (fixed-size ones only: labels fit their text),
// shown or hidden.
[[nodiscard]] QStringList layoutOf(const QWidget &form)
{
    QStringList lines;
    for (const QWidget *widget : form.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (widget->objectName().isEmpty())
            continue;
        const bool fitsText = qobject_cast<const QLabel *>(widget) && !widget->objectName().startsWith(u"Image"_qs);
        lines << u"%1 %2,%3 w%4 %5"_qs.arg(widget->objectName())
                     .arg(widget->x())
                     .arg(widget->y())
                     .arg(fitsText ? QString(u"-"_qs) : QString::number(widget->width()))
                     .arg(widget->isVisible() ? u"shown"_qs : u"hidden"_qs);
    }
    lines.sort();
    return lines;
}

} // namespace

class HostileTest : public DrillTestCase {
    Q_OBJECT
private slots:
    void init();

    void startUpWithHostileDataFile_data();
    void startUpWithHostileDataFile();
    void hugePastedAnswer();
    void soundDeviceThatWillNotOpen();
    void noFontsBeyondTheFallback_data();
    void noFontsBeyondTheFallback();

private:
    [[nodiscard]] bool isChild() const { return qEnvironmentVariableIsSet(childDirVariable); }
    void prepare(DataFile kind);
    void playToTheEnd(int rightAnswers);
    void runAsNobody(const QString &testAndTag);

    QString workDir;
};

void HostileTest::init()
{
    startDir = QDir::currentPath();
    if (isChild()) {
        workDir = qEnvironmentVariable(childDirVariable);
    } else {
        dir.emplace();
        QVERIFY(dir->isValid());
        workDir = dir->path();
    }
    QVERIFY(QDir::setCurrent(workDir));
    boxes = std::make_unique<ModalBoxes>();
}

void HostileTest::prepare(DataFile kind)
{
    switch (kind) {
    case DataFile::Directory:
        QVERIFY(QDir().mkdir(u"Data.txt"_qs));
        return;
    case DataFile::Fifo:
        // No writer ever comes: a blocking open would hang the window's creation.
        QCOMPARE(::mkfifo("Data.txt", 0600), 0);
        return;
    case DataFile::Unreadable:
        writeDataFile("60");
        QCOMPARE(::chmod("Data.txt", 0), 0);
        // The child that reads it runs as another user and must reach it.
        QCOMPARE(::chmod(QFile::encodeName(workDir).constData(), 0755), 0);
        return;
    case DataFile::HugeDigits: {
        // 200 MiB, no line end: written in 1-MiB pieces, real blocks rather than a sparse file.
        QFile file(u"Data.txt"_qs);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray piece(1024 * 1024, '7');
        for (int i = 0; i < 200; ++i)
            QCOMPARE(file.write(piece), piece.size());
        return;
    }
    case DataFile::RandomBinary: {
        // Line 1 is 500 bytes without NUL or line end, so it decodes to more than 200
        // characters; the rest is any byte at all, NULs and line ends included.
        std::mt19937 random(7);
        QByteArray bytes(64 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i < 500 ? 0x20 + random() % 0xE0 : random() % 0x100);
        writeDataFile(bytes);
        return;
    }
    }
}

// Starts a game, types the first `rightAnswers` products, and ends it with the done button.
void HostileTest::playToTheEnd(int rightAnswers)
{
    const qsizetype before = boxes->records.size();
    QTest::mouseClick(control<QPushButton>(u"Button1"_qs), Qt::LeftButton);
    QCOMPARE(form->drill().GameRunning, 1);
    for (int k = 0; k < rightAnswers; ++k)
        QTest::keyClicks(control<QLineEdit>(answerBoxes[k]), QString::number(form->drill().Slots[k].Product));
    QTest::mouseClick(control<QPushButton>(u"Button2"_qs), Qt::LeftButton);
    QCOMPARE(boxes->texts().mid(before),
             (QStringList{u"よーい……"_qs, u"はじめ！"_qs,
                          QString::number(rightAnswers * 20) + u"点でした。"_qs}));
    QVERIFY(control<QPushButton>(u"Button3"_qs)->isVisible());
}

// Root reads any file, so the unreadable case runs again in a copy of this program as "nobody".
void HostileTest::runAsNobody(const QString &testAndTag)
{
    const passwd *nobody = ::getpwnam("nobody");
    if (!nobody)
        QSKIP("running as root and there is no user 'nobody' to read the file as");
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    // A copy inside the prepared directory: the build tree may be closed to other users.
    const QString copy = QDir(workDir).filePath(u"tst_hostile"_qs);
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther
                                            | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childDirVariable), workDir);
    environment.insert(u"HOME"_qs, workDir);
    environment.remove(u"XDG_RUNTIME_DIR"_qs);
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(workDir);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setChildProcessModifier([uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(97);
    });
    child.start(copy, {testAndTag});
    QVERIFY(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    QVERIFY2(child.exitCode() != 97, "could not drop privileges to 'nobody'");
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
    // The child really ran the case rather than skipping it.
    QVERIFY2(output.contains("PASS   : HostileTest::startUpWithHostileDataFile(unreadable file)"),
             output.constData());
}

void HostileTest::startUpWithHostileDataFile_data()
{
    QTest::addColumn<DataFile>("kind");
    QTest::addColumn<QString>("expectedBox");

    const QString cannotOpen = exactly(u"ファイル Data.txt は開けません."_qs);
    QTest::newRow("directory") << DataFile::Directory << cannotOpen;
    QTest::newRow("FIFO without writer") << DataFile::Fifo << cannotOpen;
    QTest::newRow("unreadable file") << DataFile::Unreadable << cannotOpen;
    QTest::newRow("200 MiB of digits, no line end")
        << DataFile::HugeDigits << exactly(u"'"_qs + QString(200, u'7') + u"…' は整数ではありません."_qs);
    QTest::newRow("random binary") << DataFile::RandomBinary
                                   << u"^'.{200}…' は整数ではありません\\.$"_qs;
}

// The error box comes while the window is being created; the window then works with limit 0.
void HostileTest::startUpWithHostileDataFile()
{
    QFETCH(DataFile, kind);
    QFETCH(QString, expectedBox);

    if (!isChild())
        prepare(kind);
    if (QTest::currentTestFailed())
        return;
    if (kind == DataFile::Unreadable && ::geteuid() == 0) {
        runAsNobody(u"startUpWithHostileDataFile:unreadable file"_qs);
        return;
    }
    if (isChild())
        QCOMPARE(kind, DataFile::Unreadable);

    openForm();
    QCOMPARE(boxes->records.size(), 1);
    const BoxRecord &box = boxes->records.constFirst();
    QVERIFY2(QRegularExpression(expectedBox).match(box.text).hasMatch(), qPrintable(box.text));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(form->drill().TimeLeft, 0);
    playToTheEnd(2);
}

// 100,000 characters pasted into an answer box are kept whole and simply marked wrong.
void HostileTest::hugePastedAnswer()
{
    writeDataFile("60");
    openForm();
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QString pasted(100000, u'7');
    clipboard->setText(pasted);
    QCOMPARE(clipboard->text(), pasted);

    QTest::mouseClick(control<QPushButton>(u"Button1"_qs), Qt::LeftButton);
    auto *answer = control<QLineEdit>(answerBoxes[0]);
    QTest::mouseClick(answer, Qt::LeftButton);
    QTest::keyClick(answer, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(answer->text().size(), pasted.size());
    QCOMPARE(answer->text(), pasted);
    QTest::keyClicks(control<QLineEdit>(answerBoxes[1]), QString::number(form->drill().Slots[1].Product));

    QTest::mouseClick(control<QPushButton>(u"Button2"_qs), Qt::LeftButton);
    QCOMPARE(boxes->texts().last(), u"20点でした。"_qs);
    QVERIFY(control<QLabel>(wrongMarks[0])->isVisible());
    QVERIFY(!control<QLabel>(wrongMarks[1])->isVisible());
    QCOMPARE(answer->text(), pasted);
}

// A driver that exists but whose device cannot be opened: the game is played silently.
void HostileTest::soundDeviceThatWillNotOpen()
{
    const ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    const ScopedEnv output("SDL_DISKAUDIOFILE", QFile::encodeName(workDir) + "/no/such/dir/out.raw");
    writeDataFile("60");
    openForm();
    QVERIFY(boxes->records.isEmpty());
    QVERIFY(!form->findChild<SoundOutput *>(u"DXSound1"_qs)->isOpen());
    playToTheEnd(5);
    QCOMPARE(form->findChild<WaveList *>(u"DXWaveList1"_qs)->channelCount(), 0);
    QVERIFY(!QFile::exists(u"no"_qs));
}

void HostileTest::noFontsBeyondTheFallback_data()
{
    QTest::addColumn<QStringList>("fontDirs");
    QTest::newRow("no font directory") << QStringList{};
    QTest::newRow("DejaVu only") << QStringList{u"/usr/share/fonts/truetype/dejavu"_qs};
}

// Fontconfig is read once per process, so the window is built in a child that sees a
// configuration without the drill's fonts; it must come up with every control where it is here.
void HostileTest::noFontsBeyondTheFallback()
{
    QFETCH(QStringList, fontDirs);
    writeDataFile("60");

    if (qEnvironmentVariableIsSet(layoutVariable)) {
        // The drill's own faces are really gone here.
        QVERIFY(!QFontDatabase::families().contains(u"MotoyaLMaru"_qs));
        openForm();
        QVERIFY(boxes->records.isEmpty());
        QCOMPARE(layoutOf(*form).join(u'\n'), qEnvironmentVariable(layoutVariable));
        playToTheEnd(5);
        return;
    }

    for (const QString &fontDir : fontDirs) {
        if (!QFileInfo(fontDir).isDir())
            QSKIP(qPrintable(fontDir + u" is missing (package fonts-dejavu-core)"_qs));
    }
    openForm();
    const QString layout = layoutOf(*form).join(u'\n');
    form.reset();

    QString config = u"<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n"_qs;
    for (const QString &fontDir : fontDirs)
        config += u"  <dir>%1</dir>\n"_qs.arg(fontDir);
    config += u"  <cachedir>%1/fontcache</cachedir>\n</fontconfig>\n"_qs.arg(workDir);
    QFile configFile(u"fonts.conf"_qs);
    QVERIFY(configFile.open(QIODevice::WriteOnly));
    configFile.write(config.toUtf8());
    configFile.close();

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"FONTCONFIG_FILE"_qs, QDir(workDir).filePath(u"fonts.conf"_qs));
    environment.remove(u"FONTCONFIG_PATH"_qs);
    environment.insert(QString::fromLatin1(layoutVariable), layout);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString testAndTag = u"noFontsBeyondTheFallback:"_qs + QString::fromUtf8(QTest::currentDataTag());
    child.start(QCoreApplication::applicationFilePath(), {testAndTag});
    QVERIFY(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
    QVERIFY2(output.contains("PASS   : HostileTest::noFontsBeyondTheFallback(" + QByteArray(QTest::currentDataTag()) + ")"),
             output.constData());
}

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
