// libFuzzer target for the time-limit reader (splitLines, readTimeLimit, loadTimeLimitFile).
// Besides crashes and sanitizer findings it checks properties that hold for every input:
//  - the result is a 32-bit value or one of the reader's messages, never anything else;
//  - which one, and the value, follow from line 1 alone, parsed here independently with
//    std::from_chars; the not-an-integer message quotes line 1 decoded from Shift-JIS, cut
//    to 200 characters plus "…";
//  - nothing at or after the first NUL changes the result;
//  - reading the bytes from a real Data.txt gives the same result as splitting them in memory.
#include "DrillError.h"
#include "TimeLimitFile.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct Outcome {
    std::optional<std::int32_t> value;
    QString message; // set exactly when value is not

    bool operator==(const Outcome &) const = default;
};

[[nodiscard]] std::string describe(const Outcome &outcome)
{
    if (outcome.value)
        return "value " + std::to_string(*outcome.value);
    return "message \"" + outcome.message.toStdString() + "\"";
}

[[noreturn]] void fail(const char *property, std::string_view input, const Outcome &got,
                       const Outcome &expected)
{
    std::fprintf(stderr, "property violated: %s\n  input size %zu\n  got:      %s\n  expected: %s\n",
                 property, input.size(), describe(got).c_str(), describe(expected).c_str());
    std::abort();
}

template <typename Read> [[nodiscard]] Outcome outcomeOf(Read read)
{
    try {
        return {read(), {}};
    } catch (const DrillError &error) {
        return {std::nullopt, error.message()};
    }
}

[[nodiscard]] Outcome readInMemory(std::string_view bytes)
{
    return outcomeOf([&] {
        const QByteArrayList lines = splitLines(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        for (const QByteArray &line : lines) {
            if (line.contains('\r') || line.contains('\n') || line.contains('\0')) {
                std::fprintf(stderr, "property violated: a split line holds a line end or NUL\n");
                std::abort();
            }
        }
        return readTimeLimit(lines);
    });
}

std::string dataFilePath;

[[nodiscard]] Outcome readFromFile(std::string_view bytes)
{
    const int fd = ::open(dataFilePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) {
        std::perror("fuzz_timelimit: writing Data.txt");
        std::abort();
    }
    ::close(fd);
    return outcomeOf([] { return readTimeLimit(loadTimeLimitFile(QString::fromStdString(dataFilePath))); });
}

// ---- The oracle: what the reader must answer, derived without the reader's code. ----

[[nodiscard]] bool allOf(std::string_view text, bool (*accept)(char))
{
    for (const char c : text) {
        if (!accept(c))
            return false;
    }
    return true;
}

[[nodiscard]] bool isDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}

[[nodiscard]] bool isHexDigit(char c)
{
    return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A signed decimal in int32 range, as the standard library reads it ("+" is not its syntax).
[[nodiscard]] std::optional<std::int32_t> standardDecimal(std::string_view sign, std::string_view digits)
{
    if (digits.empty() || !allOf(digits, isDecimalDigit))
        return std::nullopt;
    const std::string text = std::string(sign == "-" ? "-" : "") + std::string(digits);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Up to 32 bits of hex, read as two's complement.
[[nodiscard]] std::optional<std::int32_t> standardHex(std::string_view digits)
{
    if (digits.empty() || !allOf(digits, isHexDigit))
        return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return std::int32_t(value);
}

[[nodiscard]] std::optional<std::int32_t> expectedLimit(std::string_view line)
{
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    for (const std::string_view marker : {"0x", "0X", "$", "x", "X"}) {
        if (line.starts_with(marker))
            return standardHex(line.substr(marker.size()));
    }
    if (line.starts_with('-') || line.starts_with('+'))
        return standardDecimal(line.substr(0, 1), line.substr(1));
    return standardDecimal({}, line);
}

[[nodiscard]] QString expectedQuote(std::string_view line)
{
    QStringDecoder fromShiftJis("Shift_JIS");
    const QString text = fromShiftJis(QByteArrayView(line.data(), qsizetype(line.size())));
    return text.size() > 200 ? text.first(200) + u'…' : text;
}

[[nodiscard]] Outcome expectedOutcome(std::string_view input)
{
    const std::string_view text = input.substr(0, input.find('\0'));
    if (text.empty())
        return {std::nullopt, u"リストのインデックスが範囲を超えています (0)"_qs};
    const std::string_view line = text.substr(0, text.find_first_of("\r\n"));
    if (const std::optional<std::int32_t> limit = expectedLimit(line))
        return {limit, {}};
    return {std::nullopt, u"'"_qs + expectedQuote(line) + u"' は整数ではありません"_qs};
}

void removeDataFile()
{
    ::unlink(dataFilePath.c_str());
    ::rmdir(dataFilePath.substr(0, dataFilePath.rfind('/')).c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_timelimit.XXXXXX";
    if (!::mkdtemp(dir.data())) {
        std::perror("fuzz_timelimit: mkdtemp");
        std::abort();
    }
    dataFilePath = dir + "/Data.txt";
    std::atexit(removeDataFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const Outcome got = readInMemory(input);

    const Outcome expected = expectedOutcome(input);
    if (got != expected)
        fail("result follows from line 1", input, got, expected);

    // Whatever follows the first NUL is never read: cut there, or put other bytes there.
    const std::string_view beforeNul = input.substr(0, input.find('\0'));
    if (beforeNul.size() != input.size()) {
        const Outcome cut = readInMemory(beforeNul);
        if (cut != got)
            fail("bytes after NUL ignored (cut at NUL)", input, got, cut);
    }
    std::string withGarbage(beforeNul);
    withGarbage += '\0';
    withGarbage.append(input.rbegin(), input.rend());
    const Outcome garbage = readInMemory(withGarbage);
    if (garbage != got)
        fail("bytes after NUL ignored (other bytes after NUL)", input, got, garbage);

    // The real file path costs a write and a read: one input in eight takes it.
    if (std::hash<std::string_view>{}(input) % 8 == 0) {
        const Outcome fromFile = readFromFile(input);
        if (fromFile != got)
            fail("file and memory agree", input, fromFile, got);
    }
    return 0;
}
