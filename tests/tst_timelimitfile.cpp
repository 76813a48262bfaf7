#include "DrillError.h"
#include "TimeLimitFile.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

// How Data.txt is laid out in the test's working directory before it is read.
enum class FileSetup { Bytes, Missing, Directory, Fifo, LinkToDevNull, Unreadable, OverCap };
Q_DECLARE_METATYPE(FileSetup)

namespace {

const QString FileName = u"Data.txt"_qs;
const QString CannotOpen = u"ファイル Data.txt は開けません"_qs;
const QString NoLine = u"リストのインデックスが範囲を超えています (0)"_qs;

// Literal bytes, embedded NULs included.
template <std::size_t N>
[[nodiscard]] QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, qsizetype(N - 1));
}

[[nodiscard]] QString notInteger(const QString &quoted)
{
    return u"'"_qs + quoted + u"' は整数ではありません"_qs;
}

[[nodiscard]] QString fromShiftJis(const QByteArray &bytes)
{
    QStringDecoder decoder("Shift_JIS");
    return decoder(bytes);
}

void addLimit(const char *tag, const QByteArray &bytes, std::int32_t limit)
{
    QTest::newRow(tag) << FileSetup::Bytes << bytes << limit << QString();
}

void addError(const char *tag, FileSetup setup, const QByteArray &bytes, const QString &message)
{
    QTest::newRow(tag) << setup << bytes << std::int32_t{0} << message;
}

// A one-line file whose ASCII line is no integer; the message quotes it unchanged.
void addNotInteger(const char *tag, const QByteArray &line)
{
    addError(tag, FileSetup::Bytes, line, notInteger(QString::fromLatin1(line)));
}

} // namespace

class TimeLimitFileTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsLimitFromFile_data();
    void readsLimitFromFile();
    void splitsLines_data();
    void splitsLines();

private:
    void prepare(FileSetup setup, const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> workDir;
    QString previousDir;
};

// The program reads "Data.txt" from its working directory, so each case gets a fresh one.
void TimeLimitFileTest::init()
{
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TimeLimitFileTest::cleanup()
{
    QDir::setCurrent(previousDir);
    workDir.reset();
}

void TimeLimitFileTest::prepare(FileSetup setup, const QByteArray &bytes)
{
    QFile file(FileName);
    switch (setup) {
    case FileSetup::Missing:
        return;
    case FileSetup::Bytes:
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
        return;
    case FileSetup::Directory:
        QVERIFY(QDir().mkdir(FileName));
        return;
    case FileSetup::Fifo:
        // No writer ever comes: a blocking open would hang here.
        QCOMPARE(::mkfifo(QFile::encodeName(FileName).constData(), 0600), 0);
        return;
    case FileSetup::LinkToDevNull:
        // Reading the device would give an empty file and the wrong message.
        QVERIFY(QFile::link(u"/dev/null"_qs, FileName));
        return;
    case FileSetup::Unreadable:
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("60");
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::Permissions()));
        return;
    case FileSetup::OverCap:
        // Sparse, so it costs no disk; its zero bytes would read as a file with no line.
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64{256} * 1024 * 1024 + 1));
        return;
    }
}

