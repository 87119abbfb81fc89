#include "StrictBase64.h"

#include <array>

namespace StrictBase64 {

namespace {

constexpr std::array<signed char, 256> makeTable()
{
    std::array<signed char, 256> table{};
    table.fill(-1);
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    return table;
}

constexpr std::array<signed char, 256> values = makeTable();

}

std::optional<QByteArray> decode(QByteArrayView text)
{
    const qsizetype length = text.size();
    if (length % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    if (length > 0 && text[length - 1] == '=')
        padding = (length > 1 && text[length - 2] == '=') ? 2 : 1;

    QByteArray bytes;
    bytes.reserve(length / 4 * 3);
    quint32 accumulator = 0;
    for (qsizetype i = 0; i < length - padding; ++i) {
        const int value = values[static_cast<unsigned char>(text[i])];
        if (value < 0)
            return std::nullopt;
        accumulator = (accumulator << 6) | quint32(value);
        if (i % 4 == 3) {
            bytes.append(char(accumulator >> 16));
            bytes.append(char(accumulator >> 8));
            bytes.append(char(accumulator));
            accumulator = 0;
        }
    }
    if (padding == 1) {  // three symbols: two bytes
        bytes.append(char(accumulator >> 10));
        bytes.append(char(accumulator >> 2));
    } else if (padding == 2) {  // two symbols: one byte
        bytes.append(char(accumulator >> 4));
    }
    return bytes;
}

std::optional<QByteArray> decode(QStringView text)
{
    QByteArray latin;
    latin.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
        latin.append(char(c.unicode()));
    }
    return decode(QByteArrayView(latin));
}

}
