#include "console/reports/ReportFrame.h"

#include <QDebug>
#include <QDir>
#include <QTemporaryFile>

#include "console/access/ConnectionSurface.h"
#include "console/reports/ReportWindow.h"
#include "platform/AtomicFile.h"
#include "platform/Shell.h"

namespace hlv {

QString GetShowHideScript()
{
    static const char* const lines[] = {
        "<script language='javascript'>",
        "<!--",
        "var state = 'none';",
        "function showhide(layer_ref) {",
        "if (state == 'block') {",
        "state = 'none';",
        "}",
        "else {",
        "state = 'block';",
        "}",
        "if (document.all) { //IS IE 4 or 5 (or 6 beta)",
        "eval( 'document.all.' + layer_ref + '.style.display = state');",
        "}",
        "if (document.layers) { //IS NETSCAPE 4 or below",
        "document.layers[layer_ref].display = state;",
        "}",
        "if (document.getElementById &&!document.all) {",
        "hza = document.getElementById(layer_ref);",
        "hza.style.display = state;",
        "}",
        "}",
        "//-->",
        "</script>",
    };
    QString script;
    for (const char* line : lines) {
        script += QLatin1String(line) + QLatin1String("\r\n");
    }
    return script;
}

QString htmlText(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace ReportFrame {

QString pageHead(const QString& title, bool withScript, const ReportSettings& settings, const QString& headingLine)
{
    QString page = QStringLiteral("<html><head><title>") + htmlText(title) + QStringLiteral("</title>");
    if (withScript) {
        page += GetShowHideScript();
    }
    page += QStringLiteral("</head><body align='center' style='color: #000080'><h1>") + htmlText(settings.Company) +
            QStringLiteral(" </h1><em style='color: #008000'>") + htmlText(settings.Tagline) + QStringLiteral("</em>") +
            headingLine + QStringLiteral("<table align='center'><tr><td>");
    return page;
}

QString pageTail()
{
    return QStringLiteral("</td></tr></table></body></html>");
}

QString tableOpening(bool withParagraph)
{
    return withParagraph ? QStringLiteral("<p><table border=1 cellpadding=2 cellspacing=0>")
                         : QStringLiteral("<table border=1 cellpadding=2 cellspacing=0>");
}

QString titleRow(int columns, const char* colour, const QString& caption)
{
    return QStringLiteral("<tr><th align='center' colspan=") + QString::number(columns) +
           QStringLiteral(" style='border-width: 0px; background-color: ") + QLatin1String(colour) +
           QStringLiteral("'>") + htmlText(caption) + QStringLiteral("</th></tr>");
}

QString headerRow(const QStringList& headers)
{
    QString row = QStringLiteral("<tr style='border-width: 1px; background-color: #C0C0C0'>");
    for (const QString& header : headers) {
        row += QStringLiteral("<th>") + htmlText(header) + QStringLiteral("</th>");
    }
    return row + QStringLiteral("</tr>");
}

QString cell(const QString& value)
{
    return QStringLiteral("<td>") + htmlText(value) + QStringLiteral("</td>");
}

} // namespace ReportFrame

QString reportFilePath(const ReportSettings& settings, const QString& fileName)
{
    return outputFilePath(settings.ReportPath + fileName);
}

bool writeReportFile(const QString& path, const QString& page, QString* error)
{
    ReportFile file;
    file << page;
    return file.commit(path, error);
}

namespace {
constexpr qsizetype kReportBlock = 1 << 18;
}

ReportFile::ReportFile() = default;

ReportFile::ReportFile(const QString& target)
    : m_temp(std::make_unique<QTemporaryFile>(target + QStringLiteral(".hlv-XXXXXX")))
{
    // The page is spooled beside the report it becomes, so a report needs room in its own
    // folder only. A folder that takes no file fails the report (by the report's path)
    // rather than filling memory with the page.
    if (!m_temp->open()) {
        m_failed = true;
        m_error = QStringLiteral("cannot create a file beside %1: %2").arg(target, m_temp->errorString());
        m_temp.reset();
    }
    m_buffer.reserve(kReportBlock + kReportBlock / 4);
}

ReportFile::~ReportFile() = default;

void ReportFile::noteNonAscii(QByteArrayView text)
{
    if (!m_ascii) {
        return;
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > 0x7F) {
            m_ascii = false;
            return;
        }
    }
}

ReportFile& ReportFile::operator<<(const QString& text)
{
    appendUtf8(text.toUtf8());
    return *this;
}

void ReportFile::appendUtf8(QByteArrayView text)
{
    noteNonAscii(text);
    m_buffer.append(text);
    flush(false);
}

void ReportFile::appendEscapedUtf8(QByteArrayView text)
{
    noteNonAscii(text);
    qsizetype plain = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char* entity = nullptr;
        switch (text[i]) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        case '\'':
            entity = "&#39;";
            break;
        default:
            continue;
        }
        m_buffer.append(text.sliced(plain, i - plain));
        m_buffer.append(entity);
        plain = i + 1;
    }
    m_buffer.append(text.sliced(plain));
    flush(false);
}

