#include "QuorEngine.h"

#include "QuorError.h"
#include "QuorLatencyProbe.h"
#include "QuorLog.h"
#include "QuorSmartConnectTag.h"
#include "QuorVPNState.h"
#include "Scheduler.h"

#include <QHostAddress>
#include <algorithm>

namespace {

constexpr int kDisconnected = toRaw(QuorVPNState::Disconnected);
constexpr int kConnecting = toRaw(QuorVPNState::Connecting);
constexpr int kConnected = toRaw(QuorVPNState::Connected);
constexpr int kReasserting = toRaw(QuorVPNState::Reasserting);
constexpr int kDisconnecting = toRaw(QuorVPNState::Disconnecting);
constexpr int kFindingServer = toRaw(QuorVPNState::FindingServer);

QStringList wordsOf(const QuorInventory::Site& site)
{
    QStringList words;
    for (const QuorProtocol& p : site.protocols)
        words.append(p.protocol.value_or(QString()));
    return words;
}

QList<QuorDatacenters> dataCentersOf(const QList<QuorInventory::Site>& sites)
{
    QList<QuorDatacenters> centers;
    for (const QuorInventory::Site& site : sites)
        centers.append(site.dataCenter);
    return centers;
}

// Probes each data centre (an unreachable one reads 0) and returns the lowest latency that
// answered, 0 when none did.
qint64 measureDataCenters(QList<QuorDatacenters>& centers, const QuorFaults& faults)
{
    qint64 best = 0;
    for (QuorDatacenters& dc : centers) {
        dc.latency = faults.isServerUnreachable(dc.nasIdentifier.value_or(QString()), dc.hostname.value_or(QString()))
            ? 0 : QuorLatencyProbe::latencyOfDataCenter(dc.dataCenterId);
        if (dc.latency > 0 && (best == 0 || dc.latency < best))
            best = dc.latency;
    }
    return best;
}

bool isBusy(int status)
{
    return status == kFindingServer || status == kConnecting || status == kReasserting || status == kDisconnecting;
}

}

// One connect request's two blocks; whichever is used first wins, so a request is answered once.
struct QuorEngine::Answer {
    QuorManagerProtocol::ConnectCompletion completion;
    QuorManagerProtocol::ErrorBlock errorBlock;
    std::atomic<bool> answered = false;

    bool claim() { return !answered.exchange(true); }
};

QuorEngine::QuorEngine(const QuorEnvironment& environment, Output& output, std::function<QuorEngineSettings()> settings)
    : environment_(environment), scheduler_(environment.schedulerOrMain()), output_(output),
      settings_(std::move(settings)), store_(environment), step_(scheduler_), locationTimer_(scheduler_),
      packets_(scheduler_), dropTimer_(scheduler_), browseTimer_(scheduler_)
{
}

QuorEngine::~QuorEngine() = default;

int QuorEngine::status() const
{
    QMutexLocker lock(&mutex_);
    return status_;
}

std::optional<QDateTime> QuorEngine::connectedTime() const
{
    QMutexLocker lock(&mutex_);
    return connectedAt_;
}

std::optional<QuorConnectionDetails> QuorEngine::currentDetails() const
{
    QMutexLocker lock(&mutex_);
    return published_;
}

void QuorEngine::initialize()
{
    store_.refresh([this] { output_.toDelegate([](QuorManagerDelegate& d) { d.quorManagerDidInitialized(); }); });
}

QuorFaults QuorEngine::faults() const
{
    return injected_.mergedWith(store_.current()->simulation);
}

void QuorEngine::later(double seconds, std::function<void()> work)
{
    scheduler_.schedule(seconds, [weak = weak_from_this(), work = std::move(work)] {
        if (weak.lock())
            work();
    });
}

void QuorEngine::fail(const std::shared_ptr<Answer>& answer, int code)
{
    if (!answer || !answer->claim())
        return;
    output_.deliver([answer, code] {
        if (answer->errorBlock)
            answer->errorBlock(QuorError::make(code));
    });
}

// --- connect --------------------------------------------------------------------------------

