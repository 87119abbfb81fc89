#pragma once

#include <QDateTime>
#include <QtGlobal>
#include <functional>

// Every delay of the application goes through a Scheduler, so tests can run timers on a
// virtual clock. Work always runs on the main thread.
class Scheduler {
public:
    using Token = quint64;

    virtual ~Scheduler() = default;

    // Runs `work` once after `seconds` (0 or less: on the next turn of the loop).
    virtual Token schedule(double seconds, std::function<void()> work) = 0;
    // Forgets scheduled work; unknown or finished tokens are ignored.
    virtual void cancel(Token token) = 0;
    virtual QDateTime now() const = 0;

    // The process-wide scheduler: a real one unless a test installs its own.
    static Scheduler& main();
    // Installs `scheduler` as the main one (nullptr restores the real one). Not owned.
    static void setMain(Scheduler* scheduler);
};