void ReportFile::flush(bool always)
{
    if (m_failed) {
        m_buffer.clear();
        return;
    }
    if (!m_temp || m_buffer.isEmpty() || (!always && m_buffer.size() < kReportBlock)) {
        return;
    }
    if (m_temp->write(m_buffer) != m_buffer.size()) {
        m_failed = true;
        m_error = QStringLiteral("cannot write %1: %2").arg(m_temp->fileName(), m_temp->errorString());
    }
    m_buffer.clear();
}

QString ReportFile::text()
{
    if (!m_temp) {
        return QString::fromUtf8(m_buffer);
    }
    flush(true);
    m_temp->seek(0);
    const QByteArray bytes = m_temp->readAll();
    m_temp->seek(m_temp->size());
    return QString::fromUtf8(bytes);
}

bool ReportFile::commit(const QString& path, QString* error)
{
    appendUtf8("\r\n");
    flush(true);
    // The old page is replaced only by a page that reached the disk whole; a folder that
    // takes no new file keeps the old page. Nothing at the path is followed: the report
    // folder may be shared with other accounts.
    if (m_temp && !m_failed && (!m_temp->flush() || !m_temp->seek(0))) {
        m_failed = true;
        m_error = QStringLiteral("cannot write %1: %2").arg(m_temp->fileName(), m_temp->errorString());
    }
    AtomicFile file(path, ReplaceTarget::NameOnly);
    bool ok = !m_failed && file.open();
    if (ok && !m_ascii) {
        ok = file.write("\xEF\xBB\xBF");
    }
    if (!m_temp) {
        ok = ok && file.write(m_buffer);
    }
    QByteArray block;
    while (ok && m_temp && !m_temp->atEnd()) {
        block = m_temp->read(kReportBlock * 4);
        ok = !block.isEmpty() && file.write(block);
    }
    // The spool goes before the page is committed: its room is the page's.
    m_temp.reset();
    if (!ok || !file.commit()) {
        const QString why = m_failed ? m_error : file.errorString();
        qWarning().noquote() << "hlv: report:" << why;
        if (error) {
            *error = why;
        }
        return false;
    }
    return true;
}

ReportWriter::ReportWriter(ConnectionSurface& pointers, Shell& shell, ReportWindow* window)
    : m_pointers(pointers)
    , m_shell(shell)
    , m_window(window)
{}

void ReportWriter::begin()
{
    m_pointers.setMainBusy(true);
    m_pointers.setJobListBusy(true);
}

bool ReportWriter::finish(const QString& path, const QString& page, bool open)
{
    ReportFile file;
    file << page;
    return finish(path, file, open);
}

bool ReportWriter::finish(const QString& path, ReportFile& page, bool open)
{
    QString why;
    const bool written = page.commit(path, &why);
    m_pointers.setMainBusy(false);
    m_pointers.setJobListBusy(false);
    // A page that was not written is said so; the page of an earlier run is not shown as
    // if it were this one.
    if (!written) {
        if (m_window) {
            m_window->reportNotWritten(path, why);
        }
        return false;
    }
    if (open) {
        m_shell.open(path);
    }
    return true;
}

} // namespace hlv
