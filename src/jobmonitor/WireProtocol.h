#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace hlv::wire {

// The job monitor server and its client talk over the server's stdin and stdout in lines
// of text. Every message is one UTF-8 line ending in LF; its fields are separated by one
// TAB; inside a field a backslash, TAB, CR and LF are written as \\ \t \r \n, so a field
// may hold any text (a document name with a line break crosses intact).
//
//   server -> client   HELLO <TAB> {class id} <TAB> file version   (first line, once)
//                      ConnectEvent <TAB> text
//                      JobEvent <TAB> action <TAB> job detail record
//                      JobList <TAB> job detail record <TAB> ...   (the jobs a StartMonitor
//                                  found at its first reading, before "Connected")
//   client -> server   StartMonitor <TAB> server
//                      ResumeMonitor <TAB> server <TAB> job detail record <TAB> ...
//                                  (StartMonitor that takes the given jobs as the last
//                                  reading, so its first reading reports what changed)
//                      ResumeHistory <TAB> seconds since 1970 (UTC) <TAB> job name <TAB> ...
//                                  (for the ResumeMonitor that follows: the jobs that ended
//                                  from then on are reported too, except those named, whose
//                                  end was reported already)
//                      StopMonitor
//
// Any other message is ignored by both sides, so either can grow without breaking the other.

inline constexpr char kHello[] = "HELLO";
inline constexpr char kStartMonitor[] = "StartMonitor";
inline constexpr char kStopMonitor[] = "StopMonitor";
inline constexpr char kResumeMonitor[] = "ResumeMonitor";
inline constexpr char kResumeHistory[] = "ResumeHistory";
inline constexpr char kJobList[] = "JobList";
inline constexpr char kConnectEvent[] = "ConnectEvent";
inline constexpr char kJobEvent[] = "JobEvent";

QString escapeField(const QString& field);
// Unknown escapes and a lone trailing backslash are kept as written.
QString unescapeField(const QString& field);

// One message as it goes on the wire, LF included.
QByteArray encodeMessage(const QStringList& fields);
// One line without its LF back into its fields; an empty line gives no fields.
QStringList decodeMessage(const QByteArray& line);

// Collects bytes as they arrive and hands out whole lines (without LF). Each byte is
// searched for LF once and moved at most a few times, so a line of any length costs time
// in proportion to its length, however small the pieces it arrives in.
class LineBuffer
{
public:
    void append(const QByteArray& bytes);
    // The next complete line, or false while only part of one has arrived.
    bool takeLine(QByteArray& line);
    bool hasPartialLine() const { return m_start < m_pending.size(); }
    // Bytes searched for LF or moved so far: what the buffer's cost grows with.
    qint64 bytesHandled() const { return m_handled; }

private:
    QByteArray m_pending;
    qint64 m_handled = 0;
    qsizetype m_start = 0;   // bytes before this have been handed out
    qsizetype m_scanned = 0; // no LF between m_start and this
};

} // namespace hlv::wire
