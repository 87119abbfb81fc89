#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <expected>

// Every failure of a signature check.
struct CodesignCheckError {
    QString message;
};

// Detached CMS signatures of executables ("<executable>.sig", DER), checked against one trusted
// root. The result of a check is the signer's certificate chain, leaf first, each certificate
// as DER, so two programs can be compared certificate by certificate.
class CodeSignature {
public:
    explicit CodeSignature(QByteArray trustedRootPem);

    // The chain of `executable`, whose signature lies at `signature`. The executable is read
    // through the path given, so "/proc/<pid>/exe" reads the very file the process runs.
    std::expected<QList<QByteArray>, CodesignCheckError> codeSigningCertificates(
        const QString& executable, const QString& signature) const;

    // The chain of a running process: its executable through /proc/<pid>/exe, its signature
    // beside the path that link names. "self" works as pid text too.
    std::expected<QList<QByteArray>, CodesignCheckError> codeSigningCertificatesOfProcess(const QString& pid) const;

    // Equal element by element; an empty chain matches nothing, not even another empty one.
    static bool sameChain(const QList<QByteArray>& a, const QList<QByteArray>& b);

private:
    QByteArray trustedRootPem_;
};
