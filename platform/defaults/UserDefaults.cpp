#include "UserDefaults.h"

#include "TaggedValue.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcDefaults, "veltamorine.defaults")

namespace {

const QString snapshotName = QStringLiteral("defaults.json");
const QString journalName = QStringLiteral("defaults.journal");
const QString formatName = QStringLiteral("veltamorine-defaults");

// The journal is folded into a new snapshot once it outgrows both this floor and the last
// snapshot, so the cost of rewriting stays proportional to the writes that caused it.
constexpr qint64 journalFloorBytes = 64 * 1024;

constexpr QFileDevice::Permissions privateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QByteArray line(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

bool saveAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcDefaults) << "cannot write" << path << file.errorString();
        return false;
    }
    file.setPermissions(privateFile);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcDefaults) << "cannot write" << path << file.errorString();
        return false;
    }
    return true;
}

// A damaged file is kept for whoever wants to look at it, under a name that says so.
void moveAside(const QString& path, const QString& why)
{
    const QString target = path + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddThhmmsszzz"));
    if (QFile::rename(path, target))
        qCWarning(lcDefaults).noquote() << "damaged settings file" << path << "(" + why + ") moved to" << target;
    else
        qCWarning(lcDefaults).noquote() << "damaged settings file" << path << "(" + why + ") could not be moved aside";
}

bool boolFromText(const QString& text)
{
    // Like the platform store: "Y", "y", "T", "t" or a non-zero digit after optional sign and zeros.
    QStringView s = QStringView(text).trimmed();
    if (s.isEmpty())
        return false;
    const QChar first = s.front();
    if (first == u'Y' || first == u'y' || first == u'T' || first == u't')
        return true;
    qsizetype i = 0;
    if (s[i] == u'+' || s[i] == u'-')
        ++i;
    while (i < s.size() && s[i] == u'0')
        ++i;
    return i < s.size() && s[i] >= u'1' && s[i] <= u'9';
}

// Truncates toward zero; a finite value beyond the range saturates (converting it would be
// undefined), and NaN or an infinity reads as 0.
qint64 integerFromDouble(double d)
{
    if (!std::isfinite(d))
        return 0;
    // 2^63 is exact as a double; INT64_MAX is not.
    constexpr double limit = 9223372036854775808.0;
    if (d >= limit)
        return std::numeric_limits<qint64>::max();
    if (d <= -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(d);
}

qint64 integerFromText(const QString& text)
{
    QStringView s = QStringView(text).trimmed();
    qsizetype end = 0;
    if (end < s.size() && (s[end] == u'+' || s[end] == u'-'))
        ++end;
    while (end < s.size() && s[end].isDigit())
        ++end;
    bool ok = false;
    const qint64 value = s.left(end).toLongLong(&ok);
    return ok ? value : 0;
}

}

struct UserDefaults::Storage {
    QString folder;
    QMap<QString, QVariant> values;
    qint64 generation = 0;
    qint64 journalBytes = 0;
    qint64 snapshotBytes = 0;
    int journalFd = -1;

    QString snapshotPath() const { return folder + u'/' + snapshotName; }
    QString journalPath() const { return folder + u'/' + journalName; }

    void closeJournal()
    {
        if (journalFd >= 0)
            ::close(journalFd);
        journalFd = -1;
    }

    bool ensureFolder()
    {
        if (!QDir().mkpath(folder)) {
            qCWarning(lcDefaults) << "cannot create" << folder;
            return false;
        }
        ::chmod(QFile::encodeName(folder).constData(), 0700);
        return true;
    }

