#pragma once

#include <QString>
#include <functional>
#include <memory>

class QThread;
class QObject;

// A named queue that runs work one piece at a time, in order, on its own worker thread.
class SerialQueue {
public:
    explicit SerialQueue(const QString& name);
    ~SerialQueue();  // finishes the work already queued, then stops the thread
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    QString name() const { return name_; }
    void async(std::function<void()> work);
    // Runs `work` on the queue and waits for it; runs at once when called from the queue itself.
    void sync(const std::function<void()>& work);
    bool isCurrent() const;

private:
    QString name_;
    QThread* thread_;
    QObject* context_;
};
