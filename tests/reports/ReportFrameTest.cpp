#include "console/reports/ReportFrame.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ReportDoubles.h"
#include "support/RecordingShell.h"

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace hlv::test {
namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ShowHideScript, Lines_TwentyThreeEachEndedByCrLf)
{
    const QString script = GetShowHideScript();
    ASSERT_TRUE(script.endsWith(QStringLiteral("\r\n")));
    const QStringList lines = script.chopped(2).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 23);
    EXPECT_EQ(lines.at(0), QStringLiteral("<script language='javascript'>"));
    EXPECT_EQ(lines.at(2), QStringLiteral("var state = 'none';"));
    EXPECT_EQ(lines.at(10), QStringLiteral("if (document.all) { //IS IE 4 or 5 (or 6 beta)"));
    EXPECT_EQ(lines.at(11), QStringLiteral("eval( 'document.all.' + layer_ref + '.style.display = state');"));
    EXPECT_EQ(lines.at(16), QStringLiteral("if (document.getElementById &&!document.all) {"));
    EXPECT_EQ(lines.at(21), QStringLiteral("//-->"));
    EXPECT_EQ(lines.at(22), QStringLiteral("</script>"));
    // No line carries a stray line feed or carriage return of its own.
    EXPECT_FALSE(script.chopped(2).remove(QStringLiteral("\r\n")).contains(QLatin1Char('\n')));
}

TEST(HtmlText, MarkupCharacters_ShownAsText)
{
    const struct
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"<script>", "&lt;script&gt;"},
        {"a & b", "a &amp; b"},
        {"it's \"quoted\"", "it&#39;s &quot;quoted&quot;"},
        {"&amp;", "&amp;amp;"},
        {"", ""},
        {"plain 42", "plain 42"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(htmlText(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
    }
    EXPECT_EQ(htmlText(QStringLiteral("Bücher")), QStringLiteral("Bücher"));
}

TEST(ReportFrame, PageHead_PiecesInOrder)
{
    const ReportSettings settings{QStringLiteral("/r"), QStringLiteral("Acme"), QStringLiteral("Print less.")};
    EXPECT_EQ(ReportFrame::pageHead(QStringLiteral("Halvern"), false, settings, QStringLiteral("<h2><u>X</u></h2>")) +
                  ReportFrame::pageTail(),
              QStringLiteral("<html><head><title>Halvern</title></head><body align='center' style='color: #000080'>"
                             "<h1>Acme </h1><em style='color: #008000'>Print less.</em><h2><u>X</u></h2>"
                             "<table align='center'><tr><td></td></tr></table></body></html>"));
    const QString withScript = ReportFrame::pageHead(QStringLiteral("T"), true, settings, QString());
    EXPECT_TRUE(withScript.startsWith(QStringLiteral("<html><head><title>T</title>") + GetShowHideScript() +
                                      QStringLiteral("</head>")));
}

TEST(ReportFrame, CompanyWithMarkup_Escaped)
{
    const ReportSettings settings{QString(), QStringLiteral("Smith & Sons <b>"), QStringLiteral("a<b")};
    const QString head = ReportFrame::pageHead(QStringLiteral("x"), false, settings, QString());
    EXPECT_TRUE(head.contains(QStringLiteral("<h1>Smith &amp; Sons &lt;b&gt; </h1>")));
    EXPECT_TRUE(head.contains(QStringLiteral("<em style='color: #008000'>a&lt;b</em>")));
}

TEST(ReportFrame, TableRows_ExactPieces)
{
    EXPECT_EQ(ReportFrame::titleRow(10, ReportFrame::kJobsTitleColour, QStringLiteral("Jobs")),
              QStringLiteral("<tr><th align='center' colspan=10 style='border-width: 0px; background-color: "
                             "#FFCC66'>Jobs</th></tr>"));
    EXPECT_EQ(
        ReportFrame::headerRow({QStringLiteral("User"), QStringLiteral("Jobs")}),
        QStringLiteral("<tr style='border-width: 1px; background-color: #C0C0C0'><th>User</th><th>Jobs</th></tr>"));
    EXPECT_EQ(ReportFrame::tableOpening(true), QStringLiteral("<p><table border=1 cellpadding=2 cellspacing=0>"));
    EXPECT_EQ(ReportFrame::tableOpening(false), QStringLiteral("<table border=1 cellpadding=2 cellspacing=0>"));
    EXPECT_EQ(ReportFrame::cell(QStringLiteral("<i>")), QStringLiteral("<td>&lt;i&gt;</td>"));
}

class ReportFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
    RecordingSurface surface;
    RecordingShell shell;
};

