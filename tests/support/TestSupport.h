#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>

class QProcess;

namespace TestSupport {

// Spins the main event loop until `done` holds or `timeoutMs` passes; returns whether it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Spins the main event loop for `ms` milliseconds (queued calls, replies).
void processEvents(int ms = 0);

// Waits until `path` exists while reading from `process` (so a chatty child never blocks on a
// full pipe); returns whether it appeared within `timeoutMs`.
bool waitForFile(QProcess& process, const QString& path, int timeoutMs = 5000);

// Path of a program built next to the tests (helpers, fixtures) by target name.
QString builtProgram(const QString& relativePath);

}
