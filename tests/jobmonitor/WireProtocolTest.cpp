#include "jobmonitor/WireProtocol.h"

#include <gtest/gtest.h>

namespace hlv::wire {
namespace {

TEST(WireProtocol_Encode, EscapesAndTerminatesLine_ExactBytes)
{
    EXPECT_EQ(encodeMessage({QStringLiteral("JobEvent"), QStringLiteral("New"), QStringLiteral("a\tb\\c\nd\re")}),
              QByteArray("JobEvent\tNew\ta\\tb\\\\c\\nd\\re\n"));
    EXPECT_EQ(encodeMessage({QStringLiteral("StopMonitor")}), QByteArray("StopMonitor\n"));
    EXPECT_EQ(encodeMessage({QStringLiteral("StartMonitor"), QString()}), QByteArray("StartMonitor\t\n"));
}

TEST(WireProtocol_RoundTrip, AnyFieldTextComesBackUnchanged)
{
    const QStringList samples = {
        QString(),
        QStringLiteral("plain"),
        QStringLiteral("\\"),
        QStringLiteral("\\t literally"),
        QStringLiteral("ends with \\"),
        QStringLiteral("\t"),
        QStringLiteral("\r\n"),
        QStringLiteral("\n\n\\n"),
        QStringLiteral("8|a|b|c"),
        QString::fromUtf8("Gr\xc3\xb6\xc3\x9f"
                          "e \xe2\x9c\x93"),
    };
    for (const QString& sample : samples) {
        const QStringList message = {QStringLiteral("JobEvent"), sample, QStringLiteral("x")};
        QByteArray line = encodeMessage(message);
        ASSERT_TRUE(line.endsWith('\n'));
        line.chop(1);
        EXPECT_FALSE(line.contains('\n')) << sample.toStdString();
        EXPECT_FALSE(line.contains('\r')) << sample.toStdString();
        EXPECT_EQ(decodeMessage(line), message) << sample.toStdString();
    }
}

TEST(WireProtocol_Decode, UnknownEscapesAndLoneBackslashKept)
{
    EXPECT_EQ(unescapeField(QStringLiteral("a\\xb")), QStringLiteral("a\\xb"));
    EXPECT_EQ(unescapeField(QStringLiteral("end\\")), QStringLiteral("end\\"));
    EXPECT_EQ(unescapeField(QStringLiteral("\\\\t")), QStringLiteral("\\t"));
    EXPECT_TRUE(decodeMessage(QByteArray()).isEmpty());
    EXPECT_EQ(decodeMessage(QByteArray("A\t\tB")), (QStringList{QStringLiteral("A"), QString(), QStringLiteral("B")}));
}

TEST(WireProtocol_LineBuffer, LinesSplitAcrossChunks_ComeOutWhole)
{
    LineBuffer buffer;
    QByteArray line;
    buffer.append("HELLO\t{A}");
    EXPECT_FALSE(buffer.takeLine(line));
    EXPECT_TRUE(buffer.hasPartialLine());
    buffer.append("\t1\nConnectEvent\tConnected\nJob");
    ASSERT_TRUE(buffer.takeLine(line));
    EXPECT_EQ(line, QByteArray("HELLO\t{A}\t1"));
    ASSERT_TRUE(buffer.takeLine(line));
    EXPECT_EQ(line, QByteArray("ConnectEvent\tConnected"));
    EXPECT_FALSE(buffer.takeLine(line));
    buffer.append("Event\n\n");
    ASSERT_TRUE(buffer.takeLine(line));
    EXPECT_EQ(line, QByteArray("JobEvent"));
    ASSERT_TRUE(buffer.takeLine(line));
    EXPECT_EQ(line, QByteArray());
    EXPECT_FALSE(buffer.hasPartialLine());
}

TEST(WireProtocol_LineBuffer, LongLinesInPipeSizedChunks_WorkInProportionToTheBytes)
{
    // Lines of 64 MB in the 4 KB pieces a pipe delivers, each followed at once by the start of
    // the next. Searching the whole pending text again for every piece, or moving what is left
    // at every line, would handle each byte thousands of times; one pass handles it about once.
    // The work is counted rather than timed, so a loaded machine cannot change the verdict.
    constexpr qsizetype kChunk = 4096;
    constexpr qsizetype kChunks = 16384;
    const QByteArray chunk(kChunk, 'x');
    LineBuffer buffer;
    QByteArray line;
    qint64 appended = 0;
    for (int round = 0; round < 2; ++round) {
        for (qsizetype i = 0; i < kChunks; ++i) {
            buffer.append(chunk);
            appended += kChunk;
            ASSERT_FALSE(buffer.takeLine(line));
        }
        buffer.append("\nnext\nrest");
        appended += 11;
        ASSERT_TRUE(buffer.takeLine(line));
        EXPECT_EQ(line.size(), kChunk * kChunks + (round == 0 ? 0 : 4));
        EXPECT_EQ(line.count('x'), kChunk * kChunks);
        ASSERT_TRUE(buffer.takeLine(line));
        EXPECT_EQ(line, QByteArray("next"));
        EXPECT_FALSE(buffer.takeLine(line));
        EXPECT_TRUE(buffer.hasPartialLine());
    }
    EXPECT_LE(buffer.bytesHandled(), 3 * appended) << "bytes handled for " << appended << " bytes read";
}

} // namespace
} // namespace hlv::wire