void QuorEngine::connect(const QuorProperties& properties, QuorManagerProtocol::ConnectCompletion completion,
                         QuorManagerProtocol::ErrorBlock errorBlock)
{
    auto answer = std::make_shared<Answer>();
    answer->completion = std::move(completion);
    answer->errorBlock = std::move(errorBlock);

    if (injected_.connectErrorCode) {
        const int code = *std::exchange(injected_.connectErrorCode, std::nullopt);
        return fail(answer, code);
    }
    if (const auto code = store_.current()->simulation.connectErrorCode)
        return fail(answer, *code);

    const QuorEngineSettings settings = settings_();
    if (!settings.credential || !settings.credential->isComplete())
        return fail(answer, QuorError::MissingCredentials);
    const int now = status();
    if (isBusy(now))
        return fail(answer, QuorError::ConnectionInProgress);

    std::expected<Attempt, int> attempt = plan(properties, settings);
    if (!attempt)
        return fail(answer, attempt.error());

    if (now == kConnected && current_) {
        const Candidate& up = current_->candidate();
        const Candidate& wanted = attempt->candidate();
        if (up.nasIdentifier == wanted.nasIdentifier && up.protocolWord == wanted.protocolWord)
            return fail(answer, QuorError::AlreadyConnected);
        finishDisconnect(false, false, 2);
    }
    lastProperties_ = properties;
    begin(std::move(*attempt), answer);
}

std::optional<QString> QuorEngine::chooseProtocol(const QuorProperties& properties, const QStringList& supported,
                                                  const QStringList& excluded) const
{
    const auto usable = [&](const QString& word) {
        return QuorProtocol::isKnownWord(word) && supported.contains(word) && !excluded.contains(word);
    };
    if (properties.useLastSuccessfulDialedProtocol) {
        if (lastSuccessfulProtocol_ && usable(*lastSuccessfulProtocol_))
            return lastSuccessfulProtocol_;
    } else {
        for (const auto& p : {properties.protocol, properties.secondaryProtocol, properties.tertiaryProtocol}) {
            if (p && p->protocol && usable(*p->protocol))
                return p->protocol;
        }
        if (properties.protocol && !properties.enableProtocolSwitch)
            return std::nullopt;
    }
    for (const QString& word : QuorProtocol::knownWords()) {
        if (usable(word))
            return word;
    }
    return std::nullopt;
}

