#include "HelperFrame.h"

#include <QJsonArray>
#include <gtest/gtest.h>

TEST(HelperFrameTests, frameRoundTripsAcrossArbitraryChunks)
{
    const QJsonObject first { { "id", 1 }, { "arguments", QJsonArray { "getVersion" } } };
    const QJsonObject second { { "id", 2 }, { "arguments", QJsonArray { "enableFirewall", QString(5000, u'x') } } };
    const QByteArray stream = HelperFrame::encode(first) + HelperFrame::encode(second);

    for (int chunk : { 1, 3, 4, 7, 4096, int(stream.size()) }) {
        HelperFrame::Reader reader(1024 * 1024);
        QList<QJsonObject> decoded;
        for (qsizetype at = 0; at < stream.size(); at += chunk) {
            reader.append(stream.mid(at, chunk));
            QByteArray payload;
            while (reader.next(payload) == HelperFrame::Reader::Status::Frame)
                decoded.append(*HelperFrame::decodeObject(payload));
        }
        ASSERT_EQ(decoded.size(), 2) << "chunk " << chunk;
        EXPECT_EQ(decoded[0], first);
        EXPECT_EQ(decoded[1], second);
        EXPECT_EQ(reader.buffered(), 0);
    }
}

TEST(HelperFrameTests, lengthAboveCapIsRefusedBeforeThePayloadArrives)
{
    HelperFrame::Reader reader(16);
    QByteArray payload;
    reader.append(HelperFrame::encode(QByteArray(16, 'a')));
    EXPECT_EQ(reader.next(payload), HelperFrame::Reader::Status::Frame);
    EXPECT_EQ(payload.size(), 16);

    reader.append(QByteArray::fromHex("00000011"));  // 17: one above the cap, no payload yet
    EXPECT_EQ(reader.next(payload), HelperFrame::Reader::Status::TooLarge);
    reader.append(HelperFrame::encode(QByteArray("{}")));
    EXPECT_EQ(reader.next(payload), HelperFrame::Reader::Status::TooLarge) << "the stream stays unusable";

    HelperFrame::Reader maxLength(1024);
    maxLength.append(QByteArray::fromHex("ffffffff"));
    EXPECT_EQ(maxLength.next(payload), HelperFrame::Reader::Status::TooLarge);
}

TEST(HelperFrameTests, onlyJsonObjectsDecode)
{
    for (const char* text : { "", "not json", "[\"getVersion\"]", "42", "{\"id\": 1" })
        EXPECT_FALSE(HelperFrame::decodeObject(text).has_value()) << text;
    EXPECT_TRUE(HelperFrame::decodeObject("{}").has_value());
}
