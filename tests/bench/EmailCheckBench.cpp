// The e-mail check on 20,000-character texts of several shapes, next to a plain
// regular-expression search for the same pattern. Run: build/tests/bench/vel_bench_email
#include "StringExtensions.h"

#include <QRegularExpression>
#include <QString>

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype length = 20000;

QString fill(const QString& piece, const QString& tail = {})
{
    QString text;
    while (text.size() + piece.size() + tail.size() <= length)
        text += piece;
    text += tail;
    text += QString(length - text.size(), QLatin1Char('x'));
    return text;
}

// Each shape pushes a different part of the pattern.
QString shape(int index)
{
    switch (index) {
    case 0: return fill(QStringLiteral("the quick brown fox jumps over the lazy dog "));
    case 1: return fill(QStringLiteral("the quick brown fox jumps over the lazy dog "), QStringLiteral(" ada@example.org"));
    case 2: return QString(length - 12, QLatin1Char('a')) + QStringLiteral("@example.org");
    case 3: return fill(QStringLiteral("a."), QStringLiteral("a@"));
    case 4: return fill(QStringLiteral("a@"));
    case 5: return fill(QStringLiteral("a@[1.1.1.a:"));
    case 6: return fill(QStringLiteral("\"\\\""), QStringLiteral("\"@"));
    default: return fill(QStringLiteral("a@a-"));
    }
}

const char* shapeName(int index)
{
    static const char* names[] = {"prose", "prose_then_address", "long_local_part", "dotted_local_no_domain",
                                  "many_at_signs", "open_address_literals", "escaped_quotes", "hyphen_domains"};
    return names[index];
}

void isValidEmail(benchmark::State& state)
{
    const QString text = shape(int(state.range(0)));
    state.SetLabel(shapeName(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(StringExtensions::isValidEmail(text));
}

void plainPatternSearch(benchmark::State& state)
{
    const QRegularExpression expression(StringExtensions::emailPattern());
    const QString text = shape(int(state.range(0)));
    state.SetLabel(shapeName(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(expression.match(text).hasMatch());
}

}

BENCHMARK(isValidEmail)->DenseRange(0, 7)->Unit(benchmark::kMicrosecond);
BENCHMARK(plainPatternSearch)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