std::expected<QuorEngine::Attempt, int> QuorEngine::plan(const QuorProperties& properties,
                                                         const QuorEngineSettings& settings) const
{
    const std::shared_ptr<const QuorInventory> inventory = store_.current();
    const QuorFaults f = faults();
    Attempt attempt;
    attempt.properties = properties;

    if (properties.target == QuorProperties::Target::DedicatedHosts) {
        attempt.method = QStringLiteral("DedicatedIP");
        for (const QuorMultipleDNS& host : properties.multipleDedicatedHost) {
            const QString word = host.protocol.protocol.value_or(QString());
            if (host.dedicatedHostName.isEmpty() || !QuorProtocol::isKnownWord(word)
                || settings.excludedProtocolWords.contains(word))
                continue;
            Candidate c;
            c.hostname = host.dedicatedHostName;
            c.ip = resolveHost(host.dedicatedHostName);
            c.nasIdentifier = QStringLiteral("dip-") + host.dedicatedHostName;
            c.protocolWord = word;
            c.latency = QuorLatencyProbe::latencyOfHost(host.dedicatedHostName);
            attempt.candidates.append(c);
        }
        if (properties.multipleDedicatedHost.isEmpty())
            return std::unexpected(int(QuorError::LocationNotFound));
        if (attempt.candidates.isEmpty())
            return std::unexpected(int(QuorError::ProtocolNotAvailable));
        return attempt;
    }

    QList<QuorInventory::Site> sites;
    switch (properties.target) {
    case QuorProperties::Target::Country:
        if (properties.country) {
            sites = inventory->sitesOfCountry(properties.country->country.value_or(QString()));
            if (sites.isEmpty() && properties.country->iso_code)
                sites = inventory->sitesOfCountry(*properties.country->iso_code);
        }
        attempt.method = QStringLiteral("Country");
        break;
    case QuorProperties::Target::City:
        if (properties.city)
            sites = inventory->sitesOfCity(properties.city->cityId);
        attempt.method = QStringLiteral("City");
        break;
    case QuorProperties::Target::SmartConnect:
        if (const QuorCity* city = inventory->recommendedCity(); city && city->country)
            sites = inventory->sitesOfCountry(*city->country);
        attempt.method = QStringLiteral("SmartConnect");
        break;
    default:
        break;
    }
    if (sites.isEmpty())
        return std::unexpected(int(QuorError::LocationNotFound));

    std::optional<QString> word = chooseProtocol(properties, wordsOf(sites.first()), settings.excludedProtocolWords);
    if (!word && properties.target == QuorProperties::Target::SmartConnect) {
        // Quick connect is not tied to one country: take the servers anywhere that offer it.
        QList<QuorInventory::Site> everywhere;
        for (const QuorInventory::Site& s : inventory->allSites()) {
            const std::optional<QString> w = chooseProtocol(properties, wordsOf(s), settings.excludedProtocolWords);
            if (w && !word)
                word = w;
            if (w && w == word)
                everywhere.append(s);
        }
        sites = everywhere;
    }
    if (!word)
        return std::unexpected(int(QuorError::ProtocolNotAvailable));

    // Server filters: keep only the included servers, then drop the excluded ones, as long
    // as something is left to connect to.
    QStringList include, exclude;
    for (const ServerFilter& filter : properties.serverFilters)
        (filter.filter == ServerFilter::Include ? include : exclude).append(filter.nasIdentifier);
    if (!include.isEmpty()) {
        QList<QuorInventory::Site> kept;
        for (const auto& s : sites)
            if (include.contains(s.dataCenter.nasIdentifier.value_or(QString())))
                kept.append(s);
        if (!kept.isEmpty()) {
            sites = kept;
            attempt.filtered = true;
        }
    }
    if (!exclude.isEmpty()) {
        QList<QuorInventory::Site> kept;
        for (const auto& s : sites)
            if (!exclude.contains(s.dataCenter.nasIdentifier.value_or(QString())))
                kept.append(s);
        if (!kept.isEmpty() && kept.size() < sites.size()) {
            sites = kept;
            attempt.filtered = true;
        }
    }

    for (const QuorInventory::Site& s : sites) {
        Candidate c;
        c.nasIdentifier = s.dataCenter.nasIdentifier.value_or(QString());
        c.hostname = s.dataCenter.hostname.value_or(QString());
        c.ip = s.dataCenter.ip.value_or(QString());
        c.protocolWord = *word;
        c.city = s.city;
        c.countryCode = s.countryCode;
        c.countryName = s.countryName;
        c.latency = f.isServerUnreachable(c.nasIdentifier, c.hostname) ? 0 : QuorLatencyProbe::latencyOfDataCenter(s.dataCenter.dataCenterId);
        attempt.candidates.append(c);
    }
    // Fastest first; servers that did not answer the probe last.
    std::stable_sort(attempt.candidates.begin(), attempt.candidates.end(), [](const Candidate& a, const Candidate& b) {
        if ((a.latency == 0) != (b.latency == 0))
            return b.latency == 0;
        return a.latency < b.latency;
    });

    QVariantList servers;
    for (int i = 0; i < std::min<qsizetype>(3, attempt.candidates.size()); ++i) {
        const Candidate& c = attempt.candidates.at(i);
        servers.append(QVariantMap{{QStringLiteral("nas_identifier"), c.nasIdentifier},
                                   {QStringLiteral("hostname"), c.hostname},
                                   {QStringLiteral("latency"), c.latency}});
    }
    attempt.speedTest = QVariantMap{{QStringLiteral("body"), QVariantMap{{QStringLiteral("servers"), servers}}}};
    return attempt;
}

QString QuorEngine::resolveHost(const QString& host) const
{
    QHostAddress literal;
    if (literal.setAddress(host))
        return literal.toString();
    for (const QuorInventory::Site& s : store_.current()->allSites()) {
        if (s.dataCenter.hostname == host)
            return s.dataCenter.ip.value_or(QString());
    }
    const quint64 h = QuorLatencyProbe::hashText(host.toLower());
    return QStringLiteral("198.19.%1.%2").arg(h % 250).arg((h >> 8) % 250 + 1);
}

void QuorEngine::begin(Attempt attempt, std::shared_ptr<Answer> answer)
{
    stopTimers();
    attempt.requestedAt = scheduler_.now();
    attempt.sessionId = QStringLiteral("session-%1").arg(++sessions_);
    current_ = std::move(attempt);
    setStatus(kFindingServer);
    publish();
    output_.toDelegate([d = details()](QuorManagerDelegate& delegate) { delegate.quorManagerDidConnecting(d); });
    if (answer && answer->claim()) {
        output_.deliver([answer, session = current_->sessionId] {
            if (answer->completion)
                answer->completion(session);
        });
    }
    step_.start(environment_.timings.findServer, false, [this] { serverFound(); });
}

