#include "DeviceInfo.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>

namespace {

// Fixed per application, so that other programs deriving from the same machine id get other
// identifiers and ours cannot be linked to theirs.
constexpr char applicationKey[] = "\x5b\x0e\x9c\x41\xd2\x73\x4f\x18\xa6\x2d\x81\xe4\x37\xc9\x6a\x05";

QString readSmallTextFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(4096)).trimmed();
}

QString formatUuid(QByteArray bytes)
{
    // Marks the value as a random-form (version 4, RFC 4122 variant) UUID, as a derived id is.
    bytes[6] = char((bytes[6] & 0x0f) | 0x40);
    bytes[8] = char((bytes[8] & 0x3f) | 0x80);
    const QString hex = QString::fromLatin1(bytes.toHex()).toUpper();
    return hex.mid(0, 8) + u'-' + hex.mid(8, 4) + u'-' + hex.mid(12, 4) + u'-' + hex.mid(16, 4) + u'-'
        + hex.mid(20, 12);
}

bool isPlaceholder(const QString& name)
{
    static const QStringList placeholders = {QStringLiteral("To Be Filled By O.E.M."),
        QStringLiteral("Default string"), QStringLiteral("System Product Name"), QStringLiteral("Not Applicable")};
    return name.isEmpty() || placeholders.contains(name, Qt::CaseInsensitive);
}

}

QByteArray DeviceInfo::readMachineId(const QString& path)
{
    static const QRegularExpression form(QStringLiteral("^[0-9a-fA-F]{32}$"));
    const QString text = readSmallTextFile(path);
    if (!form.match(text).hasMatch())
        return {};
    const QByteArray id = QByteArray::fromHex(text.toLatin1());
    if (id.count('\0') == id.size())
        return {};
    return id;
}

QString DeviceInfo::deviceId()
{
    const QString primary = deviceId(QStringLiteral("/etc/machine-id"));
    return primary.isEmpty() ? deviceId(QStringLiteral("/var/lib/dbus/machine-id")) : primary;
}

QString DeviceInfo::deviceId(const QString& machineIdPath)
{
    const QByteArray machineId = readMachineId(machineIdPath);
    if (machineId.isEmpty())
        return {};
    const QByteArray key(applicationKey, sizeof(applicationKey) - 1);
    const QByteArray digest = QMessageAuthenticationCode::hash(key, machineId, QCryptographicHash::Sha256);
    return formatUuid(digest.left(16));
}

QString DeviceInfo::deviceModel()
{
    return deviceModel(QStringLiteral("/sys/class/dmi/id"));
}

QString DeviceInfo::deviceModel(const QString& dmiDirectory)
{
    for (const char* entry : {"product_name", "board_name"}) {
        const QString name = readSmallTextFile(dmiDirectory + u'/' + QLatin1String(entry));
        if (!isPlaceholder(name))
            return name;
    }
    return QStringLiteral("Unknown");
}
