#include "Pkce.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(Pkce, ChallengeOfTheStandardExampleVerifier)
{
    // The published S256 example pair.
    EXPECT_EQ(Pkce::challenge(QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")),
              QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
}

TEST(Pkce, Base64UrlHasNoPaddingAndUrlAlphabet)
{
    struct Case { QByteArray bytes; const char* expected; };
    const Case cases[] = {
        {QByteArray(), ""},
        {QByteArray("\xfb\xff", 2), "-_8"},
        {QByteArray("a"), "YQ"},
        {QByteArray("ab"), "YWI"},
        {QByteArray("abc"), "YWJj"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Pkce::base64Url(c.bytes), QString::fromLatin1(c.expected)) << c.bytes.toHex().constData();
}

TEST(Pkce, VerifiersAreFreshValidAndClampedInLength)
{
    struct Case { int asked; int length; };
    for (const Case c : {Case{0, 43}, Case{43, 43}, Case{64, 64}, Case{128, 128}, Case{500, 128}}) {
        const QString verifier = Pkce::makeVerifier(c.asked);
        EXPECT_EQ(verifier.size(), c.length);
        EXPECT_TRUE(Pkce::isValidVerifier(verifier)) << verifier.toStdString();
    }
    QSet<QString> seen;
    for (int i = 0; i < 50; ++i)
        seen.insert(Pkce::makeVerifier());
    EXPECT_EQ(seen.size(), 50);
    EXPECT_NE(Pkce::makeState(), Pkce::makeState());
}

TEST(Pkce, VerifierValidation)
{
    struct Case { QString verifier; bool valid; };
    const Case cases[] = {
        {QString(42, u'a'), false},
        {QString(43, u'a'), true},
        {QString(128, u'~'), true},
        {QString(129, u'a'), false},
        {QString(42, u'a') + u'=', false},
        {QString(42, u'a') + u'+', false},
        {QString(42, u'a') + QChar(0xe9), false},
        {QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~"), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Pkce::isValidVerifier(c.verifier), c.valid) << c.verifier.toStdString();
}
