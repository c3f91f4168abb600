#include "PrivateProfile.h"

#include <list>
#include <unordered_map>
#include <vector>

#include <QFile>
#include <sys/stat.h>

#include "platform/AtomicFile.h"

namespace hlv {

namespace {

// One line of the file as it was read (or as a write made it), without its line break.
// Lines are kept as bytes so that a write leaves every line it does not change exactly as
// it found it, whatever its encoding.
struct ProfileLine
{
    enum class Kind { Other, Section, Entry };
    QByteArray raw;
    Kind kind = Kind::Other;
};
using ProfileLines = std::list<ProfileLine>;
using LineIt = ProfileLines::iterator;

// What a line means: a section with its name, an entry with its key (blanks removed), or
// neither. Only the part before "=" is decoded, so a long value costs nothing here.
struct LineMeaning
{
    ProfileLine::Kind kind = ProfileLine::Kind::Other;
    QString name;
    qsizetype equals = -1; // where the value starts, less one, for entries
};

QByteArrayView withoutCr(const QByteArray& raw)
{
    QByteArrayView text(raw);
    if (text.endsWith('\r')) {
        text.chop(1);
    }
    return text;
}

LineMeaning meaningOf(const QByteArray& raw)
{
    LineMeaning meaning;
    const QByteArrayView text = withoutCr(raw);
    // "=" is one byte in UTF-8 and never part of another character.
    const qsizetype equals = text.indexOf('=');
    const QString head = QString::fromUtf8(equals < 0 ? text : text.first(equals)).trimmed();
    if (head.startsWith(QLatin1Char('['))) {
        const QString decoded = QString::fromUtf8(text).trimmed();
        const qsizetype close = decoded.indexOf(QLatin1Char(']'));
        if (close > 0) {
            meaning.kind = ProfileLine::Kind::Section;
            meaning.name = decoded.mid(1, close - 1).trimmed();
        }
        return meaning;
    }
    if (equals >= 0 && !head.isEmpty() && !head.startsWith(QLatin1Char(';'))) {
        meaning.kind = ProfileLine::Kind::Entry;
        meaning.name = head;
        meaning.equals = equals;
    }
    return meaning;
}

// The value of an entry line, blanks around it removed.
QString valueOf(const QByteArray& raw)
{
    const QByteArrayView text = withoutCr(raw);
    return QString::fromUtf8(text.sliced(text.indexOf('=') + 1)).trimmed();
}

QString cutForReading(QString value)
{
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

QString folded(const QString& name)
{
    return name.toCaseFolded();
}

QString keyId(const QString& foldedSection, const QString& key)
{
    return foldedSection + QLatin1Char('\n') + folded(key);
}

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

bool isBlank(const ProfileLine& line)
{
    return line.raw.trimmed().isEmpty();
}

// Identifies one state of the file on disk, to notice another program's write.
struct FileStamp
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNs = 0;

    static FileStamp of(const QString& path)
    {
        FileStamp stamp;
        struct stat info
        {};
        if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
            stamp.exists = true;
            stamp.device = info.st_dev;
            stamp.inode = info.st_ino;
            stamp.size = info.st_size;
            stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        }
        return stamp;
    }
    bool operator==(const FileStamp&) const = default;
};

struct SectionBlock
{
    LineIt header;
    LineIt lastContent; // the block's last non-blank line: new keys go after it
};

struct Write
{
    QString section;
    QString key;
    QString value;
};

} // namespace

// The file's lines, with an index of the first block of every section and of the first
// entry of every key in it, so that a read or write costs no pass over the file.
struct PrivateProfile::Content
{
    ProfileLines lines;
    bool crlf = false;
    std::unordered_map<QString, SectionBlock> sections; // by folded name
    std::unordered_map<QString, LineIt> keys;           // by keyId
    FileStamp stamp;
    bool changed = false;
    std::vector<Write> writes; // this pass's writes, in order

    void index()
    {
        SectionBlock* block = nullptr;
        QString blockName;
        for (LineIt it = lines.begin(); it != lines.end(); ++it) {
            const LineMeaning meaning = meaningOf(it->raw);
            it->kind = meaning.kind;
            if (meaning.kind == ProfileLine::Kind::Section) {
                blockName = folded(meaning.name);
                const auto [found, isNew] = sections.try_emplace(blockName, SectionBlock{it, it});
                // Only the first block of a name counts; later ones are read as nothing.
                block = isNew ? &found->second : nullptr;
                continue;
            }
            if (!block) {
                continue;
            }
            if (meaning.kind == ProfileLine::Kind::Entry) {
                keys.try_emplace(keyId(blockName, meaning.name), it);
            }
            if (!isBlank(*it)) {
                block->lastContent = it;
            }
        }
    }

