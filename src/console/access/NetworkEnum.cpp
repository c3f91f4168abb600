#include "console/access/NetworkEnum.h"

#include "platform/Environment.h"

namespace hlv {

namespace {

// The longest name the local name calls take (the rest of their 255 characters is the
// terminating zero); a longer name cannot be read and stays empty.
constexpr qsizetype kLocalNameChars = 254;

QString localName(const QString& name)
{
    return name.size() > kLocalNameChars ? QString() : name;
}

} // namespace

CNetworkEnum::CNetworkEnum(NetworkResources& provider, const Environment& environment)
    : m_provider(provider)
    , m_environment(environment)
{}

void CNetworkEnum::Reset()
{
    m_resources.clear();
    readContainer(nullptr);

    // Breadth-first: the list grows while it is walked, so every container found is
    // opened in turn after those found before it.
    for (qsizetype i = 0; i < m_resources.size() && m_resources.size() < kMaxResources; ++i) {
        if (m_resources.at(i).dwUsage & ResourceUsage::Container) {
            const NetResource container = m_resources.at(i);
            readContainer(&container);
        }
    }
    SortResources();
}

void CNetworkEnum::readContainer(const NetResource* start)
{
    NetEnumHandle handle = 0;
    if (m_provider.openEnum(ResourceScope::GlobalNet, GetResourceType(), 0, start, handle) != NetResult::NoError) {
        return;
    }
    // Only the first answer that is not "more data" counts: a container yields at most the
    // entries of one batch.
    for (int tries = 0; tries < kMaxMoreDataTries; ++tries) {
        qint32 count = -1;
        QList<NetResource> batch;
        const quint32 result = m_provider.enumResource(handle, count, batch, kBatchBytes);
        if (result == NetResult::MoreData) {
            continue;
        }
        if (result == NetResult::NoError) {
            m_resources.append(batch.mid(0, qMax(0, count)));
        }
        break;
    }
    m_provider.closeEnum(handle);
}

void CNetworkEnum::SortResources()
{
    if (m_resources.size() < 2) {
        return;
    }
    LoadLocalNames();

    const QString bar = QStringLiteral("|");
    for (const NetResource& r : std::as_const(m_resources)) {
        switch (r.dwDisplayType) {
        case ResourceDisplayType::Generic:
            m_generic += r.lpRemoteName + bar;
            break;
        case ResourceDisplayType::Domain:
            m_domains += r.lpRemoteName + QStringLiteral(", ");
            break;
        case ResourceDisplayType::Server:
            m_servers += r.lpRemoteName + QStringLiteral(",");
            break;
        case ResourceDisplayType::Share:
            m_shares += r.lpRemoteName + bar;
            break;
        case ResourceDisplayType::File:
            m_files += r.lpRemoteName + bar;
            break;
        case ResourceDisplayType::Group:
            m_groups += r.lpRemoteName + bar;
            break;
        case ResourceDisplayType::Network:
            m_networks += r.lpRemoteName + bar;
            break;
        case ResourceDisplayType::Root:
            m_roots += r.lpRemoteName + bar;
            break;
        case ResourceDisplayType::ShareAdmin:
            m_shareAdmin += r.lpRemoteName + bar;
            break;
        case ResourceDisplayType::Directory:
            m_directories += r.lpRemoteName + bar;
            break;
        default:
            break; // display types the lists do not know
        }
    }
}

void CNetworkEnum::LoadLocalNames()
{
    m_localUserName = localName(m_environment.userName());
    m_localMachineName = localName(m_environment.computerName());
}

} // namespace hlv
