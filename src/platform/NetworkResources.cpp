#include "platform/NetworkResources.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/simple-watch.h>

namespace hlv {

namespace {

qint64 nameBytes(const QString& name)
{
    return name.isNull() ? 0 : name.toUtf8().size() + 1;
}

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// One discovery run: the browsers of the printer service types, the resolvers still
// waiting for an answer, and what they resolved.
struct Discovery
{
    AvahiSimplePoll* poll = nullptr;
    AvahiClient* client = nullptr;
    int browsing = 0;  // browsers that have not yet reported all they know
    int resolving = 0; // resolvers without an answer
    bool failed = false;
    QList<ResolvedService> services;
};

void onResolved(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event, const char* name,
                const char*, const char* domain, const char* hostName, const AvahiAddress*, uint16_t port,
                AvahiStringList* txt, AvahiLookupResultFlags, void* userData)
{
    auto* discovery = static_cast<Discovery*>(userData);
    if (event == AVAHI_RESOLVER_FOUND) {
        ResolvedService service;
        service.instance = text(name);
        service.hostName = text(hostName);
        service.port = port;
        service.domain = text(domain);
        for (AvahiStringList* item = txt; item; item = avahi_string_list_get_next(item)) {
            service.txt.append(QString::fromUtf8(reinterpret_cast<const char*>(avahi_string_list_get_text(item)),
                                                 static_cast<qsizetype>(avahi_string_list_get_size(item))));
        }
        discovery->services.append(service);
    }
    avahi_service_resolver_free(resolver);
    --discovery->resolving;
}

void onBrowsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
               const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* userData)
{
    auto* discovery = static_cast<Discovery*>(userData);
    switch (event) {
    case AVAHI_BROWSER_NEW:
        // Each announcement is resolved where it was seen, to its host, port and TXT
        // record; the host's address is for whoever connects later.
        if (avahi_service_resolver_new(discovery->client, interface, protocol, name, type, domain, AVAHI_PROTO_UNSPEC,
                                       AVAHI_LOOKUP_NO_ADDRESS, &onResolved, discovery)) {
            ++discovery->resolving;
        }
        break;
    case AVAHI_BROWSER_ALL_FOR_NOW:
    case AVAHI_BROWSER_FAILURE:
        --discovery->browsing;
        break;
    case AVAHI_BROWSER_REMOVE:
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
        break;
    }
}

void onClientState(AvahiClient*, AvahiClientState state, void* userData)
{
    if (state == AVAHI_CLIENT_FAILURE) {
        static_cast<Discovery*>(userData)->failed = true;
    }
}

NetResource networkRecord()
{
    NetResource r;
    r.dwScope = ResourceScope::GlobalNet;
    r.dwType = ResourceType::Any;
    r.dwDisplayType = ResourceDisplayType::Network;
    r.dwUsage = ResourceUsage::Container;
    r.lpRemoteName = DnsSdNetworkResources::networkName();
    r.lpProvider = DnsSdNetworkResources::networkName();
    return r;
}

} // namespace

qint64 NetResource::packedSize() const
{
    return 32 + nameBytes(lpLocalName) + nameBytes(lpRemoteName) + nameBytes(lpComment) + nameBytes(lpProvider);
}

// ---------------------------------------------------------------------------------------

quint32 BatchedNetworkResources::openEnum(qint32 scope, qint32 type, qint32 usage, const NetResource* start,
                                          NetEnumHandle& handle)
{
    handle = 0;
    QList<NetResource> entries;
    if (const quint32 result = listEntries(scope, type, usage, start, entries); result != NetResult::NoError) {
        return result;
    }
    handle = m_nextHandle++;
    m_open[handle] = Enumeration{start ? start->lpRemoteName : QString(), std::move(entries)};
    return NetResult::NoError;
}

