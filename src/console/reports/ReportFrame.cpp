#include "console/reports/ReportFrame.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

#include "console/access/ConnectionSurface.h"
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
    return settings.ReportPath + fileName;
}

bool writeReportFile(const QString& path, const QString& page)
{
    // The old page goes first; when it cannot be removed, writing over it still replaces
    // its contents where the file itself may be written.
    if (QFile::exists(path)) {
        QFile::remove(path);
    }
    QByteArray bytes;
    bool ascii = true;
    for (const QChar c : page) {
        if (c.unicode() > 0x7F) {
            ascii = false;
            break;
        }
    }
    if (!ascii) {
        bytes = QByteArrayLiteral("\xEF\xBB\xBF");
    }
    bytes += page.toUtf8();
    bytes += "\r\n";

    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning().noquote() << "hlv: report: cannot write" << path << ":" << file.errorString();
        return false;
    }
    return true;
}

ReportWriter::ReportWriter(ConnectionSurface& pointers, Shell& shell)
    : m_pointers(pointers)
    , m_shell(shell)
{}

void ReportWriter::begin()
{
    m_pointers.setMainBusy(true);
    m_pointers.setJobListBusy(true);
}

bool ReportWriter::finish(const QString& path, const QString& page, bool open)
{
    const bool written = writeReportFile(path, page);
    m_pointers.setMainBusy(false);
    m_pointers.setJobListBusy(false);
    if (open) {
        m_shell.open(path);
    }
    return written;
}

} // namespace hlv
