#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <optional>

// The application's build configuration: the information dictionary compiled in from
// resources/Info.json. When the environment variable VELTAMORINE_INFO names a JSON file, its
// entries replace the compiled ones (tests, stand-in service hosts, a test certificate).
class Bundle {
public:
    static constexpr const char* infoResource = ":/veltamorine/Info.json";
    static constexpr const char* overlayVariable = "VELTAMORINE_INFO";

    // The application's own bundle, read once.
    static const Bundle& main();
    // Installs `bundle` as the main one (nullptr restores the real one). Not owned.
    static void setMain(const Bundle* bundle);

    explicit Bundle(QJsonObject info = {});
    // The dictionary of `infoPath` with the entries of the JSON file `overlayPath` (if any) on top.
    static Bundle load(const QString& infoPath, const QString& overlayPath = {});

    const QJsonObject& infoDictionary() const { return info_; }

    // The string value of an entry the build always provides.
    QString infoString(const QString& key) const;

    QString firebaseAppName() const;
    QString versionString() const;  // "3.0 (117)": short version and build number
    QString shortVersion() const;
    QString releaseCode() const;  // "PRODUCTION" unless the entry is present and a string
    QString buildDistribution() const;
    QString buildEnvironment() const;
    int dataStoreVersion() const;
    QString applicationBundleIdentifier() const;
    QString launcherBundleIdentifier() const;
    QString packetTunnelIdentifier() const;
    QString wireguardPacketTunnelIdentifier() const;
    QString packetTunnelGroup() const;
    // The per-application data folder (XDG data home + the bundle identifier); not created here.
    QString applicationSupportDirectory() const;

private:
    QJsonObject info_;
};

// Whole weeks between `date` and now (the main scheduler's clock unless `now` is given),
// counted in the local calendar and never negative: 36 days either way give 5.
int weeksUntilNow(const QDateTime& date, std::optional<QDateTime> now = std::nullopt);
