#pragma once

#include <functional>
#include <map>
#include <set>

#include <QList>
#include <QString>

#include "platform/NetworkResources.h"

namespace hlv::test {

// A network neighbourhood laid out by the test: the entries of each container by the
// container's remote name (the empty name is the top level), handed out in batches packed
// as a real provider packs them. Containers may refuse to open or answer "more data" for
// ever; every open and read is counted.
class FakeNetworkResources : public BatchedNetworkResources
{
public:
    std::map<QString, QList<NetResource>> tree;
    std::map<QString, quint32> openFailures;
    std::set<QString> endlessMoreData;

    QStringList opened; // the containers opened, in order ("" for the top level)
    QList<qint32> openTypes;
    std::map<QString, int> reads;
    // Runs as each container is opened (a test looks at the window mid-scan).
    std::function<void(const QString& container)> onOpen;

    quint32 enumResource(NetEnumHandle handle, qint32& count, QList<NetResource>& out, qint64 bufferSize) override
    {
        const QString container = containerOf(handle);
        ++reads[container];
        if (endlessMoreData.count(container) != 0) {
            count = 0;
            return NetResult::MoreData;
        }
        return BatchedNetworkResources::enumResource(handle, count, out, bufferSize);
    }

    static NetResource record(qint32 displayType, const QString& remoteName, qint32 usage, qint32 type = 0)
    {
        NetResource r;
        r.dwScope = ResourceScope::GlobalNet;
        r.dwType = type;
        r.dwDisplayType = displayType;
        r.dwUsage = usage;
        r.lpRemoteName = remoteName;
        r.lpProvider = QStringLiteral("Test Network");
        return r;
    }
    static NetResource network(const QString& name)
    {
        return record(ResourceDisplayType::Network, name, ResourceUsage::Container);
    }
    static NetResource domain(const QString& name)
    {
        return record(ResourceDisplayType::Domain, name, ResourceUsage::Container);
    }
    static NetResource server(const QString& name)
    {
        return record(ResourceDisplayType::Server, name, ResourceUsage::Container);
    }
    static NetResource printShare(const QString& name)
    {
        return record(ResourceDisplayType::Share, name, ResourceUsage::Connectable, ResourceType::Print);
    }

protected:
    quint32 listEntries(qint32 scope, qint32 type, qint32 usage, const NetResource* start,
                        QList<NetResource>& out) override
    {
        Q_UNUSED(scope);
        Q_UNUSED(usage);
        const QString container = start ? start->lpRemoteName : QString();
        opened.append(container);
        if (onOpen) {
            onOpen(container);
        }
        openTypes.append(type);
        if (const auto failure = openFailures.find(container); failure != openFailures.end()) {
            return failure->second;
        }
        if (const auto it = tree.find(container); it != tree.end()) {
            out = it->second;
        }
        return NetResult::NoError;
    }
};

} // namespace hlv::test
