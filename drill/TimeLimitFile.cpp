#include "TimeLimitFile.h"

#include "DrillError.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Only line 1 ever matters, so a bigger file is no time-limit file: refusing it keeps a
// stray huge file from eating memory.
constexpr qsizetype MaxFileSize = qsizetype{256} * 1024 * 1024;

// A quoted line longer than this is cut, so the error box stays readable.
constexpr qsizetype MaxQuotedChars = 200;

[[noreturn]] void throwCannotOpen(const QString &fileName)
{
    throw DrillError(u"ファイル "_qs + fileName + u" は開けません"_qs);
}

// Closes the descriptor on every way out, exceptions included.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    [[nodiscard]] int get() const { return fd; }

private:
    const int fd;
};

// Reads to end of file; nothing when reading fails or the file turns out larger than the cap
// (it may have grown since fstat).
[[nodiscard]] std::optional<QByteArray> readAll(int fd, qsizetype expectedSize)
{
    // One byte of room past the expected size lets the read that meets end of file happen
    // without growing the buffer.
    QByteArray bytes(std::min(expectedSize, MaxFileSize) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > MaxFileSize)
                return std::nullopt;
            bytes.resize(std::min(bytes.size() * 2, MaxFileSize + 1));
        }
        const ssize_t count = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        filled += count;
    }
    bytes.truncate(filled);
    return bytes;
}

// O_NONBLOCK keeps a FIFO without a writer from stalling the open; anything but a regular
// file (directory, FIFO, device) is then refused before a single read.
[[nodiscard]] std::optional<QByteArray> readRegularFile(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    const FileDescriptor file(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        return std::nullopt;
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    if (status.st_size > MaxFileSize)
        return std::nullopt;
    return readAll(file.get(), qsizetype(status.st_size));
}

[[nodiscard]] bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

[[nodiscard]] int hexDigitValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Digits only; the magnitude may reach 2^31 when negative. Stops at the first digit that
// takes it out of range, so a huge run of digits costs nothing and cannot overflow.
[[nodiscard]] std::optional<std::int32_t> parseDecimal(QByteArrayView digits, bool negative)
{
    if (digits.isEmpty())
        return std::nullopt;
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    for (const char c : digits) {
        if (!isDigit(c))
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

// Any 32-bit pattern, read as two's complement; leading zeros are free.
[[nodiscard]] std::optional<std::int32_t> parseHex(QByteArrayView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + std::uint64_t(digit);
        if (value > 0xFFFF'FFFFu)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Leading blanks (spaces only), then a signed decimal or a "$", "x", "X", "0x", "0X" hex
// number, and nothing after it.
[[nodiscard]] std::optional<std::int32_t> parseInt32(QByteArrayView text)
{
    while (!text.isEmpty() && text.front() == ' ')
        text = text.sliced(1);
    if (text.startsWith("0x") || text.startsWith("0X"))
        return parseHex(text.sliced(2));
    if (text.startsWith('$') || text.startsWith('x') || text.startsWith('X'))
        return parseHex(text.sliced(1));
    if (text.startsWith('-'))
        return parseDecimal(text.sliced(1), true);
    if (text.startsWith('+'))
        return parseDecimal(text.sliced(1), false);
    return parseDecimal(text, false);
}

// A Shift-JIS character takes at most two bytes, so this many bytes always decode to more
// characters than are ever quoted; decoding only them keeps a giant line cheap.
constexpr qsizetype MaxDecodedBytes = 4 * MaxQuotedChars;

[[nodiscard]] QString quotedForMessage(QByteArrayView line)
{
    QStringDecoder fromShiftJis("Shift_JIS");
    QString text = fromShiftJis(line.first(std::min(line.size(), MaxDecodedBytes)));
    if (text.size() > MaxQuotedChars)
        text = text.first(MaxQuotedChars) + u'…';
    return text;
}

} // namespace

QByteArrayList loadTimeLimitFile(const QString &fileName)
{
    const std::optional<QByteArray> bytes = readRegularFile(fileName);
    if (!bytes)
        throwCannotOpen(fileName);
    return splitLines(*bytes);
}

QByteArrayList splitLines(QByteArrayView text)
{
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text = text.first(nul);

    QByteArrayList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.append(text.sliced(start, i - start).toByteArray());
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.sliced(start).toByteArray());
    return lines;
}

std::int32_t readTimeLimit(const QByteArrayList &lines)
{
    if (lines.isEmpty())
        throw DrillError(u"リストのインデックスが範囲を超えています (0)"_qs);
    const QByteArray &firstLine = lines.front();
    const std::optional<std::int32_t> limit = parseInt32(firstLine);
    if (!limit)
        throw DrillError(u"'"_qs + quotedForMessage(firstLine) + u"' は整数ではありません"_qs);
    return *limit;
}
