#pragma once

#include <map>

#include <QList>
#include <QString>
#include <QStringList>

namespace hlv {

// One resource of the network neighbourhood: a network, a domain, a server, a share.
// The four numbers and four names are those a network provider reports for each
// resource; a name that the provider leaves out is a null text.
struct NetResource
{
    qint32 dwScope = 0;
    qint32 dwType = 0;
    qint32 dwDisplayType = 0;
    qint32 dwUsage = 0;
    QString lpLocalName;
    QString lpRemoteName;
    QString lpComment;
    QString lpProvider;

    // The bytes the record takes in an enumeration buffer: the eight 32-bit fields, and
    // each name that is present with its terminating zero.
    qint64 packedSize() const;
};

namespace ResourceScope {
constexpr qint32 Connected = 1;
constexpr qint32 GlobalNet = 2;
constexpr qint32 Remembered = 3;
} // namespace ResourceScope

namespace ResourceType {
constexpr qint32 Any = 0;
constexpr qint32 Disk = 1;
constexpr qint32 Print = 2;
} // namespace ResourceType

namespace ResourceUsage {
constexpr qint32 Connectable = 1;
constexpr qint32 Container = 2;
} // namespace ResourceUsage

namespace ResourceDisplayType {
constexpr qint32 Generic = 0;
constexpr qint32 Domain = 1;
constexpr qint32 Server = 2;
constexpr qint32 Share = 3;
constexpr qint32 File = 4;
constexpr qint32 Group = 5;
constexpr qint32 Network = 6;
constexpr qint32 Root = 7;
constexpr qint32 ShareAdmin = 8;
constexpr qint32 Directory = 9;
} // namespace ResourceDisplayType

// Answers of the enumeration calls.
namespace NetResult {
constexpr quint32 NoError = 0;
constexpr quint32 InvalidHandle = 6;
constexpr quint32 MoreData = 234;
constexpr quint32 NoMoreItems = 259;
constexpr quint32 NotContainer = 1207;
constexpr quint32 NoNetwork = 1222;
} // namespace NetResult

using NetEnumHandle = quint64;

// Walks the resources of the network, one container at a time: open an enumeration of a
// container (or of the top level), read its entries in batches, close it.
class NetworkResources
{
public:
    virtual ~NetworkResources() = default;
    // start: the container to enumerate, or nullptr for the top level.
    virtual quint32 openEnum(qint32 scope, qint32 type, qint32 usage, const NetResource* start,
                             NetEnumHandle& handle) = 0;
    // Reads the next batch: as many entries as count asks for (-1: as many as fit) whose
    // packed size fits bufferSize bytes. Answers NoError with count set to the entries
    // given, MoreData when not even the next entry fits, NoMoreItems at the end.
    virtual quint32 enumResource(NetEnumHandle handle, qint32& count, QList<NetResource>& out, qint64 bufferSize) = 0;
    virtual quint32 closeEnum(NetEnumHandle handle) = 0;
};

// A provider that knows each container's entries when the container is opened; it hands
// them out in batches packed as the enumeration calls promise.
class BatchedNetworkResources : public NetworkResources
{
public:
    quint32 openEnum(qint32 scope, qint32 type, qint32 usage, const NetResource* start, NetEnumHandle& handle) override;
    quint32 enumResource(NetEnumHandle handle, qint32& count, QList<NetResource>& out, qint64 bufferSize) override;
    quint32 closeEnum(NetEnumHandle handle) override;

    // Enumerations opened and not yet closed.
    int openEnumerations() const { return static_cast<int>(m_open.size()); }

protected:
    // The entries of a container (start nullptr: the top level), or a failure answer.
    virtual quint32 listEntries(qint32 scope, qint32 type, qint32 usage, const NetResource* start,
                                QList<NetResource>& out) = 0;
    // The remote name of the container an open enumeration walks (empty: the top level).
    QString containerOf(NetEnumHandle handle) const;

private:
    struct Enumeration
    {
        QString container;
        QList<NetResource> pending;
    };
    std::map<NetEnumHandle, Enumeration> m_open;
    NetEnumHandle m_nextHandle = 1;
};

// A print queue found on the network, with the server that shares it.
struct DiscoveredPrinter
{
    QString host;   // the server's host name
    int port = 631; // the server's IPP port
    QString domain; // the service discovery domain ("local")
    QString queue;  // the queue's name on the server
    QString info;   // the name it is announced under
};

// One printer service as DNS service discovery resolves it: the instance name, the host
// that serves it and its port, the discovery domain and the TXT record's "key=value" texts.
struct ResolvedService
{
    QString instance; // "Lab Printer", "Lab @ labsrv"
    QString hostName; // "labsrv.local"
    int port = 631;
    QString domain;  // "local"
    QStringList txt; // "rp=printers/Lab", "ty=...", ...
};

// The network seen through DNS service discovery of IPP printers: the top level holds one
// network, the network its discovery domains, each domain the servers found in it (two
// backslashes and the host, with ":port" for a port other than 631), each server its
// printers as print shares ("\\host\queue"). Discovery runs when the network is opened and
// only listens to the announcements: it connects to no print server or scheduler. Without
// a discovery daemon it finds nothing at once.
class DnsSdNetworkResources final : public BatchedNetworkResources
{
public:
    // browseMilliseconds bounds the wait for the daemon to report every service it knows;
    // resolveMilliseconds bounds the resolving of the services found, after that.
    explicit DnsSdNetworkResources(int browseMilliseconds = 2500, int resolveMilliseconds = 1500);

    static QString networkName() { return QStringLiteral("Internet Printing"); }
    // The entries of each container for a set of discovered printers, keyed by the
    // container's remote name (empty: the top level).
    static std::map<QString, QList<NetResource>> arrange(const QList<DiscoveredPrinter>& printers);
    // The printer an announcement stands for: the server is the host that serves the
    // service, the queue the last part of its resource path ("rp=printers/Lab": "Lab").
    // A service without a host is no printer (an empty host).
    static DiscoveredPrinter printerOf(const ResolvedService& service);

protected:
    quint32 listEntries(qint32 scope, qint32 type, qint32 usage, const NetResource* start,
                        QList<NetResource>& out) override;

private:
    QList<DiscoveredPrinter> discover() const;

    int m_browseMs;
    int m_resolveMs;
    std::map<QString, QList<NetResource>> m_tree;
};

} // namespace hlv
