#include "tools/PrintSimTool.h"

#include <map>
#include <optional>
#include <set>

#include <QDateTime>

#include "platform/print/SimPrintStore.h"

namespace hlv {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct BadArguments
{
    QString message;
};

// The arguments of one command: positionals in order, options by name. An option named
// in `valued` takes the next argument as its value; one named in `flags` takes none.
struct Parsed
{
    QStringList positionals;
    std::map<QString, QString> values;
    std::set<QString> flags;

    std::optional<QString> value(const char* name) const
    {
        const auto it = values.find(QString::fromLatin1(name));
        if (it == values.end()) {
            return std::nullopt;
        }
        return it->second;
    }
    QString required(const char* name) const
    {
        const auto v = value(name);
        if (!v) {
            throw BadArguments{QStringLiteral("--%1 is required").arg(QString::fromLatin1(name))};
        }
        return *v;
    }
    bool flag(const char* name) const { return flags.count(QString::fromLatin1(name)) != 0; }
};

Parsed parse(const QStringList& args, int positionals, const QStringList& valued, const QStringList& flags)
{
    Parsed p;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a.startsWith(QStringLiteral("--"))) {
            const QString name = a.mid(2);
            if (valued.contains(name)) {
                if (i + 1 >= args.size()) {
                    throw BadArguments{QStringLiteral("%1 needs a value").arg(a)};
                }
                p.values[name] = args.at(++i);
            } else if (flags.contains(name)) {
                p.flags.insert(name);
            } else {
                throw BadArguments{QStringLiteral("unknown option %1").arg(a)};
            }
        } else {
            p.positionals.append(a);
        }
    }
    if (p.positionals.size() != positionals) {
        throw BadArguments{QStringLiteral("expected %1 argument(s) after the command, got %2")
                               .arg(positionals)
                               .arg(p.positionals.size())};
    }
    return p;
}

// Decimal, or hexadecimal with "0x"; nothing else.
qint64 number(const QString& text, const char* what, qint64 min, qint64 max)
{
    bool ok = false;
    qint64 value = 0;
    if (text.startsWith(QStringLiteral("0x")) || text.startsWith(QStringLiteral("0X"))) {
        value = text.mid(2).toLongLong(&ok, 16);
    } else {
        value = text.toLongLong(&ok, 10);
    }
    if (!ok || value < min || value > max) {
        throw BadArguments{QStringLiteral("%1 must be a number from %2 to %3, not \"%4\"")
                               .arg(QString::fromLatin1(what))
                               .arg(min)
                               .arg(max)
                               .arg(text)};
    }
    return value;
}

std::optional<qint64> optionalNumber(const Parsed& p, const char* name, qint64 min, qint64 max)
{
    const auto v = p.value(name);
    if (!v) {
        return std::nullopt;
    }
    return number(*v, name, min, max);
}

constexpr qint64 kMaxBits = 0xFFFFFFFF;
constexpr qint64 kMaxCount = Q_INT64_C(1) << 53;

int failed(QTextStream& err, const QString& message)
{
    err << "hlv-printsim: " << message << '\n';
    return kExitFailed;
}

