#pragma once

#include <QString>

#include <functional>

// What the launcher asks of the desktop session: whether a program runs (its session-bus name
// has an owner), taking its own name, starting a program, and ending itself. Tests replace the
// parts they need to watch.
struct Workspace {
    std::function<bool(const QString& bundleIdentifier)> isRunning;
    // True once this process owns the name of `bundleIdentifier`.
    std::function<bool(const QString& bundleIdentifier)> claim;
    // Starts the program at `path` on its own, without a shell and without arguments.
    std::function<bool(const QString& path)> launchApplication;
    // Ends the launcher once control is back in the event loop.
    std::function<void()> terminate;

    // The session bus and real processes.
    static Workspace shared();
};
