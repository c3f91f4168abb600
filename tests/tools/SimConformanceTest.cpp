#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/print/LocalUser.h"
#include "platform/print/SimPrintStore.h"
#include "platform/print/SimPrintSystem.h"
#include "tools/PrintSystemConformance.h"

namespace hlv::test {
namespace {

class SimHarness
{
public:
    void setUp()
    {
        ASSERT_TRUE(m_dir.isValid());
        QString error;
        m_store = sim::SimPrintStore::create(m_dir.path(), serverName(), QStringLiteral("PRINTSRV"), &error);
        ASSERT_TRUE(m_store) << error.toStdString();
        m_system = std::make_unique<SimPrintSystem>(m_dir.path());
    }
    void tearDown() {}
    PrintSystem& system() { return *m_system; }
    QString serverName() const { return QStringLiteral("PrintSrv"); }
    QString unreachableServer() const { return QStringLiteral("NoSuchServer"); }
    QString addQueue(const QString& location, const QString& comment)
    {
        sim::NewQueue def;
        def.name = QStringLiteral("Queue%1").arg(++m_queues);
        def.location = location;
        def.comment = comment;
        def.model = QStringLiteral("Generic PCL Laser");
        def.port = QStringLiteral("IP_10.0.0.9");
        const PrintResult r = m_store->addQueue(def);
        EXPECT_TRUE(r) << r.error.toStdString();
        return def.name;
    }
    qint64 submitJob(const QString& queue, const QString& document)
    {
        sim::NewJob def;
        def.queue = queue;
        def.document = document;
        def.owner = expectedOwner();
        def.host = QStringLiteral("WS17");
        def.pages = 2;
        def.size = 5000;
        qint64 id = 0;
        const PrintResult r = m_store->addJob(def, id);
        EXPECT_TRUE(r) << r.error.toStdString();
        return id;
    }
    QString expectedOwner() const { return localUserName(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<sim::SimPrintStore> m_store;
    std::unique_ptr<SimPrintSystem> m_system;
    int m_queues = 0;
};

} // namespace

struct SimName
{
    template <typename T> static std::string GetName(int) { return "Sim"; }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, PrintSystemConformance, ::testing::Types<SimHarness>, SimName);

} // namespace hlv::test