int run(const QString& dir, const QString& command, const QStringList& rest, QTextStream& out, QTextStream& err)
{
    QString error;
    if (command == QStringLiteral("add-server")) {
        const Parsed p = parse(rest, 1, {QStringLiteral("computer-name")}, {});
        const QString server = p.positionals.at(0);
        const QString computer = p.value("computer-name").value_or(server.toUpper());
        if (!sim::SimPrintStore::create(dir, server, computer, &error)) {
            return failed(err, error);
        }
        return kExitOk;
    }

    // Every other command works on an existing server.
    const QStringList known = {QStringLiteral("add-queue"),  QStringLiteral("add-job"),   QStringLiteral("set-job"),
                               QStringLiteral("remove-job"), QStringLiteral("set-queue"), QStringLiteral("print"),
                               QStringLiteral("show")};
    if (!known.contains(command)) {
        throw BadArguments{QStringLiteral("unknown command \"%1\"").arg(command)};
    }
    Parsed p;
    if (command == QStringLiteral("add-queue")) {
        p = parse(rest, 2,
                  {QStringLiteral("share"), QStringLiteral("location"), QStringLiteral("comment"),
                   QStringLiteral("model"), QStringLiteral("port")},
                  {QStringLiteral("not-shared")});
    } else if (command == QStringLiteral("add-job")) {
        p = parse(rest, 2,
                  {QStringLiteral("document"), QStringLiteral("owner"), QStringLiteral("host"), QStringLiteral("pages"),
                   QStringLiteral("size"), QStringLiteral("priority"), QStringLiteral("submitted")},
                  {QStringLiteral("paused")});
    } else if (command == QStringLiteral("set-job")) {
        p = parse(rest, 2, {QStringLiteral("status-mask"), QStringLiteral("pages-printed"), QStringLiteral("priority")},
                  {});
    } else if (command == QStringLiteral("remove-job")) {
        p = parse(rest, 2, {}, {});
    } else if (command == QStringLiteral("set-queue")) {
        p = parse(rest, 2, {QStringLiteral("status"), QStringLiteral("extended-status")},
                  {QStringLiteral("deny-test-page"), QStringLiteral("allow-test-page")});
    } else if (command == QStringLiteral("print")) {
        p = parse(rest, 1, {QStringLiteral("pages")}, {});
    } else {
        p = parse(rest, 1, {}, {});
    }

    // Check every argument before touching the server, so bad arguments never half-apply.
    const QString server = p.positionals.at(0);
    std::optional<sim::NewJob> job;
    std::optional<qint64> jobId;
    if (command == QStringLiteral("add-job")) {
        sim::NewJob def;
        def.queue = p.positionals.at(1);
        def.document = p.required("document");
        def.owner = p.required("owner");
        def.host = p.required("host");
        def.pages = number(p.required("pages"), "pages", 0, kMaxCount);
        def.size = number(p.required("size"), "size", 0, kMaxCount);
        def.priority = optionalNumber(p, "priority", sim::kMinPriority, sim::kMaxPriority).value_or(1);
        def.paused = p.flag("paused");
        if (const auto submitted = p.value("submitted")) {
            def.submitted = QDateTime::fromString(*submitted, Qt::ISODate);
            if (!def.submitted.isValid()) {
                throw BadArguments{QStringLiteral("--submitted must be a date and time like 2026-03-14T09:30:00")};
            }
        }
        job = def;
    } else if (command == QStringLiteral("set-job") || command == QStringLiteral("remove-job")) {
        jobId = number(p.positionals.at(1), "JOBID", 1, kMaxCount);
    }
    if (p.flag("deny-test-page") && p.flag("allow-test-page")) {
        throw BadArguments{QStringLiteral("--deny-test-page and --allow-test-page exclude each other")};
    }
    const auto statusMask = optionalNumber(p, "status-mask", 0, kMaxBits);
    const auto pagesPrinted = optionalNumber(p, "pages-printed", 0, kMaxCount);
    const auto priority = optionalNumber(p, "priority", sim::kMinPriority, sim::kMaxPriority);
    const auto status = optionalNumber(p, "status", 0, kMaxBits);
    const auto extended = optionalNumber(p, "extended-status", 0, 0xFFFF);
    const auto pages = optionalNumber(p, "pages", 1, kMaxCount);

    auto store = sim::SimPrintStore::open(dir, server, &error);
    if (!store) {
        return failed(err, error);
    }
    PrintResult result;
    if (command == QStringLiteral("add-queue")) {
        sim::NewQueue def;
        def.name = p.positionals.at(1);
        def.shareName = p.value("share").value_or(QString());
        def.notShared = p.flag("not-shared");
        def.location = p.value("location").value_or(QString());
        def.comment = p.value("comment").value_or(QString());
        def.model = p.value("model").value_or(QString());
        def.port = p.value("port").value_or(QString());
        result = store->addQueue(def);
    } else if (command == QStringLiteral("add-job")) {
        qint64 id = 0;
        result = store->addJob(*job, id);
        if (result) {
            out << id << '\n';
        }
    } else if (command == QStringLiteral("set-job")) {
        result =
            store->setJob(*jobId, statusMask ? std::optional<quint32>(static_cast<quint32>(*statusMask)) : std::nullopt,
                          pagesPrinted, priority);
    } else if (command == QStringLiteral("remove-job")) {
        result = store->removeJob(*jobId);
    } else if (command == QStringLiteral("set-queue")) {
        std::optional<bool> deny;
        if (p.flag("deny-test-page")) {
            deny = true;
        } else if (p.flag("allow-test-page")) {
            deny = false;
        }
        result = store->setQueue(p.positionals.at(1),
                                 status ? std::optional<quint32>(static_cast<quint32>(*status)) : std::nullopt,
                                 extended ? std::optional<int>(static_cast<int>(*extended)) : std::nullopt, deny);
    } else if (command == QStringLiteral("print")) {
        result = store->print(pages.value_or(1));
    } else {
        QStringList lines;
        result = store->show(lines, server);
        for (const QString& line : lines) {
            out << line << '\n';
        }
    }
    return result ? kExitOk : failed(err, result.error);
}

} // namespace

QString printSimUsage()
{
    return QStringLiteral(
        "usage: hlv-printsim DIR COMMAND ...\n"
        "  DIR add-server SERVER [--computer-name TEXT]\n"
        "  DIR add-queue SERVER QUEUE [--share NAME] [--location TEXT] [--comment TEXT] [--model TEXT]\n"
        "                [--port TEXT] [--not-shared]\n"
        "  DIR add-job SERVER QUEUE --document TEXT --owner USER --host HOST --pages N --size BYTES\n"
        "              [--priority N] [--paused] [--submitted YYYY-MM-DDTHH:MM:SS]   (prints the job id)\n"
        "  DIR set-job SERVER JOBID [--status-mask N] [--pages-printed N] [--priority N]\n"
        "  DIR remove-job SERVER JOBID\n"
        "  DIR set-queue SERVER QUEUE [--status BITS] [--extended-status N] [--deny-test-page | --allow-test-page]\n"
        "  DIR print SERVER [--pages N]   (one step of printing on every running queue)\n"
        "  DIR show SERVER                (queues and jobs, one line each)\n"
        "Numbers are decimal or hexadecimal with 0x; --extended-status 0 derives the value from the state.\n");
}

int runPrintSim(const QStringList& args, QTextStream& out, QTextStream& err)
{
    try {
        if (args.size() < 2) {
            throw BadArguments{QStringLiteral("a folder and a command are required")};
        }
        if (args.at(0).isEmpty()) {
            throw BadArguments{QStringLiteral("the folder must not be empty")};
        }
        return run(args.at(0), args.at(1), args.mid(2), out, err);
    } catch (const BadArguments& bad) {
        err << "hlv-printsim: " << bad.message << '\n' << printSimUsage();
        return kExitUsage;
    }
}

} // namespace hlv
