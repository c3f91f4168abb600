#pragma once

#include <memory>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

class QTemporaryFile;

namespace hlv {

class ConnectionSurface;
class ReportWindow;
class Shell;

// The settings a report reads, as the console holds them at the moment of the report.
struct ReportSettings
{
    QString ReportPath; // folder of the report files
    QString Company;    // the page's main heading
    QString Tagline;    // the green line under it
};

// The show/hide script of the page head: 23 lines, each ended by CR LF. Its one page-wide
// state flips on every call of showhide(), so the toggle is shared by all sections.
QString GetShowHideScript();

// A value as HTML text: markup characters and quotes become character references, so a
// document called "<script>" or "a & b" shows as written and cannot end an attribute.
QString htmlText(const QString& value);

// The pieces every report page is assembled from. Values passed in are escaped here;
// heading lines and tables are markup and are taken as they are.
namespace ReportFrame {
// The page up to and including the opening of the outer table:
// "<html><head><title>" title "</title>" [script] "</head><body ...><h1>" Company " "
// "</h1><em ...>" Tagline "</em>" headingLine "<table align='center'><tr><td>".
QString pageHead(const QString& title, bool withScript, const ReportSettings& settings, const QString& headingLine);
// "</td></tr></table></body></html>"
QString pageTail();

// Table colours of the title rows.
inline constexpr const char* kPrinterTitleColour = "#C0FFC0"; // printer tables and log tables
inline constexpr const char* kJobsTitleColour = "#FFCC66";

// "<p><table border=1 cellpadding=2 cellspacing=0>" and the same without the paragraph.
QString tableOpening(bool withParagraph);
// "<tr><th align='center' colspan=N style='border-width: 0px; background-color: C'>caption</th></tr>"
QString titleRow(int columns, const char* colour, const QString& caption);
// "<tr style='border-width: 1px; background-color: #C0C0C0'>" then "<th>name</th>" each, "</tr>".
QString headerRow(const QStringList& headers);
// "<td>" value "</td>", the value escaped.
QString cell(const QString& value);
} // namespace ReportFrame

// The report's file: the report folder followed directly by the file name ("/HLV_..."),
// or that name in this account's private folder when another account holds it there.
QString reportFilePath(const ReportSettings& settings, const QString& fileName);

// Replaces the file at path with the page followed by CR LF. False (with the reason in
// *error) when it could not be written; the old file then stays. The page is written as UTF-8; a page holding
// characters outside ASCII begins with a byte-order mark so that a browser reads it as UTF-8.
bool writeReportFile(const QString& path, const QString& page, QString* error = nullptr);

// A report page written as it is built, so a page of a hundred thousand rows is never held
// whole in memory: given its target, the text goes in blocks to a private temporary file
// beside it, and commit() then replaces the report file with it exactly as writeReportFile
// would (same bytes, the byte-order mark only when the page holds characters outside
// ASCII). Without a target the page is kept in memory (small pages).
class ReportFile
{
public:
    ReportFile();
    explicit ReportFile(const QString& target);
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    ReportFile& operator<<(const QString& text);
    // UTF-8 text taken as it is (markup, or a value already escaped).
    void appendUtf8(QByteArrayView text);
    // UTF-8 text escaped as htmlText escapes it.
    void appendEscapedUtf8(QByteArrayView text);

    // The page followed by CR LF replaces the file at path; false (with the reason in
    // *error) when it could not be written, the old file then kept.
    bool commit(const QString& path, QString* error = nullptr);
    // The page so far (tests and small pages).
    QString text();

private:
    void noteNonAscii(QByteArrayView text);
    void flush(bool always);

    std::unique_ptr<QTemporaryFile> m_temp;
    QByteArray m_buffer;
    bool m_ascii = true;
    bool m_failed = false;
    QString m_error;
};

// The writing steps every report shares: the hourglass on the main window and its job
// list while the page is built and written, then the page opened in the browser unless
// the caller asked for quiet. A page that cannot be written is opened in no case; the
// window is told (reportNotWritten) with the path and the reason.
class ReportWriter
{
public:
    ReportWriter(ConnectionSurface& pointers, Shell& shell, ReportWindow* window = nullptr);

    void begin();
    // Writes the page, resets the pointers and opens the file when open is true. Returns
    // whether the file was written.
    bool finish(const QString& path, const QString& page, bool open);
    bool finish(const QString& path, ReportFile& page, bool open);

private:
    ConnectionSurface& m_pointers;
    Shell& m_shell;
    ReportWindow* m_window;
};

} // namespace hlv
