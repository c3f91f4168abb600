#pragma once

#include <QList>
#include <QString>

#include "platform/NetworkResources.h"

namespace hlv {

class Environment;

// Walks the network neighbourhood breadth-first and sorts every resource found into
// text lists by its display type. The computer picker creates one object per scan and
// reads the server list ("\\name," for each server).
//
// Life cycle:
//   created      resource type 1 (disk), empty lists
//   Reset        rebuilds the resource list from the top level, then appends every
//                resource to its list text; the list texts are never cleared, so a
//                second Reset lists everything again
//   getters      return whatever was collected; nothing is ever reported
class CNetworkEnum
{
public:
    // The batch size offered to each enumeration read: 256 records of 32 bytes, halved.
    static constexpr qint64 kBatchBytes = 256 * 32 / 2;
    // Reads of one enumeration that keep answering "more data" (an entry larger than a
    // batch) are given up after this many tries.
    static constexpr int kMaxMoreDataTries = 8;
    // The walk stops growing its resource list here, so a provider that reports a
    // container inside itself cannot keep it walking for ever.
    static constexpr qsizetype kMaxResources = 100000;

    CNetworkEnum(NetworkResources& provider, const Environment& environment);

    void Reset();
    void SetResourceType(qint32 lResourceType) { m_resourceType = lResourceType; }
    qint32 GetResourceType() const { return m_resourceType; }
    QString GetLocalUserName() const { return m_localUserName; }
    QString GetLocalMachineName() const { return m_localMachineName; }
    QString GetServerList() const { return m_servers; }
    QString GetShareList() const { return m_shares; }
    QString GetPrinterList() const { return m_printers; }
    QString GetDirectoryList() const { return m_directories; }
    QString GetDomainList() const { return m_domains; }
    QString GetFileList() const { return m_files; }
    QString GetGenericList() const { return m_generic; }
    QString GetGroupList() const { return m_groups; }
    QString GetNetworkList() const { return m_networks; }
    QString GetRootList() const { return m_roots; }
    QString GetShareAdminList() const { return m_shareAdmin; }

    // Every resource the last Reset found, in the order found.
    const QList<NetResource>& resources() const { return m_resources; }

private:
    void LoadLocalNames();
    void SortResources();
    // Opens one enumeration (start nullptr: the top level), appends its first batch to
    // the resource list and closes it again; a failing step ends it quietly.
    void readContainer(const NetResource* start);

    NetworkResources& m_provider;
    const Environment& m_environment;
    qint32 m_resourceType = ResourceType::Disk;
    QList<NetResource> m_resources;
    QString m_localUserName;
    QString m_localMachineName;
    QString m_servers;
    QString m_printers; // no display type feeds it: printer shares are shares
    QString m_shares;
    QString m_directories;
    QString m_domains;
    QString m_files;
    QString m_generic;
    QString m_groups;
    QString m_networks;
    QString m_roots;
    QString m_shareAdmin;
};

} // namespace hlv