void QuorEngine::serverFound()
{
    current_->timeToFind = secondsSince(current_->requestedAt);
    setStatus(kConnecting);
    publish();
    step_.start(environment_.timings.dial, false, [this] { dial(); });
}

void QuorEngine::dial()
{
    ++current_->dialAttempts;
    const QuorFaults f = faults();
    const QuorEngineSettings settings = settings_();
    if (settings.credential && f.rejects(settings.credential->username))
        return dialFailed(QuorError::AuthenticationFailed);
    const Candidate& c = current_->candidate();
    if (f.isServerUnreachable(c.nasIdentifier, c.hostname)) {
        if (current_->dialAttempts >= environment_.timings.maxDialAttempts)
            return dialFailed(QuorError::ServerUnreachable);
        if (current_->candidateIndex + 1 < current_->candidates.size())
            ++current_->candidateIndex;
        publish();
        output_.toDelegate([d = details()](QuorManagerDelegate& delegate) {
            delegate.quorManagerOnRedialing(d, QuorError::make(QuorError::ServerUnreachable));
        });
        step_.start(environment_.timings.redialInterval, false, [this] { dial(); });
        return;
    }
    established();
}

void QuorEngine::dialFailed(int code)
{
    stopTimers();
    const QuorConnectionDetails d = details();
    current_.reset();
    setStatus(kDisconnected);
    publish();
    output_.toDelegate([d, code](QuorManagerDelegate& delegate) {
        delegate.quorManagerDialErrorReceived(QuorError::make(code), d);
    });
}

void QuorEngine::established()
{
    current_->timeToConnect = secondsSince(current_->requestedAt);
    lastSuccessfulProtocol_ = current_->candidate().protocolWord;
    {
        QMutexLocker lock(&mutex_);
        connectedAt_ = scheduler_.now();
    }
    bytesIn_ = bytesOut_ = 0;
    setStatus(kConnected);
    publish();
    output_.toDelegate([d = details()](QuorManagerDelegate& delegate) { delegate.quorManagerDidConnect(d); });
    locationTimer_.start(environment_.timings.connectedLocation, false, [this] {
        output_.toDelegate([l = location()](QuorManagerDelegate& delegate) {
            delegate.quorManagerDidReceivedConnectedLocation(l, std::nullopt);
        });
    });
    packets_.start(environment_.timings.packetInterval, true, [this] { tick(); });

    const QuorFaults f = faults();
    if (f.disconnectAfterSeconds)
        dropTimer_.start(*f.disconnectAfterSeconds, false, [this] { lose(); });
    else if (f.dropAfterSeconds && !current_->dropped)
        dropTimer_.start(*f.dropAfterSeconds, false, [this] { drop(); });
    if (f.unableToBrowseAfterSeconds)
        browseTimer_.start(*f.unableToBrowseAfterSeconds, false, [this] { reportUnableToBrowse(); });
}

void QuorEngine::tick()
{
    ++ticks_;
    bytesIn_ += 48000 + QuorLatencyProbe::mix(ticks_) % 32000;
    bytesOut_ += 9000 + QuorLatencyProbe::mix(ticks_ + 7) % 6000;
    output_.packetsTransmitted(bytesIn_, bytesOut_);
}

void QuorEngine::drop()
{
    stopTimers();
    current_->dropped = true;
    {
        QMutexLocker lock(&mutex_);
        connectedAt_.reset();
    }
    setStatus(kReasserting);
    publish();
    output_.toDelegate([d = details()](QuorManagerDelegate& delegate) {
        delegate.quorManagerOnRedialing(d, QuorError::make(QuorError::ConnectionLost));
    });
    step_.start(environment_.timings.redialInterval, false, [this] {
        ++current_->dialAttempts;
        established();
    });
}

void QuorEngine::lose()
{
    finishDisconnect(false, false, 0);
}

void QuorEngine::reportUnableToBrowse()
{
    if (!settings_().doCheckInternetConnectivity)
        return;
    output_.toDelegate([d = details()](QuorManagerDelegate& delegate) { delegate.quorManagerOnUnableToAccessInternet(d); });
}

// --- disconnect, cancel, reconnect ------------------------------------------------------------

void QuorEngine::disconnect()
{
    const int now = status();
    if (now == kFindingServer || now == kConnecting)
        return cancel();
    if (now != kConnected && now != kReasserting)
        return;
    stopTimers();
    setStatus(kDisconnecting);
    publish();
    step_.start(environment_.timings.disconnect, false, [this] { finishDisconnect(false, true, 1); });
}

