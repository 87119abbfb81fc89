#include "CryptoUtility.h"
#include "Keys.h"
#include "StringExtensions.h"
#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>

namespace {

using Kind = DecryptionError::Kind;

struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

// The public half of the build's key pair, as the backend holds it.
Pkey buildPublicKey()
{
    QFile file(TestSupport::builtProgram("keys/vpn-password-public.pem"));
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray pem = file.readAll();
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.constData(), int(pem.size())), &BIO_free);
    return Pkey(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
}

QString rsaEncrypt(EVP_PKEY* key, const QByteArray& plain)
{
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr),
                                                                     &EVP_PKEY_CTX_free);
    EXPECT_EQ(EVP_PKEY_encrypt_init(ctx.get()), 1);
    EXPECT_EQ(EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING), 1);
    size_t length = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(plain.constData());
    EXPECT_EQ(EVP_PKEY_encrypt(ctx.get(), nullptr, &length, in, size_t(plain.size())), 1);
    QByteArray out(qsizetype(length), '\0');
    EXPECT_EQ(EVP_PKEY_encrypt(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &length, in,
                               size_t(plain.size())),
              1);
    out.truncate(qsizetype(length));
    return QString::fromLatin1(out.toBase64());
}

QString aesGcmSeal(const QByteArray& plain, const QByteArray& key, const QByteArray& iv)
{
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    EXPECT_EQ(EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, int(iv.size()), nullptr), 1);
    EXPECT_EQ(EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, reinterpret_cast<const unsigned char*>(key.constData()),
                                 reinterpret_cast<const unsigned char*>(iv.constData())),
              1);
    QByteArray out(plain.size() + 16, '\0');
    int n = 0, m = 0;
    EXPECT_EQ(EVP_EncryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n,
                                reinterpret_cast<const unsigned char*>(plain.constData()), int(plain.size())),
              1);
    EXPECT_EQ(EVP_EncryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n, &m), 1);
    out.truncate(n + m);
    QByteArray tag(16, '\0');
    EXPECT_EQ(EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, 16, tag.data()), 1);
    return QString::fromLatin1((out + tag).toBase64());
}

QString sealWithBuildKeys(const QByteArray& plain)
{
    return aesGcmSeal(plain, *StringExtensions::hexToBytes(Keys::required(u"aesGcmKey")),
                      *StringExtensions::hexToBytes(Keys::required(u"aesGcmIV")));
}

class CryptoUtilityRsaTests : public ::testing::Test {
protected:
    void SetUp() override
    {
        publicKey = buildPublicKey();
        ASSERT_TRUE(publicKey) << "no public key at " << TestSupport::builtProgram("keys/vpn-password-public.pem").toStdString();
    }
    Pkey publicKey;
};

TEST_F(CryptoUtilityRsaTests, BuildKeyHasTheStatedForm)
{
    const QString key = Keys::required(u"rsaPrivateKey");
    EXPECT_FALSE(key.contains('\n'));
    const QByteArray der = QByteArray::fromBase64(key.toLatin1());
    // An RSAPrivateKey structure: the version is followed directly by the modulus. A PKCS#8
    // wrapper would put an algorithm identifier (another SEQUENCE) there instead, and OpenSSL
    // would read that too, so the shape is checked on the bytes.
    ASSERT_GT(der.size(), 8);
    EXPECT_EQ(der.left(2), QByteArray("\x30\x82", 2));
    EXPECT_EQ(der.mid(4, 4), QByteArray("\x02\x01\x00\x02", 4));
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.constData());
    Pkey privateKey(d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &cursor, long(der.size())));
    ASSERT_TRUE(privateKey);
    EXPECT_EQ(EVP_PKEY_get_size(privateKey.get()), 128);
}

TEST_F(CryptoUtilityRsaTests, RoundTripsTheVpnPassword)
{
    for (const QByteArray& plain : {QByteArray("s3cr3t-VPN-pa55"), QByteArray(""), QByteArray("Grüße, €uro ✓"),
                                    QByteArray(117, 'x')}) {
        const QString sealed = rsaEncrypt(publicKey.get(), plain);
        EXPECT_EQ(sealed.size(), 172);
        const auto opened = CryptoUtility::decryptRSA(sealed);
        ASSERT_TRUE(opened) << plain.constData() << " " << opened.error().detail.toStdString();
        EXPECT_EQ(*opened, QString::fromUtf8(plain));
    }
}

TEST_F(CryptoUtilityRsaTests, NonUtf8PlaintextIsMalformed)
{
    const auto opened = CryptoUtility::decryptRSA(rsaEncrypt(publicKey.get(), QByteArray("\xff\xfe\x80 bad", 7)));
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().kind, Kind::MalformedData);
}

TEST_F(CryptoUtilityRsaTests, InputThatIsNotStrictBase64IsNotEncoded)
{
    QString sealed = rsaEncrypt(publicKey.get(), "password");
    for (const QString& broken : {sealed.left(64) + '\n' + sealed.mid(64), sealed + "\r\n", " " + sealed,
                                  sealed.left(171), QString(sealed).replace(0, 1, "-")}) {
        const auto opened = CryptoUtility::decryptRSA(broken);
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().kind, Kind::KeyIsNotEncoded);
    }
}

