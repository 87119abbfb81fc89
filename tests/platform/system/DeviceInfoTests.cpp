#include "DeviceInfo.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

const QRegularExpression upperUuid(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));

}

TEST(DeviceInfo, MachineIdBecomesStableUpperCaseUuidThatHidesTheRawId)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("machine-id"));
    writeFile(path, "0123456789abcdef0123456789abcdef\n");

    const QString id = DeviceInfo::deviceId(path);
    EXPECT_TRUE(upperUuid.match(id).hasMatch()) << id.toStdString();
    EXPECT_EQ(id, DeviceInfo::deviceId(path));
    EXPECT_FALSE(QString(id).remove(u'-').contains(QStringLiteral("0123456789ABCDEF")));
}

TEST(DeviceInfo, DifferentMachinesGetDifferentIds)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a")), "0123456789abcdef0123456789abcdef\n");
    writeFile(dir.filePath(QStringLiteral("b")), "0123456789abcdef0123456789abcdee\n");
    EXPECT_NE(DeviceInfo::deviceId(dir.filePath(QStringLiteral("a"))), DeviceInfo::deviceId(dir.filePath(QStringLiteral("b"))));
}

TEST(DeviceInfo, UnusableMachineIdGivesEmptyIdentifier)
{
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray content;
    } cases[] = {
        {"empty", ""},
        {"short", "0123456789abcdef\n"},
        {"not-hex", "0123456789abcdef0123456789abcdeg\n"},
        {"uninitialized", "uninitialized\n"},
        {"all-zero", "00000000000000000000000000000000\n"},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.name));
        writeFile(path, c.content);
        EXPECT_EQ(DeviceInfo::deviceId(path), QString()) << c.name;
    }
    EXPECT_EQ(DeviceInfo::deviceId(dir.filePath(QStringLiteral("missing"))), QString());
}

TEST(DeviceInfo, ModelComesFromDmiProductNameThenBoardName)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("product_name")), "ThinkPad X1 Carbon Gen 9\n");
    writeFile(dir.filePath(QStringLiteral("board_name")), "20XW0055GE\n");
    EXPECT_EQ(DeviceInfo::deviceModel(dir.path()), QStringLiteral("ThinkPad X1 Carbon Gen 9"));

    writeFile(dir.filePath(QStringLiteral("product_name")), "To Be Filled By O.E.M.\n");
    EXPECT_EQ(DeviceInfo::deviceModel(dir.path()), QStringLiteral("20XW0055GE"));
}

TEST(DeviceInfo, ModelIsUnknownWithoutFirmwareTables)
{
    QTemporaryDir dir;
    EXPECT_EQ(DeviceInfo::deviceModel(dir.filePath(QStringLiteral("nothing-here"))), QStringLiteral("Unknown"));
}

TEST(DeviceInfo, ThisMachineNeverFailsHard)
{
    const QString id = DeviceInfo::deviceId();
    EXPECT_TRUE(id.isEmpty() || upperUuid.match(id).hasMatch());
    EXPECT_FALSE(DeviceInfo::deviceModel().isEmpty());
}
