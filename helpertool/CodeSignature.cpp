#include "CodeSignature.h"

#include "HelperLog.h"

#include <QFile>
#include <memory>

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, Deleter<CMS_ContentInfo, CMS_ContentInfo_free>>;
using StorePtr = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX, X509_STORE_CTX_free>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;

void freeCertStack(STACK_OF(X509)* s) { sk_X509_pop_free(s, X509_free); }
void freeSignerStack(STACK_OF(X509)* s) { sk_X509_free(s); }
using CertStackPtr = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), freeCertStack>>;
using SignerStackPtr = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), freeSignerStack>>;

CodesignCheckError failure(const QString& what)
{
    QString message = what;
    const unsigned long code = ERR_get_error();
    if (code != 0) {
        char text[256];
        ERR_error_string_n(code, text, sizeof(text));
        message += QStringLiteral(": ") + QString::fromLatin1(text);
    }
    ERR_clear_error();
    return CodesignCheckError { message };
}

QByteArray derOf(X509* certificate)
{
    unsigned char* out = nullptr;
    const int length = i2d_X509(certificate, &out);
    if (length <= 0)
        return {};
    QByteArray der(reinterpret_cast<const char*>(out), length);
    OPENSSL_free(out);
    return der;
}

}

CodeSignature::CodeSignature(QByteArray trustedRootPem)
    : trustedRootPem_(std::move(trustedRootPem))
{
}

std::expected<QList<QByteArray>, CodesignCheckError> CodeSignature::codeSigningCertificates(
    const QString& executable, const QString& signature) const
{
    HelperLog::codesign(QStringLiteral("codeSigningCertificates ") + executable);
    ERR_clear_error();

    QFile signatureFile(signature);
    if (!signatureFile.open(QIODevice::ReadOnly))
        return std::unexpected(CodesignCheckError { QStringLiteral("No signature for %1").arg(executable) });
    const QByteArray signatureBytes = signatureFile.read(1024 * 1024);

    BioPtr signatureBio(BIO_new_mem_buf(signatureBytes.constData(), int(signatureBytes.size())));
    CmsPtr cms(d2i_CMS_bio(signatureBio.get(), nullptr));
    if (!cms)
        return std::unexpected(failure(QStringLiteral("Signature is not a CMS structure")));

    BioPtr rootBio(BIO_new_mem_buf(trustedRootPem_.constData(), int(trustedRootPem_.size())));
    X509Ptr root(PEM_read_bio_X509(rootBio.get(), nullptr, nullptr, nullptr));
    StorePtr store(X509_STORE_new());
    if (!root || !store || X509_STORE_add_cert(store.get(), root.get()) != 1)
        return std::unexpected(failure(QStringLiteral("Trusted root unreadable")));
    // The leaf carries the code-signing usage, checked below; the S/MIME purpose of the
    // default would ask for e-mail protection instead.
    X509_STORE_set_purpose(store.get(), X509_PURPOSE_ANY);

    const QByteArray executablePath = QFile::encodeName(executable);
    BioPtr content(BIO_new_file(executablePath.constData(), "rb"));
    if (!content)
        return std::unexpected(failure(QStringLiteral("Executable unreadable")));
    if (CMS_verify(cms.get(), nullptr, store.get(), content.get(), nullptr, CMS_BINARY) != 1)
        return std::unexpected(failure(QStringLiteral("Signature not valid")));

    SignerStackPtr signers(CMS_get0_signers(cms.get()));
    if (!signers || sk_X509_num(signers.get()) != 1)
        return std::unexpected(CodesignCheckError { QStringLiteral("Signature must have exactly one signer") });
    X509* leaf = sk_X509_value(signers.get(), 0);
    if (!(X509_get_extension_flags(leaf) & EXFLAG_XKUSAGE) || !(X509_get_extended_key_usage(leaf) & XKU_CODE_SIGN))
        return std::unexpected(CodesignCheckError { QStringLiteral("Signer is not a code-signing certificate") });

    CertStackPtr carried(CMS_get1_certs(cms.get()));
    StoreCtxPtr context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store.get(), leaf, carried.get()) != 1
        || X509_verify_cert(context.get()) != 1)
        return std::unexpected(failure(QStringLiteral("Signing chain not trusted")));

    QList<QByteArray> chain;
    STACK_OF(X509)* verified = X509_STORE_CTX_get0_chain(context.get());
    for (int i = 0; i < sk_X509_num(verified); ++i)
        chain.append(derOf(sk_X509_value(verified, i)));
    return chain;
}

std::expected<QList<QByteArray>, CodesignCheckError> CodeSignature::codeSigningCertificatesOfProcess(
    const QString& pid) const
{
    const QString link = QStringLiteral("/proc/%1/exe").arg(pid);
    char buffer[4096];
    const ssize_t length = ::readlink(QFile::encodeName(link).constData(), buffer, sizeof(buffer) - 1);
    const QString target = length > 0 ? QFile::decodeName(QByteArray(buffer, length)) : QString();
    if (target.isEmpty())
        return std::unexpected(CodesignCheckError { QStringLiteral("No executable for process %1").arg(pid) });
    // A replaced or deleted executable reads as "<path> (deleted)": its signature is not found.
    return codeSigningCertificates(link, target + QStringLiteral(".sig"));
}

bool CodeSignature::sameChain(const QList<QByteArray>& a, const QList<QByteArray>& b)
{
    return !a.isEmpty() && !b.isEmpty() && a == b;
}
