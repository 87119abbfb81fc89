#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Shared helpers of the helper daemon's tests: fake tools that record their calls, and
// signing chains made with the openssl program.
namespace HelperTestFixture {

// Build products.
QString signingDir();           // the build's development chain
QString daemonProgram();        // the signed daemon
QString clientProgram();        // the signed test client
QByteArray trustedRootPem();

// A fake tool in `dir`: records each call's arguments and standard input, prints the file
// "<dir>/output" when present and exits with the number in "<dir>/status" (0 when absent).
QString writeFakeTool(const QString& dir, const QString& name = QStringLiteral("nft"));

struct ToolCall {
    QStringList arguments;
    QByteArray input;
};
// The calls of the fake tools in `dir`, in order.
QList<ToolCall> toolCalls(const QString& dir);

void writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);

// The DER form of a PEM certificate.
QByteArray derOfPem(const QByteArray& pem);

// Runs the openssl program; fails the test when it fails.
bool openssl(const QStringList& arguments);

// Makes "<name>.key" and "<name>.pem" in `dir`, issued by `issuerPrefix` (path without
// extension) or self-signed when empty. `ca` makes a CA certificate; otherwise a code-signing leaf
// (or a leaf without that usage when `codeSigning` is false).
bool makeCertificate(const QString& dir, const QString& name, const QString& issuerPrefix, bool ca,
    bool codeSigning = true);

// Writes "<file>.sig", a detached signature of `file` by `leafPrefix` carrying `extraCerts`.
bool sign(const QString& file, const QString& leafPrefix, const QStringList& extraCerts = {});

// Copies a program and, when `withSignature`, its signature, into `dir`; returns the copy.
QString copyProgram(const QString& program, const QString& dir, bool withSignature);

}
