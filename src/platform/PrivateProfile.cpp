#include "PrivateProfile.h"

#include <QByteArrayList>
#include <QFile>
#include <QSaveFile>

namespace hlv {

namespace {

// One line of the file as it was read, and what it means. Lines are kept as bytes so that
// a write leaves every line it does not change exactly as it found it, whatever its
// encoding.
struct ProfileLine
{
    QByteArray raw; // without the line break
    enum class Kind { Other, Section, Entry } kind = Kind::Other;
    QString name;  // section name or key, blanks removed
    QString value; // for entries, blanks removed
};

ProfileLine parseLine(const QByteArray& raw)
{
    ProfileLine line;
    line.raw = raw;
    QByteArray text = raw;
    if (text.endsWith('\r')) {
        text.chop(1);
    }
    const QString decoded = QString::fromUtf8(text).trimmed();
    if (decoded.startsWith(QLatin1Char('['))) {
        const qsizetype close = decoded.indexOf(QLatin1Char(']'));
        if (close > 0) {
            line.kind = ProfileLine::Kind::Section;
            line.name = decoded.mid(1, close - 1).trimmed();
        }
        return line;
    }
    const qsizetype equals = decoded.indexOf(QLatin1Char('='));
    if (equals > 0 && !decoded.startsWith(QLatin1Char(';'))) {
        line.kind = ProfileLine::Kind::Entry;
        line.name = decoded.left(equals).trimmed();
        line.value = decoded.mid(equals + 1).trimmed();
    }
    return line;
}

struct ProfileFile
{
    QList<ProfileLine> lines;
    bool crlf = false;
};

// Reads the file; a missing file reads as empty, an unreadable one as nothing.
bool loadProfile(const QString& path, ProfileFile& profile)
{
    QFile file(path);
    if (!file.exists()) {
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return false;
    }
    if (content.endsWith('\n')) {
        content.chop(1);
    }
    if (content.isEmpty()) {
        return true;
    }
    const QByteArrayList raws = content.split('\n');
    profile.crlf = raws.first().endsWith('\r');
    profile.lines.reserve(raws.size());
    for (const QByteArray& raw : raws) {
        profile.lines.append(parseLine(raw));
    }
    return true;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

qsizetype findSection(const ProfileFile& profile, const QString& section)
{
    for (qsizetype i = 0; i < profile.lines.size(); ++i) {
        const ProfileLine& line = profile.lines.at(i);
        if (line.kind == ProfileLine::Kind::Section && sameName(line.name, section)) {
            return i;
        }
    }
    return -1;
}

// The end (exclusive) of the section that starts at the given line.
qsizetype sectionEnd(const ProfileFile& profile, qsizetype start)
{
    qsizetype i = start + 1;
    while (i < profile.lines.size() && profile.lines.at(i).kind != ProfileLine::Kind::Section) {
        ++i;
    }
    return i;
}

qsizetype findKey(const ProfileFile& profile, qsizetype sectionStart, const QString& key)
{
    const qsizetype end = sectionEnd(profile, sectionStart);
    for (qsizetype i = sectionStart + 1; i < end; ++i) {
        const ProfileLine& line = profile.lines.at(i);
        if (line.kind == ProfileLine::Kind::Entry && sameName(line.name, key)) {
            return i;
        }
    }
    return -1;
}

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

} // namespace

QString readPrivateProfileString(const QString& path, const QString& section, const QString& key)
{
    ProfileFile profile;
    if (!loadProfile(path, profile)) {
        return QString();
    }
    const qsizetype start = findSection(profile, section.trimmed());
    if (start < 0) {
        return QString();
    }
    const qsizetype at = findKey(profile, start, key.trimmed());
    if (at < 0) {
        return QString();
    }
    QString value = profile.lines.at(at).value;
    if (value.size() > kProfileValueMaxChars) {
        qsizetype cut = kProfileValueMaxChars;
        // Never split a character that takes two UTF-16 units.
        if (value.at(cut - 1).isHighSurrogate()) {
            --cut;
        }
        value.truncate(cut);
    }
    return value;
}

bool writePrivateProfileString(const QString& path, const QString& section, const QString& key, const QString& value)
{
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    if (sectionName.isEmpty() || keyName.isEmpty() || hasLineBreak(sectionName) || hasLineBreak(keyName) ||
        hasLineBreak(value) || sectionName.contains(QLatin1Char(']')) || keyName.contains(QLatin1Char('=')) ||
        keyName.startsWith(QLatin1Char('[')) || keyName.startsWith(QLatin1Char(';'))) {
        return false;
    }

    ProfileFile profile;
    if (!loadProfile(path, profile)) {
        return false;
    }
    const QByteArray crSuffix = profile.crlf ? QByteArrayLiteral("\r") : QByteArray();
    const QByteArray entry = keyName.toUtf8() + '=' + value.trimmed().toUtf8() + crSuffix;

    qsizetype start = findSection(profile, sectionName);
    if (start < 0) {
        // A new section goes at the end, after one blank line when the file has content.
        if (!profile.lines.isEmpty() && !profile.lines.last().raw.trimmed().isEmpty()) {
            profile.lines.append(parseLine(crSuffix));
        }
        profile.lines.append(parseLine('[' + sectionName.toUtf8() + ']' + crSuffix));
        profile.lines.append(parseLine(entry));
    } else {
        const qsizetype at = findKey(profile, start, keyName);
        if (at >= 0) {
            // Keep the key as the file spells it; only the value changes.
            profile.lines[at] =
                parseLine(profile.lines.at(at).name.toUtf8() + '=' + value.trimmed().toUtf8() + crSuffix);
        } else {
            // After the section's last non-blank line, so blank separator lines stay between sections.
            qsizetype insertAt = sectionEnd(profile, start);
            while (insertAt > start + 1 && profile.lines.at(insertAt - 1).raw.trimmed().isEmpty()) {
                --insertAt;
            }
            profile.lines.insert(insertAt, parseLine(entry));
        }
    }

    QByteArray content;
    for (const ProfileLine& line : std::as_const(profile.lines)) {
        content += line.raw;
        content += '\n';
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace hlv