    bool openJournal()
    {
        journalFd = ::open(QFile::encodeName(journalPath()).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (journalFd < 0) {
            qCWarning(lcDefaults) << "cannot open" << journalPath() << strerror(errno);
            return false;
        }
        ::fchmod(journalFd, 0600);
        return true;
    }

    QByteArray journalHeader() const
    {
        return line(QJsonObject{{QStringLiteral("format"), formatName},
                                {QStringLiteral("generation"), generation}});
    }

    // A fresh journal for the current generation, replacing whatever was there.
    bool startJournal()
    {
        closeJournal();
        const QByteArray header = journalHeader();
        if (!saveAtomically(journalPath(), header))
            return false;
        journalBytes = header.size();
        return openJournal();
    }

    bool ensureJournal()
    {
        if (journalFd >= 0)
            return true;
        if (!ensureFolder())
            return false;
        if (QFile::exists(journalPath()))
            return openJournal();
        return startJournal();
    }

    // Writes every value into a new snapshot, then starts an empty journal. A crash between the
    // two leaves a journal of the previous generation, which the loader knows to ignore.
    bool compact()
    {
        if (!ensureFolder())
            return false;
        QJsonObject entries;
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            entries.insert(it.key(), TaggedValue::encode(it.value()));
        const QByteArray bytes = QJsonDocument(QJsonObject{
                                                   {QStringLiteral("format"), formatName},
                                                   {QStringLiteral("generation"), generation + 1},
                                                   {QStringLiteral("values"), entries},
                                               })
                                     .toJson(QJsonDocument::Compact);
        if (!saveAtomically(snapshotPath(), bytes))
            return false;
        ++generation;
        snapshotBytes = bytes.size();
        return startJournal();
    }

    void append(const QJsonObject& change)
    {
        if (!ensureJournal())
            return;
        const QByteArray bytes = line(change);
        if (!writeAll(journalFd, bytes)) {
            qCWarning(lcDefaults) << "cannot append to" << journalPath() << strerror(errno);
            return;
        }
        journalBytes += bytes.size();
        if (journalBytes > journalFloorBytes && journalBytes > snapshotBytes)
            compact();
    }

    // Reads the snapshot; false when it exists but is damaged (it is then moved aside).
    bool loadSnapshot(bool& exists)
    {
        QFile file(snapshotPath());
        exists = file.exists();
        if (!exists)
            return true;
        if (!file.open(QIODevice::ReadOnly)) {
            qCWarning(lcDefaults) << "cannot read" << snapshotPath() << file.errorString();
            return true;  // unreadable is not damaged: leave it where it is
        }
        const QByteArray bytes = file.readAll();
        file.close();
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
        const QJsonObject root = document.object();
        if (error.error != QJsonParseError::NoError || !document.isObject()
            || root.value(QStringLiteral("format")).toString() != formatName
            || !root.value(QStringLiteral("values")).isObject()) {
            moveAside(snapshotPath(), error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("not a settings snapshot"));
            exists = false;
            return false;
        }
        generation = root.value(QStringLiteral("generation")).toInteger();
        snapshotBytes = bytes.size();
        bool damaged = false;
        const QJsonObject entries = root.value(QStringLiteral("values")).toObject();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (auto value = TaggedValue::decode(it.value()))
                values.insert(it.key(), *value);
            else
                damaged = true;
        }
        if (damaged) {
            qCWarning(lcDefaults) << "unreadable values skipped in" << snapshotPath();
            moveAside(snapshotPath(), QStringLiteral("unreadable values"));
            return false;
        }
        return true;
    }

    bool applyChange(const QByteArray& text)
    {
        const QJsonDocument document = QJsonDocument::fromJson(text);
        const QJsonObject change = document.object();
        const QString op = change.value(QStringLiteral("op")).toString();
        const QJsonValue key = change.value(QStringLiteral("key"));
        if (!document.isObject() || !key.isString())
            return false;
        if (op == u"remove") {
            values.remove(key.toString());
            return true;
        }
        if (op == u"set") {
            auto value = TaggedValue::decode(change.value(QStringLiteral("value")));
            if (!value)
                return false;
            values.insert(key.toString(), *value);
            return true;
        }
        return false;
    }

    // Replays the journal onto the snapshot. Returns whether the files must be rewritten now
    // (damage, a torn last line, or a journal of another generation).
    bool loadJournal(bool snapshotExists)
    {
        QFile file(journalPath());
        if (!file.exists())
            return false;
        if (!file.open(QIODevice::ReadOnly)) {
            qCWarning(lcDefaults) << "cannot read" << journalPath() << file.errorString();
            return false;
        }
        const QByteArray bytes = file.readAll();
        file.close();
        QList<QByteArray> lines = bytes.split('\n');
        // A journal whose last write was cut short ends without a newline: that one change
        // never returned to its writer and is dropped.
        const bool torn = !lines.isEmpty() && !lines.last().isEmpty();
        lines.removeLast();
        if (torn)
            qCWarning(lcDefaults) << "incomplete last change dropped from" << journalPath();

        const QJsonObject header = QJsonDocument::fromJson(lines.value(0)).object();
        if (lines.isEmpty() || header.value(QStringLiteral("format")).toString() != formatName) {
            moveAside(journalPath(), QStringLiteral("no journal header"));
            return true;
        }
        const qint64 journalGeneration = header.value(QStringLiteral("generation")).toInteger();
        if (snapshotExists && journalGeneration != generation)
            return true;  // older than the snapshot, which already holds its changes
        bool damaged = false;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (!applyChange(lines[i]))
                damaged = true;
        }
        if (damaged) {
            moveAside(journalPath(), QStringLiteral("unreadable changes"));
            return true;
        }
        generation = journalGeneration;
        journalBytes = bytes.size();
        return torn;
    }

    void load()
    {
        values.clear();
        generation = 0;
        journalBytes = 0;
        snapshotBytes = 0;
        closeJournal();
        bool snapshotExists = false;
        const bool snapshotSound = loadSnapshot(snapshotExists);
        const bool rewrite = loadJournal(snapshotExists);
        if (!snapshotSound || rewrite)
            compact();
    }
};

