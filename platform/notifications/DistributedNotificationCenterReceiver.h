#pragma once

#include "DistributedNotificationCenter.h"

#include <QObject>

// Lives on the main thread so that the bus delivers the signal there.
class DistributedNotificationCenter::Receiver : public QObject {
    Q_OBJECT
public:
    explicit Receiver(NotificationCenter& observers) : observers(observers) {}

public slots:
    void posted(const QString& name, const QString& object) { observers.post(name, object); }

private:
    NotificationCenter& observers;
};