quint32 BatchedNetworkResources::enumResource(NetEnumHandle handle, qint32& count, QList<NetResource>& out,
                                              qint64 bufferSize)
{
    const auto it = m_open.find(handle);
    if (it == m_open.end()) {
        count = 0;
        return NetResult::InvalidHandle;
    }
    QList<NetResource>& pending = it->second.pending;
    if (pending.isEmpty()) {
        count = 0;
        return NetResult::NoMoreItems;
    }
    qint64 used = 0;
    qint32 given = 0;
    while (!pending.isEmpty() && (count < 0 || given < count)) {
        const qint64 size = pending.constFirst().packedSize();
        if (used + size > bufferSize) {
            break;
        }
        out.append(pending.takeFirst());
        used += size;
        ++given;
    }
    count = given;
    return given == 0 ? NetResult::MoreData : NetResult::NoError;
}

quint32 BatchedNetworkResources::closeEnum(NetEnumHandle handle)
{
    return m_open.erase(handle) == 1 ? NetResult::NoError : NetResult::InvalidHandle;
}

QString BatchedNetworkResources::containerOf(NetEnumHandle handle) const
{
    const auto it = m_open.find(handle);
    return it == m_open.end() ? QString() : it->second.container;
}

// ---------------------------------------------------------------------------------------

DnsSdNetworkResources::DnsSdNetworkResources(int browseMilliseconds, int resolveMilliseconds)
    : m_browseMs(browseMilliseconds)
    , m_resolveMs(resolveMilliseconds)
{}

std::map<QString, QList<NetResource>> DnsSdNetworkResources::arrange(const QList<DiscoveredPrinter>& printers)
{
    std::map<QString, QList<NetResource>> tree;
    tree[QString()].append(networkRecord());
    QList<NetResource>& domains = tree[networkName()];

    for (const DiscoveredPrinter& printer : printers) {
        if (printer.host.isEmpty() || printer.queue.isEmpty()) {
            continue;
        }
        const QString domainName = printer.domain.isEmpty() ? QStringLiteral("local") : printer.domain;
        const QString serverName = QStringLiteral("\\\\") + printer.host +
                                   (printer.port == 631 ? QString() : QLatin1Char(':') + QString::number(printer.port));

        // A server is listed once, under the domain it was first found in.
        if (tree.find(serverName) == tree.end()) {
            if (tree.find(domainName) == tree.end()) {
                NetResource domain;
                domain.dwScope = ResourceScope::GlobalNet;
                domain.dwType = ResourceType::Any;
                domain.dwDisplayType = ResourceDisplayType::Domain;
                domain.dwUsage = ResourceUsage::Container;
                domain.lpRemoteName = domainName;
                domain.lpProvider = networkName();
                domains.append(domain);
                tree[domainName];
            }
            NetResource server;
            server.dwScope = ResourceScope::GlobalNet;
            server.dwType = ResourceType::Any;
            server.dwDisplayType = ResourceDisplayType::Server;
            server.dwUsage = ResourceUsage::Container;
            server.lpRemoteName = serverName;
            server.lpProvider = networkName();
            tree[domainName].append(server);
            tree[serverName];
        }

        QList<NetResource>& shares = tree[serverName];
        const QString shareName = serverName + QLatin1Char('\\') + printer.queue;
        const bool known = std::any_of(shares.cbegin(), shares.cend(),
                                       [&](const NetResource& r) { return r.lpRemoteName == shareName; });
        if (!known) {
            NetResource share;
            share.dwScope = ResourceScope::GlobalNet;
            share.dwType = ResourceType::Print;
            share.dwDisplayType = ResourceDisplayType::Share;
            share.dwUsage = ResourceUsage::Connectable;
            share.lpRemoteName = shareName;
            share.lpComment = printer.info;
            share.lpProvider = networkName();
            shares.append(share);
        }
    }
    return tree;
}

quint32 DnsSdNetworkResources::listEntries(qint32 scope, qint32 type, qint32 usage, const NetResource* start,
                                           QList<NetResource>& out)
{
    Q_UNUSED(scope);
    Q_UNUSED(usage);
    if (!start) {
        out.append(networkRecord());
        return NetResult::NoError;
    }
    if (!(start->dwUsage & ResourceUsage::Container)) {
        return NetResult::NotContainer;
    }
    // Opening the network is the scan: what was found then is what its domains and
    // servers hold for the rest of the walk.
    if (start->dwDisplayType == ResourceDisplayType::Network && start->lpRemoteName == networkName()) {
        m_tree = arrange(discover());
    }
    const auto it = m_tree.find(start->lpRemoteName);
    if (it == m_tree.end()) {
        return NetResult::NotContainer;
    }
    for (const NetResource& entry : it->second) {
        if (type == ResourceType::Any || (entry.dwUsage & ResourceUsage::Container) || entry.dwType == type) {
            out.append(entry);
        }
    }
    return NetResult::NoError;
}