    // Makes one write on the lines.
    void apply(const Write& write)
    {
        const QByteArray cr = crlf ? QByteArrayLiteral("\r") : QByteArray();
        const QString value = write.value.trimmed();
        const QString sectionName = folded(write.section);
        const auto block = sections.find(sectionName);
        if (block == sections.end()) {
            // A new section goes at the end, after one blank line when the file has content.
            if (!lines.empty() && !isBlank(lines.back())) {
                lines.push_back({cr, ProfileLine::Kind::Other});
            }
            const LineIt header =
                lines.insert(lines.end(), {'[' + write.section.toUtf8() + ']' + cr, ProfileLine::Kind::Section});
            const LineIt entry =
                lines.insert(lines.end(), {write.key.toUtf8() + '=' + value.toUtf8() + cr, ProfileLine::Kind::Entry});
            sections.emplace(sectionName, SectionBlock{header, entry});
            keys.emplace(keyId(sectionName, write.key), entry);
            changed = true;
            return;
        }
        const auto key = keys.find(keyId(sectionName, write.key));
        if (key != keys.end()) {
            // A value written back as it reads keeps its bytes (and the line its spacing).
            const QString stored = valueOf(key->second->raw);
            if (stored == value || cutForReading(stored) == value) {
                return;
            }
            // Keep the key as the file spells it; only the value changes.
            key->second->raw = meaningOf(key->second->raw).name.toUtf8() + '=' + value.toUtf8() + cr;
            changed = true;
            return;
        }
        // After the section's last non-blank line, so blank separator lines stay between sections.
        const LineIt entry = lines.insert(std::next(block->second.lastContent),
                                          {write.key.toUtf8() + '=' + value.toUtf8() + cr, ProfileLine::Kind::Entry});
        block->second.lastContent = entry;
        keys.emplace(keyId(sectionName, write.key), entry);
        changed = true;
    }

    QByteArray bytes() const
    {
        qsizetype size = 0;
        for (const ProfileLine& line : lines) {
            size += line.raw.size() + 1;
        }
        QByteArray out;
        out.reserve(size);
        for (const ProfileLine& line : lines) {
            out += line.raw;
            out += '\n';
        }
        return out;
    }
};

PrivateProfile::PrivateProfile(QString path)
    : m_path(std::move(path))
{}

PrivateProfile::~PrivateProfile() = default;

// Reads the file on first use; a missing file reads as empty, an unreadable one as nothing
// (and is tried again on the next call).
bool PrivateProfile::load()
{
    if (m_content) {
        return true;
    }
    auto content = std::make_unique<Content>();
    content->stamp = FileStamp::of(m_path);
    QFile file(m_path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        QByteArray all = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            return false;
        }
        if (all.endsWith('\n')) {
            all.chop(1);
        }
        if (!all.isEmpty()) {
            qsizetype start = 0;
            while (true) {
                const qsizetype end = all.indexOf('\n', start);
                content->lines.push_back({all.mid(start, end < 0 ? -1 : end - start), ProfileLine::Kind::Other});
                if (end < 0) {
                    break;
                }
                start = end + 1;
            }
            content->crlf = content->lines.front().raw.endsWith('\r');
        }
    }
    content->index();
    m_content = std::move(content);
    return true;
}

QString PrivateProfile::read(const QString& section, const QString& key)
{
    if (!load()) {
        return QString();
    }
    const auto found = m_content->keys.find(keyId(folded(section.trimmed()), key.trimmed()));
    if (found == m_content->keys.end()) {
        return QString();
    }
    return cutForReading(valueOf(found->second->raw));
}

bool PrivateProfile::write(const QString& section, const QString& key, const QString& value)
{
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    if (sectionName.isEmpty() || keyName.isEmpty() || hasLineBreak(sectionName) || hasLineBreak(keyName) ||
        hasLineBreak(value) || sectionName.contains(QLatin1Char(']')) || keyName.contains(QLatin1Char('=')) ||
        keyName.startsWith(QLatin1Char('[')) || keyName.startsWith(QLatin1Char(';'))) {
        return false;
    }
    if (!load()) {
        return false;
    }
    Write write{sectionName, keyName, value};
    m_content->apply(write);
    m_content->writes.push_back(std::move(write));
    return true;
}

bool PrivateProfile::commit()
{
    m_error.clear();
    if (!m_content || !m_content->changed) {
        return true;
    }
    if (!(FileStamp::of(m_path) == m_content->stamp)) {
        // Another program wrote the file meanwhile: make this pass's writes on its content.
        std::vector<Write> writes = std::move(m_content->writes);
        m_content.reset();
        if (!load()) {
            m_error = QStringLiteral("cannot read ") + m_path;
            return false;
        }
        for (const Write& write : writes) {
            m_content->apply(write);
        }
        m_content->writes = std::move(writes);
        if (!m_content->changed) {
            return true;
        }
    }

    if (!writeFileAtomically(m_path, m_content->bytes(), ReplaceTarget::Followed, &m_error)) {
        return false;
    }
    m_content->changed = false;
    m_content->writes.clear();
    m_content->stamp = FileStamp::of(m_path);
    return true;
}

QString readPrivateProfileString(const QString& path, const QString& section, const QString& key)
{
    PrivateProfile profile(path);
    return profile.read(section, key);
}

bool writePrivateProfileString(const QString& path, const QString& section, const QString& key, const QString& value)
{
    PrivateProfile profile(path);
    return profile.write(section, key, value) && profile.commit();
}

} // namespace hlv
