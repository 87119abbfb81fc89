#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// Raw values of enumerations whose cases are numbered 0, 1, 2, ... in case order.
//
// Text raw values: specialise RawTexts<E> with `static constexpr std::array<std::u16string_view, N> texts`
// (one text per case, in case order). Then toRaw(e), fromRaw<E>(text) and allCases<E>() work.
//
// Integer raw values equal to the case number: specialise RawIntegers<E> with `static constexpr int count`.
// Then toRaw(e) gives the integer and fromRaw<E>(n) accepts 0 ..< count.
template <typename E>
struct RawTexts;

template <typename E>
struct RawIntegers;

template <typename E>
concept TextRawEnum = requires { RawTexts<E>::texts; };

template <typename E>
concept IntegerRawEnum = requires { RawIntegers<E>::count; };

template <TextRawEnum E>
QString toRaw(E value)
{
    const std::u16string_view text = RawTexts<E>::texts[std::size_t(value)];
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

// Exact, case-sensitive match; any other text gives no value.
template <TextRawEnum E>
std::optional<E> fromRaw(QStringView text)
{
    const auto& texts = RawTexts<E>::texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (text == QStringView(texts[i].data(), qsizetype(texts[i].size())))
            return E(i);
    }
    return std::nullopt;
}

template <IntegerRawEnum E>
constexpr int toRaw(E value)
{
    return int(value);
}

template <IntegerRawEnum E>
constexpr std::optional<E> fromRaw(long long raw)
{
    if (raw < 0 || raw >= RawIntegers<E>::count)
        return std::nullopt;
    return E(raw);
}

template <TextRawEnum E>
constexpr auto allCases()
{
    std::array<E, RawTexts<E>::texts.size()> cases{};
    for (std::size_t i = 0; i < cases.size(); ++i)
        cases[i] = E(i);
    return cases;
}

template <IntegerRawEnum E>
constexpr auto allCases()
{
    std::array<E, std::size_t(RawIntegers<E>::count)> cases{};
    for (std::size_t i = 0; i < cases.size(); ++i)
        cases[i] = E(i);
    return cases;
}
