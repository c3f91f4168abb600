#include "WireProtocol.h"

namespace hlv::wire {

QString escapeField(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (const QChar c : field) {
        switch (c.unicode()) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescapeField(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c != QLatin1Char('\\') || i + 1 == field.size()) {
            out += c;
            continue;
        }
        const QChar next = field.at(i + 1);
        switch (next.unicode()) {
        case u'\\':
            out += QLatin1Char('\\');
            break;
        case u't':
            out += QLatin1Char('\t');
            break;
        case u'r':
            out += QLatin1Char('\r');
            break;
        case u'n':
            out += QLatin1Char('\n');
            break;
        default:
            out += c;
            out += next;
        }
        ++i;
    }
    return out;
}

QByteArray encodeMessage(const QStringList& fields)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            line += QLatin1Char('\t');
        }
        line += escapeField(fields.at(i));
    }
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    return bytes;
}

QStringList decodeMessage(const QByteArray& line)
{
    QStringList fields;
    if (line.isEmpty()) {
        return fields;
    }
    // Escaped fields hold no raw TAB, so splitting first and unescaping after is exact.
    const QStringList raw = QString::fromUtf8(line).split(QLatin1Char('\t'));
    fields.reserve(raw.size());
    for (const QString& field : raw) {
        fields.append(unescapeField(field));
    }
    return fields;
}

void LineBuffer::append(const QByteArray& bytes)
{
    // Drop what was handed out once it is at least half the buffer: every byte moves a
    // bounded number of times.
    if (m_start > 0 && m_start * 2 >= m_pending.size()) {
        m_handled += m_pending.size() - m_start;
        m_pending.remove(0, m_start);
        m_scanned -= m_start;
        m_start = 0;
    }
    m_pending.append(bytes);
}

bool LineBuffer::takeLine(QByteArray& line)
{
    const qsizetype from = m_scanned;
    const qsizetype end = m_pending.indexOf('\n', from);
    m_handled += (end < 0 ? m_pending.size() : end + 1) - from;
    if (end < 0) {
        m_scanned = m_pending.size();
        return false;
    }
    line = m_pending.mid(m_start, end - m_start);
    m_start = end + 1;
    m_scanned = m_start;
    return true;
}

} // namespace hlv::wire
