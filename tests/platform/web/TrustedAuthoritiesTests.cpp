#include "SandboxServer.h"
#include "TrustedAuthorities.h"

#include <gtest/gtest.h>

namespace {

QList<QSslCertificate> certificates(const QString& path)
{
    return QSslCertificate::fromPath(path, QSsl::Pem);
}

}

TEST(TrustedAuthorities, OnlyChainsSignedByAConfiguredAuthorityAreForgiven)
{
    const QString folder = SandboxServer::certificateDirectory();
    const QList<QSslCertificate> server = certificates(folder + QStringLiteral("/server.pem"));
    const QList<QSslCertificate> untrusted = certificates(SandboxServer::untrustedCertificatePath());
    const QList<QSslCertificate> ca = certificates(SandboxServer::testCaPath());
    ASSERT_FALSE(server.isEmpty());
    ASSERT_FALSE(untrusted.isEmpty());
    ASSERT_FALSE(ca.isEmpty());

    TrustedAuthorities::set({});
    EXPECT_FALSE(TrustedAuthorities::isSignedByTrustedAuthority(server));

    ASSERT_TRUE(TrustedAuthorities::setFromFile(SandboxServer::testCaPath()));
    struct Row { const char* name; QList<QSslCertificate> chain; bool trusted; };
    const Row rows[] = {
        {"server of the test CA", server, true},
        {"the CA itself", ca, true},
        {"server of another CA", untrusted, false},
        {"empty chain", {}, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TrustedAuthorities::isSignedByTrustedAuthority(row.chain), row.trusted) << row.name;

    EXPECT_FALSE(TrustedAuthorities::setFromFile(folder + QStringLiteral("/missing.pem")));
    TrustedAuthorities::set({});
}