UserDefaults& UserDefaults::standard()
{
    static UserDefaults store(defaultFolder());
    return store;
}

void UserDefaults::setStandardFolder(const QString& folder)
{
    UserDefaults& store = standard();
    QMutexLocker lock(&store.mutex_);
    store.resetLocked(folder);
}

QString UserDefaults::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Veltamorine");
}

UserDefaults::UserDefaults(const QString& folder)
    : storage_(new Storage)
{
    QMutexLocker lock(&mutex_);
    resetLocked(folder);
}

UserDefaults::~UserDefaults()
{
    storage_->closeJournal();
    delete storage_;
}

void UserDefaults::resetLocked(const QString& folder)
{
    storage_->folder = QDir::cleanPath(folder);
    loadLocked();
}

void UserDefaults::loadLocked()
{
    storage_->load();
}

QString UserDefaults::folder() const
{
    QMutexLocker lock(&mutex_);
    return storage_->folder;
}

QVariant UserDefaults::objectForKey(const QString& key) const
{
    QMutexLocker lock(&mutex_);
    return storage_->values.value(key);
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::LongLong:
        return v.toLongLong() != 0;
    case QMetaType::Double:
        return v.toDouble() != 0;
    case QMetaType::QString:
        return boolFromText(v.toString());
    default:
        return false;
    }
}

qint64 UserDefaults::integerForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::LongLong:
        return v.toLongLong();
    case QMetaType::Double: {
        return integerFromDouble(v.toDouble());
    }
    case QMetaType::QString:
        return integerFromText(v.toString());
    default:
        return 0;
    }
}

double UserDefaults::doubleForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::LongLong:
    case QMetaType::Double:
        return v.toDouble();
    case QMetaType::QString: {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? d : 0;
    }
    default:
        return 0;
    }
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::LongLong:
        return QString::number(v.toLongLong());
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 17);
    default:
        return std::nullopt;
    }
}

std::optional<QByteArray> UserDefaults::dataForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return v.toByteArray();
}

std::optional<QDateTime> UserDefaults::dateForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() != QMetaType::QDateTime)
        return std::nullopt;
    return v.toDateTime();
}

std::optional<QVariantList> UserDefaults::arrayForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    return v.toList();
}

std::optional<QVariantMap> UserDefaults::dictionaryForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return v.toMap();
}

std::optional<QStringList> UserDefaults::stringArrayForKey(const QString& key) const
{
    const auto array = arrayForKey(key);
    if (!array)
        return std::nullopt;
    QStringList strings;
    for (const QVariant& element : *array) {
        if (element.typeId() != QMetaType::QString)
            return std::nullopt;
        strings.append(element.toString());
    }
    return strings;
}

void UserDefaults::setObject(const QVariant& value, const QString& key)
{
    if (!value.isValid()) {
        removeObjectForKey(key);
        return;
    }
    const auto stored = TaggedValue::normalized(value);
    if (!stored) {
        qCWarning(lcDefaults) << "value of type" << value.typeName() << "cannot be stored under" << key;
        return;
    }
    QMutexLocker lock(&mutex_);
    storage_->values.insert(key, *stored);
    storage_->append(QJsonObject{{QStringLiteral("op"), QStringLiteral("set")},
                                 {QStringLiteral("key"), key},
                                 {QStringLiteral("value"), TaggedValue::encode(*stored)}});
}

void UserDefaults::removeObjectForKey(const QString& key)
{
    QMutexLocker lock(&mutex_);
    if (!storage_->values.contains(key))
        return;
    storage_->values.remove(key);
    storage_->append(QJsonObject{{QStringLiteral("op"), QStringLiteral("remove")}, {QStringLiteral("key"), key}});
}

QStringList UserDefaults::keysWithPrefix(const QString& prefix) const
{
    QMutexLocker lock(&mutex_);
    QStringList keys;
    for (auto it = storage_->values.lowerBound(prefix); it != storage_->values.cend() && it.key().startsWith(prefix); ++it)
        keys.append(it.key());
    return keys;
}

QVariantMap UserDefaults::dictionaryRepresentation() const
{
    QMutexLocker lock(&mutex_);
    return storage_->values;
}