DiscoveredPrinter DnsSdNetworkResources::printerOf(const ResolvedService& service)
{
    DiscoveredPrinter printer;
    printer.host = service.hostName;
    if (printer.host.endsWith(QLatin1Char('.'))) {
        printer.host.chop(1);
    }
    printer.port = service.port;
    printer.domain = service.domain.isEmpty() ? QStringLiteral("local") : service.domain;
    if (printer.domain.endsWith(QLatin1Char('.'))) {
        printer.domain.chop(1);
    }
    printer.info = service.instance;

    // The resource path names the queue on its server: "printers/Lab", "classes/Floor2";
    // a printer that serves itself has a path of its own ("ipp/print") or none.
    QString path;
    for (const QString& entry : service.txt) {
        if (entry.startsWith(QLatin1String("rp="), Qt::CaseInsensitive)) {
            path = entry.mid(3);
            break;
        }
    }
    while (path.startsWith(QLatin1Char('/'))) {
        path.remove(0, 1);
    }
    for (const QString& prefix : {QStringLiteral("printers/"), QStringLiteral("classes/")}) {
        if (path.startsWith(prefix) && path.size() > prefix.size()) {
            path = path.mid(prefix.size());
            break;
        }
    }
    printer.queue = path.isEmpty() ? service.instance : path;
    return printer;
}

QList<DiscoveredPrinter> DnsSdNetworkResources::discover() const
{
    // Listens to the announcements only: what a service resolves to names its server, its
    // port and its queue, so no print server or scheduler is asked anything here.
    Discovery discovery;
    discovery.poll = avahi_simple_poll_new();
    if (!discovery.poll) {
        return {};
    }
    int error = 0;
    // Without a running daemon the client cannot be made and nothing is found.
    discovery.client = avahi_client_new(avahi_simple_poll_get(discovery.poll), AvahiClientFlags(0), &onClientState,
                                        &discovery, &error);
    if (discovery.client) {
        for (const char* type : {"_ipp._tcp", "_ipps._tcp"}) {
            if (avahi_service_browser_new(discovery.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type, nullptr,
                                          AvahiLookupFlags(0), &onBrowsed, &discovery)) {
                ++discovery.browsing;
            }
        }
        // Browsing ends when the daemon has told all it knows; resolving when every
        // service found has answered. Either wait is bounded.
        const QDeadlineTimer browseDeadline(m_browseMs);
        QDeadlineTimer resolveDeadline(QDeadlineTimer::Forever);
        while (!discovery.failed) {
            if (discovery.browsing > 0 && browseDeadline.hasExpired()) {
                discovery.browsing = 0;
            }
            if (discovery.browsing <= 0) {
                if (discovery.resolving <= 0) {
                    break;
                }
                if (resolveDeadline.isForever()) {
                    resolveDeadline.setRemainingTime(m_resolveMs);
                }
                if (resolveDeadline.hasExpired()) {
                    break;
                }
            }
            const qint64 left =
                discovery.browsing > 0 ? browseDeadline.remainingTime() : resolveDeadline.remainingTime();
            if (avahi_simple_poll_iterate(discovery.poll, static_cast<int>(std::clamp<qint64>(left, 0, 100))) != 0) {
                break;
            }
        }
        // Freeing the client frees its browsers and the resolvers still waiting.
        avahi_client_free(discovery.client);
    }
    avahi_simple_poll_free(discovery.poll);

    QList<DiscoveredPrinter> found;
    for (const ResolvedService& service : std::as_const(discovery.services)) {
        const DiscoveredPrinter printer = printerOf(service);
        if (!printer.host.isEmpty()) {
            found.append(printer);
        }
    }
    return found;
}

} // namespace hlv
