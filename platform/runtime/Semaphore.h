#pragma once

#include <QSemaphore>

// A counting semaphore with the wait/signal vocabulary of the set-up code that needs one.
// Never wait on it from the main thread.
class Semaphore {
public:
    explicit Semaphore(int value = 0) : semaphore_(value) {}

    void signal() { semaphore_.release(); }
    void wait() { semaphore_.acquire(); }
    // Returns false when the timeout passed first.
    bool wait(int timeoutMs) { return semaphore_.tryAcquire(1, timeoutMs); }

private:
    QSemaphore semaphore_;
};
