#include "StrictBase64.h"

#include <QString>
#include <gtest/gtest.h>

namespace {

TEST(StrictBase64Tests, DecodesStandardBase64)
{
    EXPECT_EQ(StrictBase64::decode(u""), QByteArray());
    EXPECT_EQ(StrictBase64::decode(u"Zg=="), QByteArray("f"));
    EXPECT_EQ(StrictBase64::decode(u"Zm8="), QByteArray("fo"));
    EXPECT_EQ(StrictBase64::decode(u"Zm9v"), QByteArray("foo"));
    EXPECT_EQ(StrictBase64::decode(u"Zm9vYmFy"), QByteArray("foobar"));
    EXPECT_EQ(StrictBase64::decode(u"+/+/"), QByteArray("\xfb\xff\xbf", 3));
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    EXPECT_EQ(StrictBase64::decode(QString::fromLatin1(all.toBase64())), all);
}

TEST(StrictBase64Tests, RefusesAnythingOutsideTheAlphabetOrShape)
{
    for (const char16_t* bad : {u"Zm9v\n", u"Zm9v\nYmFy", u"Zm9 v", u" Zm9v", u"Zm8", u"Zg", u"Zg=", u"Z===",
                                u"====", u"Zg==Zg==", u"Z=g=", u"-_-_", u"Zm9v\r\n", u"Zm9v\t", u"Zm9vé==="})
        EXPECT_EQ(StrictBase64::decode(QStringView(bad)), std::nullopt) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(StrictBase64::decode(QByteArrayView("Zm9v\0AAA", 8)), std::nullopt);
}

}
