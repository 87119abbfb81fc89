#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

// The user-defaults store: named values that keep their type (bool, integer, double, string,
// data, date, array, dictionary), shared by the whole process and safe to use from any thread.
//
// On disk a folder holds a type-tagged JSON snapshot ("defaults.json") and a journal
// ("defaults.journal") with one line per change since that snapshot. Every write appends its
// line before it returns, so a process that dies at any moment loses at most the write in
// progress; when the journal has grown, the snapshot is rewritten atomically and the journal
// starts over. Both files are private to the user (mode 0600).
class UserDefaults {
public:
    // The process-wide store, under $XDG_CONFIG_HOME/Veltamorine/ unless a test moved it.
    static UserDefaults& standard();
    // Points the process-wide store at `folder` and loads what is there (tests give each case a
    // fresh folder). Keeps the same object, so references held elsewhere stay valid.
    static void setStandardFolder(const QString& folder);
    static QString defaultFolder();

    // A store of its own over `folder`; the files are created on the first write.
    explicit UserDefaults(const QString& folder);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    QString folder() const;

    // The stored value as written (integers read back as qlonglong, dates in UTC); invalid when absent.
    QVariant objectForKey(const QString& key) const;
    bool hasObject(const QString& key) const { return objectForKey(key).isValid(); }

    // Typed readers. The scalar ones convert like the platform store: numbers and the texts
    // "true"/"yes"/numbers become booleans and numbers; absent gives false or 0.
    bool boolForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    // A string, or a number's text; anything else is absent.
    std::optional<QString> stringForKey(const QString& key) const;
    // These give a value only when the stored one has that exact kind.
    std::optional<QByteArray> dataForKey(const QString& key) const;
    std::optional<QDateTime> dateForKey(const QString& key) const;
    std::optional<QVariantList> arrayForKey(const QString& key) const;
    std::optional<QVariantMap> dictionaryForKey(const QString& key) const;
    // An array whose every element is a string; anything else is absent.
    std::optional<QStringList> stringArrayForKey(const QString& key) const;

    // Stores `value` under `key`; an invalid QVariant removes the key. Values of a kind the
    // store cannot keep are refused with a warning and change nothing.
    void setObject(const QVariant& value, const QString& key);
    void setBool(bool value, const QString& key) { setObject(value, key); }
    void setInteger(qint64 value, const QString& key) { setObject(QVariant::fromValue(value), key); }
    void setDouble(double value, const QString& key) { setObject(value, key); }
    void setString(const QString& value, const QString& key) { setObject(value, key); }
    void setData(const QByteArray& value, const QString& key) { setObject(value, key); }
    void setDate(const QDateTime& value, const QString& key) { setObject(value, key); }
    void removeObjectForKey(const QString& key);

    QStringList keysWithPrefix(const QString& prefix) const;
    QVariantMap dictionaryRepresentation() const;

private:
    struct Storage;

    void loadLocked();
    void resetLocked(const QString& folder);

    mutable QMutex mutex_;
    Storage* storage_;
};