void QuorEngine::cancel()
{
    const int now = status();
    if (now == kConnected)
        return disconnect();
    if (now != kFindingServer && now != kConnecting && now != kReasserting)
        return;
    stopTimers();
    setStatus(kDisconnecting);
    publish();
    step_.start(environment_.timings.cancel, false, [this] { finishDisconnect(true, true, 1); });
}

void QuorEngine::finishDisconnect(bool cancelled, bool manual, int type)
{
    stopTimers();
    QuorConnectionDetails d = details();
    d.isCancelled = cancelled;
    d.isDisconnectedManually = manual;
    d.disconnectionType = type;
    current_.reset();
    {
        QMutexLocker lock(&mutex_);
        connectedAt_.reset();
    }
    setStatus(kDisconnected);
    publish();
    output_.toDelegate([d](QuorManagerDelegate& delegate) { delegate.quorManagerDidDisconnect(d); });
}

void QuorEngine::reconnect()
{
    const int now = status();
    if (!lastProperties_ || isBusy(now))
        return;
    const QuorEngineSettings settings = settings_();
    if (!settings.credential || !settings.credential->isComplete()) {
        output_.toDelegate([](QuorManagerDelegate& delegate) {
            delegate.quorManagerDialErrorReceived(QuorError::make(QuorError::MissingCredentials), std::nullopt);
        });
        return;
    }
    std::expected<Attempt, int> attempt = plan(*lastProperties_, settings);
    if (!attempt) {
        output_.toDelegate([code = attempt.error()](QuorManagerDelegate& delegate) {
            delegate.quorManagerDialErrorReceived(QuorError::make(code), std::nullopt);
        });
        return;
    }
    if (now == kConnected)
        finishDisconnect(false, false, 2);
    begin(std::move(*attempt), nullptr);
}

void QuorEngine::stopTimers()
{
    step_.stop();
    locationTimer_.stop();
    packets_.stop();
    dropTimer_.stop();
    browseTimer_.stop();
}

// --- state ------------------------------------------------------------------------------------

void QuorEngine::setStatus(int status)
{
    {
        QMutexLocker lock(&mutex_);
        if (status_ == status)
            return;
        status_ = status;
    }
    output_.stateChanged(status);
}

void QuorEngine::publish()
{
    std::optional<QuorConnectionDetails> d;
    if (current_)
        d = details();
    QMutexLocker lock(&mutex_);
    if (d)
        published_ = d;
}

double QuorEngine::secondsSince(const QDateTime& t) const
{
    return t.isValid() ? t.msecsTo(scheduler_.now()) / 1000.0 : 0;
}

QuorConnectionDetails QuorEngine::details() const
{
    QuorConnectionDetails d;
    if (!current_)
        return d;
    const Attempt& a = *current_;
    const Candidate& c = a.candidate();
    d.city = c.city;
    if (!c.countryName.isEmpty())
        d.country = c.countryName;
    d.serverIp = c.ip;
    d.serverAddress = c.hostname;
    d.protocol = QuorProtocol(c.protocolWord);
    d.nasIdentifier = c.nasIdentifier;
    d.timeTakenToConnectServer = a.timeToConnect;
    d.timeTakenToFindFastestServer = a.timeToFind;
    d.isFiltered = a.filtered;
    d.connectionAttempts = std::max(1, a.dialAttempts);
    d.connectionMethod = a.method;
    d.sessionId = a.sessionId;
    d.timeElapsedSinceConnect = secondsSince(a.requestedAt);
    d.fastestServerFindingMethod = a.speedTest ? QStringLiteral("latency") : QStringLiteral("none");
    d.fastestServerFindingApiResponse = a.speedTest;
    d.isDialedWithQuantumResistantServer = a.properties.tags.contains(toRaw(QuorSmartConnectTag::QuantumResistant));
    d.IsDialedWithOVPNObfuscatedServer = a.properties.tags.contains(toRaw(QuorSmartConnectTag::Obfuscated))
        && (c.protocolWord == QLatin1String("TCP") || c.protocolWord == QLatin1String("UDP"));
    return d;
}

QuorLocation QuorEngine::location() const
{
    QuorLocation l;
    if (!current_)
        return l;
    const Candidate& c = current_->candidate();
    l.ip = c.ip;
    l.city = c.city;
    if (!c.countryCode.isEmpty()) {
        QuorCountry country;
        country.country = c.countryCode;
        country.iso_code = c.countryCode;
        country.name = c.countryName;
        l.country = country;
    }
    l.server = QuorLocation::Server{c.nasIdentifier, c.hostname, c.ip};
    return l;
}

