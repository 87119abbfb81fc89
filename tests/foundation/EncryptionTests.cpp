#include "Encryption.h"

#include <QLoggingCategory>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

TEST(EncryptionTests, KeyAndIvLengthsInCharacters)
{
    const QString iv16 = "fedcba9876543210";
    const auto aes128 = Encryption::make("0123456789abcdef", iv16);
    ASSERT_TRUE(aes128);
    EXPECT_EQ(aes128->key, QByteArray("0123456789abcdef"));
    EXPECT_EQ(aes128->iv, QByteArray("fedcba9876543210"));
    EXPECT_TRUE(Encryption::make(QString(32, 'k'), iv16));
    EXPECT_FALSE(Encryption::make(QString(24, 'k'), iv16));
    EXPECT_FALSE(Encryption::make(QString(32, 'k'), QString(15, 'v')));
    EXPECT_FALSE(Encryption::make(QString(16, 'k'), QString(17, 'v')));
    EXPECT_FALSE(Encryption::make("", iv16));

    const auto wide = Encryption::make(QString(16, QChar(0x00e9)), iv16);  // 16 two-byte characters
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->key.size(), 32);
    // A letter with a combining accent is one character as the user sees it.
    const QString combined = QString("e\u0301").repeated(16);
    ASSERT_EQ(combined.size(), 32);
    const auto graphemes = Encryption::make(combined, iv16);
    ASSERT_TRUE(graphemes);
    EXPECT_EQ(graphemes->key.size(), 48);
}

QStringList* capturedMessages = nullptr;

void capture(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (capturedMessages)
        capturedMessages->append(message);
}

TEST(EncryptionTests, RefusalsSayWhichHalfWasWrong)
{
    QLoggingCategory::setFilterRules(QStringLiteral("veltamorine.foundation.debug=true"));
    QStringList messages;
    capturedMessages = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    EXPECT_FALSE(Encryption::make(QString(24, 'k'), "fedcba9876543210"));
    EXPECT_FALSE(Encryption::make(QString(32, 'k'), QString(15, 'v')));
    EXPECT_FALSE(Encryption::make(QString(24, 'k'), QString(15, 'v')));
    qInstallMessageHandler(previous);
    capturedMessages = nullptr;
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(messages, (QStringList{"Error: Failed to set a key.", "Error: Failed to set an initial vector.",
                                     "Error: Failed to set a key."}));
}

}
