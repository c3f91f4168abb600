#include "platform/NetworkResources.h"

#include <algorithm>

#include <QByteArray>
#include <cups/cups.h>

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

QString option(const cups_dest_t& dest, const char* name)
{
    return text(cupsGetOption(name, dest.num_options, dest.options));
}

// The discovery domain of a service instance name such as "Queue @ host._ipp._tcp.local.".
QString serviceDomain(const QString& serviceHost)
{
    const qsizetype tcp = serviceHost.indexOf(QStringLiteral("._tcp."));
    if (tcp < 0) {
        return QStringLiteral("local");
    }
    QString domain = serviceHost.mid(tcp + 6);
    if (domain.endsWith(QLatin1Char('.'))) {
        domain.chop(1);
    }
    return domain.isEmpty() ? QStringLiteral("local") : domain;
}

// The instance name part of a service host ("Queue @ host" of "Queue @ host._ipp._tcp.local.").
QString serviceInstance(const QString& serviceHost)
{
    const qsizetype type = serviceHost.indexOf(QStringLiteral("._ipp"));
    return type < 0 ? serviceHost : serviceHost.left(type);
}

struct Collected
{
    cups_dest_t* dests = nullptr;
    int count = 0;
};

int collectDest(void* userData, unsigned flags, cups_dest_t* dest)
{
    auto* collected = static_cast<Collected*>(userData);
    if (flags & CUPS_DEST_FLAGS_REMOVED) {
        collected->count = cupsRemoveDest(dest->name, dest->instance, collected->count, &collected->dests);
    } else if (!(flags & CUPS_DEST_FLAGS_ERROR)) {
        collected->count = cupsCopyDest(dest, collected->count, &collected->dests);
    }
    return 1;
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

QList<DiscoveredPrinter> DnsSdNetworkResources::discover() const
{
    // Only printers found by service discovery: the local scheduler's own queues are the
    // local computer's, which the console reaches by its own name.
    Collected collected;
    cupsEnumDests(CUPS_DEST_FLAGS_NONE, m_browseMs, nullptr, CUPS_PRINTER_DISCOVERED, CUPS_PRINTER_DISCOVERED,
                  &collectDest, &collected);

    QList<DiscoveredPrinter> found;
    for (int i = 0; i < collected.count; ++i) {
        cups_dest_t& dest = collected.dests[i];
        const QByteArray serviceUri = option(dest, "device-uri").toUtf8();
        char scheme[32] = {};
        char user[256] = {};
        char serviceHost[1024] = {};
        char path[1024] = {};
        int servicePort = 0;
        httpSeparateURI(HTTP_URI_CODING_ALL, serviceUri.constData(), scheme, sizeof scheme, user, sizeof user,
                        serviceHost, sizeof serviceHost, &servicePort, path, sizeof path);

        DiscoveredPrinter printer;
        printer.domain = serviceDomain(text(serviceHost));
        printer.queue = text(dest.name);
        printer.info = option(dest, "printer-info");
        if (printer.info.isEmpty()) {
            printer.info = option(dest, "printer-make-and-model");
        }

        // Resolving the service gives the server's host and port and the queue's path on it.
        char resource[1024] = {};
        if (http_t* http = cupsConnectDest(&dest, CUPS_DEST_FLAGS_NONE, m_resolveMs, nullptr, resource, sizeof resource,
                                           nullptr, nullptr)) {
            char host[256] = {};
            httpGetHostname(http, host, sizeof host);
            printer.host = text(host);
            if (printer.host.endsWith(QLatin1Char('.'))) {
                printer.host.chop(1);
            }
            printer.port = httpAddrPort(httpGetAddress(http));
            httpClose(http);
            const QString queuePath = text(resource);
            for (const QString& prefix : {QStringLiteral("/printers/"), QStringLiteral("/classes/")}) {
                if (queuePath.startsWith(prefix) && queuePath.size() > prefix.size()) {
                    printer.queue = queuePath.mid(prefix.size());
                }
            }
        } else {
            // A shared queue of another scheduler is announced as "Queue @ host".
            const QString instance = serviceInstance(text(serviceHost));
            const qsizetype at = instance.lastIndexOf(QStringLiteral(" @ "));
            if (at >= 0) {
                printer.host = instance.mid(at + 3) + QLatin1Char('.') + printer.domain;
            }
        }
        if (!printer.host.isEmpty()) {
            found.append(printer);
        }
    }
    cupsFreeDests(collected.count, collected.dests);
    return found;
}

} // namespace hlv