TEST_F(ReportFileTest, WrittenTwice_OneFileHoldingSecondPageEndedByCrLf)
{
    const QString path = dir.filePath(QStringLiteral("HLV_Test.html"));
    ASSERT_TRUE(writeReportFile(path, QStringLiteral("<html>first, a longer page</html>")));
    ASSERT_TRUE(writeReportFile(path, QStringLiteral("<html>2</html>")));
    EXPECT_EQ(fileBytes(path), QByteArray("<html>2</html>\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("HLV_Test.html")});
}

TEST_F(ReportFileTest, NonAsciiPage_Utf8WithByteOrderMark)
{
    const QString path = dir.filePath(QStringLiteral("u.html"));
    ASSERT_TRUE(writeReportFile(path, QStringLiteral("<html>Bücher</html>")));
    EXPECT_EQ(fileBytes(path), QByteArray("\xEF\xBB\xBF<html>B\xC3\xBC"
                                          "cher</html>\r\n"));
}

// A page written in pieces larger than the file's blocks comes out as the same bytes as the
// page written whole, the byte-order mark decided by a character at its very end, and the
// escaping of raw UTF-8 values matches htmlText.
TEST_F(ReportFileTest, StreamedPage_SameBytesAsWholePage)
{
    QString whole = QStringLiteral("<html>");
    ReportFile streamed;
    streamed << whole;
    for (int i = 0; i < 40000; ++i) {
        const QString value = QStringLiteral("row %1 <a&b> \"q\" 'x'").arg(i);
        whole += QStringLiteral("<td>") + htmlText(value) + QStringLiteral("</td>");
        streamed.appendUtf8("<td>");
        streamed.appendEscapedUtf8(value.toUtf8());
        streamed.appendUtf8("</td>");
    }
    for (const QString& tail : {QStringLiteral("</html>"), QStringLiteral("\u00e9</html>")}) {
        const QString wholePath = dir.filePath(QStringLiteral("whole.html"));
        const QString streamedPath = dir.filePath(QStringLiteral("streamed.html"));
        ReportFile copy;
        copy << whole + tail;
        ASSERT_TRUE(writeReportFile(wholePath, whole + tail));
        ASSERT_TRUE(copy.commit(streamedPath));
        EXPECT_EQ(fileBytes(streamedPath), fileBytes(wholePath));
        EXPECT_EQ(fileBytes(wholePath).startsWith("\xEF\xBB\xBF"), tail.size() > 7);
    }
    streamed << QStringLiteral("</html>");
    EXPECT_EQ(streamed.text(), whole + QStringLiteral("</html>"));
}

TEST_F(ReportFileTest, Writer_QuietWritesResetsPointersOpensNothing)
{
    ReportWriter writer(surface, shell);
    const QString path = dir.filePath(QStringLiteral("q.html"));
    writer.begin();
    EXPECT_TRUE(surface.mainBusy);
    EXPECT_TRUE(surface.jobListBusy);
    EXPECT_TRUE(writer.finish(path, QStringLiteral("<html></html>"), false));
    EXPECT_FALSE(surface.mainBusy);
    EXPECT_FALSE(surface.jobListBusy);
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(ReportFileTest, Writer_FolderTakesNoFile_OldPageKeptNothingOpenedPathAndWhyTold)
{
    // A folder this account cannot write (root acts as another account for it) that holds
    // the account's own old page: the page is not written over in place.
    const bool root = ::geteuid() == 0;
    const uid_t account = root ? 65534 : ::geteuid();
    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    const QString oldPage = locked + QStringLiteral("/r.html");
    {
        QFile file(oldPage);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'o'));
    }
    ASSERT_EQ(::chown(QFile::encodeName(oldPage).constData(), account, account), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
    const struct
    {
        const char* label;
        QString path;
        QByteArray before;
    } cases[] = {
        {"missing folder", dir.filePath(QStringLiteral("no/such/folder/r.html")), QByteArray()},
        {"folder taking no file", oldPage, QByteArray(8192, 'o')},
    };
    for (const auto& c : cases) {
        FakeReportWindow window;
        ReportWriter writer(surface, shell, &window);
        surface.changes.clear();
        writer.begin();
        ASSERT_EQ(::seteuid(account), 0);
        const bool written = writer.finish(c.path, QStringLiteral("<html>new</html>"), true);
        ASSERT_EQ(::seteuid(root ? 0 : account), 0);
        EXPECT_FALSE(written) << c.label;
        EXPECT_EQ(fileBytes(c.path), c.before) << c.label;
        EXPECT_TRUE(shell.opened.isEmpty()) << c.label;
        ASSERT_EQ(window.notWritten.size(), 1) << c.label;
        EXPECT_TRUE(
            window.notWritten.first().startsWith(c.path + QStringLiteral("|cannot create a file beside ") + c.path))
            << window.notWritten.first().toStdString();
        EXPECT_EQ(surface.changes, (QStringList{QStringLiteral("main busy"), QStringLiteral("list busy"),
                                                QStringLiteral("main idle"), QStringLiteral("list idle")}));
    }
    ::chmod(QFile::encodeName(locked).constData(), 0755);
}

TEST(ReportFilePath, FolderFollowedDirectlyByFileName)
{
    EXPECT_EQ(reportFilePath({QStringLiteral("/tmp/r"), {}, {}}, QStringLiteral("/HLV_ServerReport.html")),
              QStringLiteral("/tmp/r/HLV_ServerReport.html"));
    EXPECT_EQ(reportFilePath({QString(), {}, {}}, QStringLiteral("/HLV_ServerReport.html")),
              QStringLiteral("/HLV_ServerReport.html"));
}

} // namespace
} // namespace hlv::test
