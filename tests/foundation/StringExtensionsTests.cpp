#include "StringExtensions.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using namespace StringExtensions;

TEST(StringExtensionsTests, Md5IsLowerCaseHexOfTheUtf8Bytes)
{
    EXPECT_EQ(md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(md5(QString::fromUtf8("é")), md5(QString::fromUtf8("\xc3\xa9")));
    EXPECT_EQ(md5(QString::fromUtf8("é")).size(), 32);
}

TEST(StringExtensionsTests, HexStringIsTwoLowerCaseDigitsPerByte)
{
    EXPECT_EQ(hexString(QByteArray()), "");
    EXPECT_EQ(hexString(QByteArray("\x00\x0a\xff\x7f", 4)), "000aff7f");
}

TEST(StringExtensionsTests, HexToBytes)
{
    EXPECT_EQ(hexToBytes(""), QByteArray());
    EXPECT_EQ(hexToBytes("0aFF"), QByteArray("\x0a\xff", 2));
    EXPECT_EQ(hexToBytes("5E0A93c1"), QByteArray("\x5e\x0a\x93\xc1", 4));
    for (const char* bad : {"a", "abc", "0g", "zz", "+f", "-1", " 1", "0x", "é1"})
        EXPECT_EQ(hexToBytes(QString::fromUtf8(bad)), std::nullopt) << bad;
}

TEST(StringExtensionsTests, EmailPatternIsTheFullPattern)
{
    EXPECT_EQ(emailPattern().size(), 430);
}

TEST(StringExtensionsTests, EmailSearchIsUnanchoredAndCaseSensitive)
{
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"user.name@example.com", true},
        {"please write to user@mail.example.org today", true},
        {"o'brien+vpn@sub.example.co", true},
        {"\"quoted.local\"@example.com", true},
        {"\"quoted local\"@example.com", false},  // a blank is no quoted-text character
        {"user@[192.168.0.1]", true},
        {"USER@EXAMPLE.COM", false},
        {"user@", false},
        {"user@example", false},
        {"@example.com", false},
        {"plain text", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isValidEmail(QString::fromUtf8(c.text)), c.valid) << c.text;
}

// The check must give exactly what a plain unanchored search for the pattern gives. Short random
// texts over the characters that matter to the pattern reach its corners (quotes, escapes, dots,
// hyphens, address literals, capitals) far more often than real addresses do.
TEST(StringExtensionsTests, EmailCheckAgreesWithThePlainPatternSearch)
{
    const QRegularExpression plain(emailPattern());
    const QStringList pieces{"a", "z9", ".", "@", "\"", "\\", "[", "]", "1.", "25.", "255", "256", "199", "7", "x:",
                             ":", "-", "Z", " ", "\t", "_", "b.c", "@a.b", "@[1.2.3.", "4]", "\x01", QString(QChar(0)),
                             QString(QChar(0x7f)), QString(QChar(0xe9)), "\n", "o'k"};
    QRandomGenerator random(20261209);
    int matches = 0;
    for (int round = 0; round < 200000; ++round) {
        const int count = int(random.bounded(10));
        QString text;
        for (int i = 0; i < count; ++i)
            text += pieces.at(qsizetype(random.bounded(quint32(pieces.size()))));
        const bool expected = plain.match(text).hasMatch();
        matches += expected ? 1 : 0;
        ASSERT_EQ(isValidEmail(text), expected) << text.toStdString();
    }
    EXPECT_GT(matches, 500);  // the sample holds plenty of addresses too
    for (const char* text : {"\"a\\\"b\"@x.y", "\"a\"b\"@x.y", "x\"\"@a.b", "\"\\@\"@a.b", "a@[1.2.3.4]",
                             "a@[1.2.3.x:@]", "a@[1.2.3.x:]", "a@[1.2.3.x:]]", "a@[1.2.3.x:\\ ]", "a@[1.2.3.x: ]",
                             "a@[1.2.3.x:\\\t]", "a@[1.2.3.4:x]", "a@[256.1.1.1]", "a@[1.1.1.1x]", "a@b-.c", "a@-b.c",
                             "a@b.c@", "@@a@b.c", "\"\"@a.b"})
        EXPECT_EQ(isValidEmail(QString::fromUtf8(text)), plain.match(QString::fromUtf8(text)).hasMatch()) << text;
}

}
