#pragma once

#include "KeychainBackend.h"
#include "MemoryKeychainBackend.h"
#include "NotificationCenter.h"
#include "UserDefaults.h"

#include <QObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Gives each test a fresh standard user-defaults store and an in-memory keyring, and records
// the notifications it asks for.
class SettingsTestStores : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::shared_ptr<MemoryKeychainBackend> keyring = std::make_shared<MemoryKeychainBackend>();
    QObject observerOwner;
    QList<Notification> posted;

    void SetUp() override
    {
        UserDefaults::setStandardFolder(dir.path());
        KeychainBackend::setCurrent(keyring);
    }

    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(&observerOwner);
        KeychainBackend::setCurrent(nullptr);
    }

    UserDefaults& defaults() { return UserDefaults::standard(); }

    void record(const QString& name)
    {
        NotificationCenter::defaultCenter().addObserver(name, &observerOwner,
                                                        [this](const Notification& n) { posted.append(n); });
    }
};
