#include "HelperTestFixture.h"

#include "HelperSigningRoot.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace HelperTestFixture {

QString signingDir()
{
    return TestSupport::builtProgram(QStringLiteral("signing"));
}

QString daemonProgram()
{
    return TestSupport::builtProgram(QStringLiteral("helpertool/veltamorine.mac.apple.helpertool"));
}

QString clientProgram()
{
    return TestSupport::builtProgram(QStringLiteral("tests/helpertool/helper_test_client"));
}

QByteArray trustedRootPem()
{
    return QByteArray(helperSigningRootPem);
}

QString writeFakeTool(const QString& dir, const QString& name)
{
    const QString path = QDir(dir).filePath(name);
    const QString script = QStringLiteral(
        "#!/bin/sh\n"
        "dir='%1'\n"
        "echo $$ >> \"$dir/calls\"\n"
        "printf '%s\\0' \"$@\" > \"$dir/args.$$\"\n"
        "cat > \"$dir/stdin.$$\"\n"
        "[ -f \"$dir/output\" ] && cat \"$dir/output\"\n"
        "exit $(cat \"$dir/status\" 2>/dev/null || echo 0)\n").arg(dir);
    writeFile(path, script.toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QList<ToolCall> toolCalls(const QString& dir)
{
    QList<ToolCall> calls;
    const QList<QByteArray> pids = readFile(QDir(dir).filePath(QStringLiteral("calls"))).split('\n');
    for (const QByteArray& pid : pids) {
        if (pid.isEmpty())
            continue;
        ToolCall call;
        QByteArray args = readFile(QDir(dir).filePath(QStringLiteral("args.") + QString::fromLatin1(pid)));
        if (args.endsWith('\0'))
            args.chop(1);
        for (const QByteArray& a : args.split('\0'))
            call.arguments.append(QString::fromUtf8(a));
        call.input = readFile(QDir(dir).filePath(QStringLiteral("stdin.") + QString::fromLatin1(pid)));
        calls.append(call);
    }
    return calls;
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray derOfPem(const QByteArray& pem)
{
    BIO* bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!certificate)
        return {};
    unsigned char* out = nullptr;
    const int length = i2d_X509(certificate, &out);
    QByteArray der(reinterpret_cast<const char*>(out), length);
    OPENSSL_free(out);
    X509_free(certificate);
    return der;
}

bool openssl(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(20000) || process.exitCode() != 0) {
        ADD_FAILURE() << "openssl " << arguments.join(u' ').toStdString() << ": "
                      << process.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

bool makeCertificate(const QString& dir, const QString& name, const QString& issuerPrefix, bool ca, bool codeSigning)
{
    const QString prefix = QDir(dir).filePath(name);
    QString extensions = ca ? QStringLiteral("[v3]\nbasicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n")
                            : QStringLiteral("[v3]\nbasicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n");
    if (!ca && codeSigning)
        extensions += QStringLiteral("extendedKeyUsage=codeSigning\n");
    if (!ca && !codeSigning)
        extensions += QStringLiteral("extendedKeyUsage=emailProtection\n");
    writeFile(prefix + QStringLiteral(".ext"), extensions.toUtf8());
    if (!openssl({ QStringLiteral("genpkey"), QStringLiteral("-algorithm"), QStringLiteral("EC"), QStringLiteral("-pkeyopt"),
            QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-out"), prefix + QStringLiteral(".key") }))
        return false;
    if (!openssl({ QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-key"), prefix + QStringLiteral(".key"),
            QStringLiteral("-subj"), QStringLiteral("/O=Test/CN=") + name, QStringLiteral("-out"), prefix + QStringLiteral(".csr") }))
        return false;
    QStringList arguments { QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), prefix + QStringLiteral(".csr"),
        QStringLiteral("-days"), QStringLiteral("30"), QStringLiteral("-extfile"), prefix + QStringLiteral(".ext"),
        QStringLiteral("-extensions"), QStringLiteral("v3"), QStringLiteral("-out"), prefix + QStringLiteral(".pem") };
    if (issuerPrefix.isEmpty())
        arguments << QStringLiteral("-signkey") << prefix + QStringLiteral(".key");
    else
        arguments << QStringLiteral("-CA") << issuerPrefix + QStringLiteral(".pem") << QStringLiteral("-CAkey")
                  << issuerPrefix + QStringLiteral(".key") << QStringLiteral("-set_serial")
                  << QString::number(QDateTime::currentMSecsSinceEpoch());
    return openssl(arguments);
}

bool sign(const QString& file, const QString& leafPrefix, const QStringList& extraCerts)
{
    QStringList arguments { QStringLiteral("cms"), QStringLiteral("-sign"), QStringLiteral("-binary"), QStringLiteral("-md"),
        QStringLiteral("sha256"), QStringLiteral("-outform"), QStringLiteral("DER"), QStringLiteral("-in"), file,
        QStringLiteral("-signer"), leafPrefix + QStringLiteral(".pem"), QStringLiteral("-inkey"), leafPrefix + QStringLiteral(".key"),
        QStringLiteral("-out"), file + QStringLiteral(".sig") };
    if (!extraCerts.isEmpty()) {
        const QString bundle = file + QStringLiteral(".chain.pem");
        QByteArray all;
        for (const QString& cert : extraCerts)
            all += readFile(cert);
        writeFile(bundle, all);
        arguments << QStringLiteral("-certfile") << bundle;
    }
    return openssl(arguments);
}

QString copyProgram(const QString& program, const QString& dir, bool withSignature)
{
    const QString copy = QDir(dir).filePath(QFileInfo(program).fileName());
    QFile::remove(copy);
    EXPECT_TRUE(QFile::copy(program, copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (withSignature) {
        QFile::remove(copy + QStringLiteral(".sig"));
        EXPECT_TRUE(QFile::copy(program + QStringLiteral(".sig"), copy + QStringLiteral(".sig")));
    }
    return copy;
}

}