// --- queries ----------------------------------------------------------------------------------

void QuorEngine::connectedLocation(QuorManagerProtocol::LocationBlock success, QuorManagerProtocol::ErrorBlock errorBlock)
{
    if (status() == kConnected && current_) {
        output_.deliver([success, l = location()] { if (success) success(l); });
        return;
    }
    output_.deliver([errorBlock] { if (errorBlock) errorBlock(QuorError::make(QuorError::NotConnected)); });
}

void QuorEngine::recommendedLocation(QuorManagerProtocol::LocationBlock success, QuorManagerProtocol::ErrorBlock errorBlock)
{
    if (faults().recommendedLocationUnavailable) {
        output_.deliver([errorBlock] { if (errorBlock) errorBlock(QuorError::make(QuorError::InventoryUnavailable)); });
        return;
    }
    store_.ensureFresh([this, success] {
        const std::shared_ptr<const QuorInventory> inventory = store_.current();
        std::optional<QuorLocation> location;
        if (const QuorCity* city = inventory->recommendedCity()) {
            location = QuorLocation{};
            location->city = *city;
            location->city->data_centers.reset();
            if (const QuorCountry* c = inventory->countryOfCity(city->cityId)) {
                QuorCountry country;
                country.country = c->country;
                country.name = c->name;
                country.iso_code = c->iso_code;
                location->country = country;
            }
        }
        output_.deliver([success, location] { if (success) success(location); });
    });
}

void QuorEngine::pingDedicatedIPServer(const QuorDedicatedIPServerPing& ping, QuorManagerProtocol::PingBlock success,
                                       QuorManagerProtocol::ErrorBlock errorBlock)
{
    const QString address = ping.serverAddress.isEmpty() ? ping.serverIP : ping.serverAddress;
    if (address.isEmpty()) {
        output_.deliver([errorBlock] { if (errorBlock) errorBlock(QuorError::make(QuorError::LocationNotFound)); });
        return;
    }
    QuorDedicatedIPServerPingResult result;
    if (!faults().isServerUnreachable(QString(), address) && !faults().isServerUnreachable(QString(), ping.serverIP))
        result.latency = QuorLatencyProbe::latencyOfHost(address);
    later(environment_.timings.probe, [this, success, result] {
        output_.deliver([success, result] { if (success) success(result); });
    });
}

void QuorEngine::countries(QuorManagerProtocol::CountriesBlock success, QuorManagerProtocol::ErrorBlock errorBlock)
{
    if (faults().inventoryUnavailable) {
        output_.deliver([errorBlock] { if (errorBlock) errorBlock(QuorError::make(QuorError::InventoryUnavailable)); });
        return;
    }
    store_.ensureFresh([this, success] {
        output_.deliver([success, list = store_.current()->countries] { if (success) success(list); });
    });
}

void QuorEngine::optimizeCountries(QList<QuorCountry> countries, CountryListResponse response)
{
    const std::shared_ptr<const QuorInventory> inventory = store_.current();
    const QuorFaults f = faults();
    for (QuorCountry& country : countries) {
        QList<QuorDatacenters> centers = country.dataCenters.value_or(QList<QuorDatacenters>());
        if (centers.isEmpty())
            centers = dataCentersOf(inventory->sitesOfCountry(country.country.value_or(QString())));
        country.latency = measureDataCenters(centers, f);
        country.dataCenters = centers;
    }
    later(environment_.timings.probe, [this, countries, response] {
        output_.deliver([countries, response] { if (response) response(countries, std::nullopt); });
    });
}

void QuorEngine::optimizeCities(QList<QuorCity> cities, CityListResponse response)
{
    const std::shared_ptr<const QuorInventory> inventory = store_.current();
    const QuorFaults f = faults();
    for (QuorCity& city : cities) {
        QList<QuorDatacenters> centers = city.data_centers.value_or(QList<QuorDatacenters>());
        if (centers.isEmpty())
            centers = dataCentersOf(inventory->sitesOfCity(city.cityId));
        city.latency = measureDataCenters(centers, f);
        city.data_centers = centers;
    }
    later(environment_.timings.probe, [this, cities, response] {
        output_.deliver([cities, response] { if (response) response(cities, std::nullopt); });
    });
}
