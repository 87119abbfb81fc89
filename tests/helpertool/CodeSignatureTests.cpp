#include "CodeSignature.h"
#include "HelperTestFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace HelperTestFixture;

namespace {

class CodeSignatureTests : public ::testing::Test {
protected:
    QTemporaryDir dir;
    CodeSignature signature { trustedRootPem() };

    QList<QByteArray> ownChain()
    {
        const auto chain = signature.codeSigningCertificatesOfProcess("self");
        EXPECT_TRUE(chain.has_value()) << (chain ? "" : chain.error().message.toStdString());
        return chain.value_or(QList<QByteArray>());
    }
    std::expected<QList<QByteArray>, CodesignCheckError> chainOf(const QString& program)
    {
        return signature.codeSigningCertificates(program, program + ".sig");
    }
    QString build(const QString& name) { return QDir(signingDir()).filePath(name); }
};

}

TEST_F(CodeSignatureTests, buildSignsWithAThreeCertificateChainLeafFirst)
{
    const auto own = ownChain();
    ASSERT_EQ(own.size(), 3);
    EXPECT_EQ(own.last(), derOfPem(readFile(build("root.pem"))));
    const auto client = chainOf(clientProgram());
    ASSERT_TRUE(client.has_value());
    EXPECT_EQ(*client, own);
    const auto daemon = chainOf(daemonProgram());
    ASSERT_TRUE(daemon.has_value());
    EXPECT_EQ(*daemon, own);
}

TEST_F(CodeSignatureTests, copyWithItsSignatureKeepsTheChain)
{
    const QString copy = copyProgram(clientProgram(), dir.path(), true);
    const auto chain = chainOf(copy);
    ASSERT_TRUE(chain.has_value());
    EXPECT_EQ(*chain, ownChain());
}

TEST_F(CodeSignatureTests, refusals)
{
    const QString ca = dir.filePath("otherRoot");
    ASSERT_TRUE(makeCertificate(dir.path(), "otherRoot", "", true));
    ASSERT_TRUE(makeCertificate(dir.path(), "otherLeaf", ca, false));
    ASSERT_TRUE(makeCertificate(dir.path(), "sameRootDirectLeaf", build("root"), false));
    ASSERT_TRUE(makeCertificate(dir.path(), "siblingLeaf", build("intermediate"), false));
    ASSERT_TRUE(makeCertificate(dir.path(), "mailLeaf", build("intermediate"), false, false));

    struct Case {
        QString name;
        std::function<void(const QString& program)> prepare;
        bool verifies;  // the signature itself holds; the chain may still differ from ours
    };
    const Case cases[] = {
        { "unsigned", [](const QString&) {}, false },
        { "garbage signature", [](const QString& p) { writeFile(p + ".sig", "not a signature"); }, false },
        { "tampered executable", [](const QString& p) {
              QFile f(p);
              ASSERT_TRUE(f.open(QIODevice::Append));
              f.write("x");
          }, false },
        { "another root", [&](const QString& p) { ASSERT_TRUE(sign(p, dir.filePath("otherLeaf"), { ca + ".pem" })); }, false },
        { "no code-signing usage", [&](const QString& p) {
              ASSERT_TRUE(sign(p, dir.filePath("mailLeaf"), { build("intermediate.pem") }));
          }, false },
        { "same root, shorter chain", [&](const QString& p) { ASSERT_TRUE(sign(p, dir.filePath("sameRootDirectLeaf"))); }, true },
        { "same intermediate, other leaf", [&](const QString& p) {
              ASSERT_TRUE(sign(p, dir.filePath("siblingLeaf"), { build("intermediate.pem") }));
          }, true },
    };
    const auto own = ownChain();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QTemporaryDir programDir;
        const QString program = copyProgram(clientProgram(), programDir.path(), c.name == "tampered executable");
        c.prepare(program);
        const auto chain = chainOf(program);
        EXPECT_EQ(chain.has_value(), c.verifies) << (chain ? "" : chain.error().message.toStdString());
        if (chain) {
            EXPECT_FALSE(chain->isEmpty());
            EXPECT_NE(*chain, own);
        }
    }
}

TEST_F(CodeSignatureTests, processWithoutExecutableIsRefused)
{
    const auto chain = signature.codeSigningCertificatesOfProcess("999999999");
    ASSERT_FALSE(chain.has_value());
    EXPECT_FALSE(chain.error().message.isEmpty());
}

TEST(CodeSignatureChainTests, chainsMatchOnlyWhenEqualAndNotEmpty)
{
    const QList<QByteArray> chain { "leaf", "intermediate", "root" };
    struct Case {
        QList<QByteArray> a, b;
        bool same;
    };
    const Case cases[] = {
        { chain, chain, true },
        { {}, {}, false },
        { chain, {}, false },
        { {}, chain, false },
        { chain, { "leaf", "intermediate" }, false },
        { chain, { "other leaf", "intermediate", "root" }, false },
        { chain, { "root", "intermediate", "leaf" }, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodeSignature::sameChain(c.a, c.b), c.same);
}
