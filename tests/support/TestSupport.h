#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace TestSupport {

// Spins the main event loop until `done` holds or `timeoutMs` passes; returns whether it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Spins the main event loop for `ms` milliseconds (queued calls, replies).
void processEvents(int ms = 0);

// Path of a program built next to the tests (helpers, fixtures) by target name.
QString builtProgram(const QString& relativePath);

}
