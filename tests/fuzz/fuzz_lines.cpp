// Any bytes as a list file: decoding yields valid UTF-8, and splitting it agrees with a plain
// reading of the rules (CR LF and lone CR are LF; a final terminator adds no line), item by
// item and in runs.

#include "runtime/core/lines.h"

#include <QList>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text = decodeToUtf8(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))).value();
    if (!QByteArrayView(text).isValidUtf8())
        std::abort();

    QByteArray expected = text;
    expected.replace("\r\n", "\n").replace('\r', '\n');
    if (expected.endsWith('\n'))
        expected.chop(1);
    const QList<QByteArray> want = text.isEmpty() ? QList<QByteArray>() : expected.split('\n');

    const Lines lines = Lines::fromUtf8(text);
    if (lines.size() != want.size())
        std::abort();
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines.utf8(i) != want[i])
            std::abort();
    // A run of items, from any of them, reads the same.
    for (const qsizetype from : {qsizetype(0), lines.size() / 3}) {
        lines.forEachUtf8(from, lines.size(), [&want](qsizetype i, std::string_view text) {
            if (QByteArrayView(text.data(), qsizetype(text.size())) != want[i])
                std::abort();
        });
    }
    return 0;
}
