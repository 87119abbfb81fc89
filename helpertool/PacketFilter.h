#pragma once

#include "ToolRunner.h"

#include <QString>
#include <QStringList>
#include <expected>
#include <optional>

// The kill switch on nftables: the client's rules live in one table of ours, loaded as one
// transaction (the old table goes in the same step, so there is no moment without rules) and
// removed by deleting that table, which also recovers from any rules the client got wrong.
class PacketFilter {
public:
    struct Config {
        // Each tool is its program plus leading arguments (tests prefix "ip netns exec").
        QStringList nft { QStringLiteral("/usr/sbin/nft") };
        QStringList systemctl { QStringLiteral("/usr/bin/systemctl") };
        QString rulesFolder = QStringLiteral("/etc/veltamorine");
        int toolTimeoutSeconds = 60;
    };

    static inline const QString tableFamily = QStringLiteral("inet");
    static inline const QString tableName = QStringLiteral("veltamorine_killswitch");

    explicit PacketFilter(Config config);

    const Config& config() const { return config_; }
    // "com.iks.rules." and the daemon's bundle identifier, in the rules folder.
    QString rulesFile() const;

    // Writes the client's rules text (the body of our table) atomically, UTF-8, mode 0600.
    std::expected<void, QString> writeFirewallRules(const QString& rules) const;
    // The transaction that replaces our table with one holding `rules`.
    static QByteArray loadTransaction(const QString& rules);
    static QByteArray removeTransaction();

    ToolRunner::Result load(const QString& rules) const;  // nft -f -
    ToolRunner::Result remove() const;                    // nft -f -, deletes the table if present
    // nft list table: status 0 while the table is loaded, its text as output.
    ToolRunner::Result list(const ToolRunner::OutputHandler& onOutput = {}) const;
    // Stops the daemon's socket and service units; --no-block so the reply still goes out.
    ToolRunner::Result stopUnits() const;

    // The address in the form nft prints it, or nullopt when the text is not one IPv4 or IPv6
    // address.
    static std::optional<QString> canonicalAddress(const QString& text);
    // Whether `address` (canonical) occurs in `rules` as a whole address, not inside a longer one.
    static bool containsAddress(const QString& rules, const QString& address);

private:
    QStringList tool(const QStringList& base, const QStringList& arguments) const;

    Config config_;
    ToolRunner runner_;
};