void TimeLimitFileTest::readsLimitFromFile_data()
{
    QTest::addColumn<FileSetup>("setup");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<std::int32_t>("expectedLimit");
    QTest::addColumn<QString>("expectedMessage");

    addLimit("decimal", "60", 60);
    addLimit("leading spaces", "   60", 60);
    addLimit("plus sign", "+60", 60);
    addLimit("minus sign", "-60", -60);
    addLimit("zero", "0", 0);
    addLimit("double zero", "00", 0);
    addLimit("minus zero", "-0", 0);
    addLimit("int32 max", "2147483647", 2147483647);
    addLimit("int32 min", "-2147483648", INT32_MIN);
    addLimit("decimal leading zeros", "0000000000002147483647", 2147483647);
    addNotInteger("int32 max + 1", "2147483648");
    addNotInteger("int32 min - 1", "-2147483649");

    addLimit("dollar hex", "$3C", 60);
    addLimit("x hex", "x3C", 60);
    addLimit("X hex", "X3c", 60);
    addLimit("0x hex", "0x3C", 60);
    addLimit("0X hex", "0X3C", 60);
    addLimit("lower hex digits", "$abcdef", 0xABCDEF);
    addLimit("upper hex digits", "$ABCDEF", 0xABCDEF);
    addLimit("spaces before hex", "  $3C", 60);
    addLimit("hex all ones is -1", "$FFFFFFFF", -1);
    addLimit("hex top bit is int32 min", "$80000000", INT32_MIN);
    addLimit("hex int32 max", "$7FFFFFFF", 2147483647);
    addLimit("hex leading zeros", "$00000000FFFFFFFF", -1);
    addNotInteger("hex over 32 bits", "$100000000");
    addNotInteger("minus before hex", "-$3C");
    addNotInteger("plus before hex", "+$3C");
    addNotInteger("0x without digits", "0x");
    addNotInteger("dollar without digits", "$");
    addNotInteger("x without digits", "x");
    addNotInteger("non-hex digit", "$3G");
    addNotInteger("hex digits without marker", "3C");

    addNotInteger("sign alone", "+");
    addNotInteger("minus alone", "-");
    addNotInteger("space after sign", "- 5");
    addNotInteger("space inside", "6 0");
    addNotInteger("trailing space", "60 ");
    addNotInteger("tab before digits", "\t60");
    addNotInteger("only spaces", "   ");
    addError("empty first line", FileSetup::Bytes, "\r\n60", notInteger(QString()));
    addError("trailing kanji in Shift-JIS", FileSetup::Bytes, "60\x95\x62", notInteger(u"60秒"_qs));
    const QByteArray bomLine = raw("\xEF\xBB\xBF" "60");
    addError("UTF-8 byte-order mark", FileSetup::Bytes, bomLine, notInteger(fromShiftJis(bomLine)));

    addLimit("CR LF", "60\r\nabc", 60);
    addLimit("lone LF", "60\nabc", 60);
    addLimit("lone CR", "60\rabc", 60);
    addLimit("extra lines of anything", raw("60\r\n$$$\n\xFF\xFE\x81\r\n\r\n"), 60);
    addLimit("NUL after the number", raw("60\0garbage"), 60);
    addError("NUL as first byte", FileSetup::Bytes, raw("\0" "60"), NoLine);

    // Long lines are cut by characters, not bytes.
    addError("300 characters cut to 200", FileSetup::Bytes, QByteArray(300, '7'),
             notInteger(QString(200, u'7') + u'…'));
    addNotInteger("200 characters kept whole", QByteArray(200, '7'));
    addError("300 kanji cut to 200", FileSetup::Bytes, QByteArray("\x95\x62").repeated(300),
             notInteger(QString(200, u'秒') + u'…'));

    addError("missing file", FileSetup::Missing, {}, CannotOpen);
    addError("empty file", FileSetup::Bytes, {}, NoLine);
    addError("directory", FileSetup::Directory, {}, CannotOpen);
    addError("FIFO without writer", FileSetup::Fifo, {}, CannotOpen);
    addError("link to a device", FileSetup::LinkToDevNull, {}, CannotOpen);
    addError("unreadable file", FileSetup::Unreadable, {}, CannotOpen);
    addError("over 256 MiB", FileSetup::OverCap, {}, CannotOpen);
}

void TimeLimitFileTest::readsLimitFromFile()
{
    QFETCH(FileSetup, setup);
    QFETCH(QByteArray, bytes);
    QFETCH(std::int32_t, expectedLimit);
    QFETCH(QString, expectedMessage);

    if (setup == FileSetup::Unreadable && ::geteuid() == 0)
        QSKIP("root reads a file without read permission");
    prepare(setup, bytes);
    if (QTest::currentTestFailed())
        return;
    try {
        const std::int32_t limit = readTimeLimit(loadTimeLimitFile(FileName));
        QVERIFY2(expectedMessage.isNull(),
                 qPrintable(u"read %1, expected: %2"_qs.arg(limit).arg(expectedMessage)));
        QCOMPARE(limit, expectedLimit);
    } catch (const DrillError &error) {
        QCOMPARE(error.message(), expectedMessage);
    }
}

void TimeLimitFileTest::splitsLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("expected");

    QTest::newRow("empty text") << QByteArray() << QByteArrayList{};
    QTest::newRow("one line without end") << raw("a") << QByteArrayList{"a"};
    QTest::newRow("LF alone") << raw("\n") << QByteArrayList{""};
    QTest::newRow("CR LF alone") << raw("\r\n") << QByteArrayList{""};
    QTest::newRow("CR alone") << raw("\r") << QByteArrayList{""};
    QTest::newRow("line end not counted twice") << raw("a\nb\n") << QByteArrayList{"a", "b"};
    QTest::newRow("CR LF joins") << raw("a\r\nb") << QByteArrayList{"a", "b"};
    QTest::newRow("CR CR") << raw("a\r\rb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("LF CR is two ends") << raw("a\n\rb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("CR CR LF") << raw("a\r\r\nb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("text ends at NUL") << raw("a\nb\0c\nd") << QByteArrayList{"a", "b"};
    QTest::newRow("NUL first") << raw("\0a\n") << QByteArrayList{};
    QTest::newRow("byte-order mark stays")
        << raw("\xEF\xBB\xBF" "60\n") << QByteArrayList{raw("\xEF\xBB\xBF" "60")};
}

void TimeLimitFileTest::splitsLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, expected);

    QCOMPARE(::splitLines(text), expected);
}

QTEST_GUILESS_MAIN(TimeLimitFileTest)
#include "tst_timelimitfile.moc"
