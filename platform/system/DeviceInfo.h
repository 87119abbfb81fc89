#pragma once

#include <QString>

// Facts about this machine that the backend learns with every request. Both readers fail soft:
// a missing or unreadable source gives an empty identifier or the model "Unknown", never a stop.
class DeviceInfo {
public:
    // A stable identifier of this machine for this application, as an upper-case UUID
    // (8-4-4-4-12). It is derived from the systemd machine id with a keyed hash, so the raw
    // machine id (which must not leave the machine) is never sent. Empty when no machine id
    // can be read.
    static QString deviceId();
    static QString deviceId(const QString& machineIdPath);

    // The hardware model as the firmware names it (DMI product name, then board name);
    // "Unknown" when neither can be read.
    static QString deviceModel();
    static QString deviceModel(const QString& dmiDirectory);

    // The 128-bit machine id in the file at `path` (32 hexadecimal digits), or empty.
    static QByteArray readMachineId(const QString& path);
};