TEST_F(CryptoUtilityRsaTests, StoredKeyThatIsNotBase64IsNotEncoded)
{
    const QString key = Keys::required(u"rsaPrivateKey");
    const auto opened = CryptoUtility::decryptRSA(rsaEncrypt(publicKey.get(), "pw"), key.left(76) + '\n' + key.mid(76));
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().kind, Kind::KeyIsNotEncoded);
}

TEST_F(CryptoUtilityRsaTests, KeyBytesThatAreNoRsaKeyAreInvalid)
{
    const QString key = Keys::required(u"rsaPrivateKey");
    const QByteArray der = QByteArray::fromBase64(key.toLatin1());
    for (const QByteArray& bad : {QByteArray("not a key"), der.left(300), der + QByteArray(3, '\0')}) {
        const auto opened = CryptoUtility::decryptRSA(rsaEncrypt(publicKey.get(), "pw"), QString::fromLatin1(bad.toBase64()));
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().kind, Kind::InvalidKey);
        EXPECT_FALSE(opened.error().detail.isEmpty());
    }
}

// A ciphertext made for another key, or a block of random bytes, must fail explicitly on every
// OpenSSL build, including those that would otherwise invent a plaintext (implicit rejection).
TEST_F(CryptoUtilityRsaTests, CiphertextForAnotherKeyIsUnableToDecrypt)
{
    Pkey other(EVP_RSA_gen(1024));
    ASSERT_TRUE(other);
    for (int i = 0; i < 8; ++i) {
        const auto opened = CryptoUtility::decryptRSA(rsaEncrypt(other.get(), "password for someone else"));
        ASSERT_FALSE(opened) << "decrypted to " << opened->toStdString();
        EXPECT_EQ(opened.error().kind, Kind::UnableToDecrypt);
        EXPECT_FALSE(opened.error().detail.isEmpty());
    }
    for (const QByteArray& bytes : {QByteArray(128, '\x01'), QByteArray(16, '\x7f'), QByteArray()}) {
        const auto opened = CryptoUtility::decryptRSA(QString::fromLatin1(bytes.toBase64()));
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().kind, Kind::UnableToDecrypt);
    }
}

TEST(CryptoUtilityAesTests, RoundTripsWithTheBuildKeys)
{
    for (const QByteArray& plain : {QByteArray(R"({"access_token":"a","refresh_token":"r"})"), QByteArray(""),
                                    QByteArray("Grüße €"), QByteArray(4000, 'z')}) {
        EXPECT_EQ(CryptoUtility::decryptAESGCM(sealWithBuildKeys(plain)), QString::fromUtf8(plain));
    }
}

TEST(CryptoUtilityAesTests, KnownAnswerWithSixteenByteIv)
{
    // Sealed by an independent AES-GCM implementation with the development key and IV.
    const QString key = "9f3c1ad07e5b2c6840fa17d3b95e0c2a6d4f81b07c3e952a1fd6480be37ca519";
    const QString iv = "5E0A93C1D7F24B68A1C3E5079B2D4F61";
    EXPECT_EQ(CryptoUtility::decryptAESGCM("X7p2GPGIHqoFS2NBSkybWsG9zF9RJ7VCJYUt2WAIaNIGr5t20QBSxUetdlDIVRSUQ0uNwFQudVgh9Z37"
                                           "S+gQ6EZcbQ67Yh8YnvtgZY2jrGqT",
                                           key, iv),
              QString(R"({"access_token":"sample-access","refresh_token":"sample-refresh"})"));
    EXPECT_EQ(CryptoUtility::decryptAESGCM("Y+rUx1FyCPm4vaCG+w/k52M1lAVjyK0ZIvX/", key, iv), QString("Grüße €"));
}

TEST(CryptoUtilityAesTests, EveryFailureGivesNothing)
{
    const QByteArray plain = "refresh-token-value";
    const QString sealed = sealWithBuildKeys(plain);
    QByteArray raw = QByteArray::fromBase64(sealed.toLatin1());

    QByteArray flippedTag = raw;
    flippedTag[flippedTag.size() - 1] = char(flippedTag.at(flippedTag.size() - 1) ^ 0x01);
    QByteArray flippedCipher = raw;
    flippedCipher[0] = char(flippedCipher.at(0) ^ 0x80);

    const struct {
        const char* what;
        QString input;
    } cases[] = {
        {"not base64", "this is not base64!"},
        {"line break", sealed.left(8) + '\n' + sealed.mid(8)},
        {"flipped tag bit", QString::fromLatin1(flippedTag.toBase64())},
        {"flipped ciphertext bit", QString::fromLatin1(flippedCipher.toBase64())},
        {"tag cut short", QString::fromLatin1(raw.left(raw.size() - 1).toBase64())},
        {"shorter than a tag", QString::fromLatin1(raw.left(10).toBase64())},
        {"empty", ""},
        {"not utf-8", sealWithBuildKeys(QByteArray("\xc3\x28 broken", 9))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CryptoUtility::decryptAESGCM(c.input), std::nullopt) << c.what;
}

}
