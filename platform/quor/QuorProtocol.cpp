#include "QuorProtocol.h"

#include "JsonFields.h"

namespace {

struct Word {
    const char* word;
    const char* name;
};

// Preference order for automatic choice: fastest first.
constexpr Word kWords[] = {
    {"WireGuard", "WireGuard"},
    {"IKEV", "IKEv2"},
    {"UDP", "OpenVPN-UDP"},
    {"TCP", "OpenVPN-TCP"},
    {"IPSEC", "IPSec"},
};

}

std::optional<QString> QuorProtocol::name() const
{
    if (!protocol)
        return std::nullopt;
    for (const Word& w : kWords) {
        if (*protocol == QLatin1String(w.word))
            return QString::fromLatin1(w.name);
    }
    return std::nullopt;
}

QStringList QuorProtocol::knownWords()
{
    QStringList words;
    for (const Word& w : kWords)
        words.append(QString::fromLatin1(w.word));
    return words;
}

bool QuorProtocol::isKnownWord(const QString& word)
{
    return knownWords().contains(word);
}

std::optional<QuorProtocol> QuorProtocol::fromJson(const QJsonObject& object)
{
    QuorProtocol p;
    if (!JsonFields::optionalString(object, QLatin1StringView("protocol"), p.protocol))
        return std::nullopt;
    return p;
}

QJsonObject QuorProtocol::toJson() const
{
    QJsonObject o;
    JsonFields::putString(o, QLatin1StringView("protocol"), protocol);
    return o;
}
