#pragma once

#include <memory>

#include <QString>

namespace hlv {

// A private profile (INI) file: "[section]" lines followed by "key=value" lines, UTF-8.
// Sections and keys are matched ignoring letter case; the first matching section and the
// first matching key in it win. Lines the reader does not understand (comments, garbage)
// are ignored on reading and kept byte for byte on writing, and so is every line whose
// value a write leaves as it reads (a value in another encoding stays as its bytes).

// The longest value a read gives back; a longer stored value comes back cut to this.
inline constexpr int kProfileValueMaxChars = 1023;

// One pass over a profile file (the settings loaded at start-up, or saved at shutdown):
// every read and write behaves as readPrivateProfileString and writePrivateProfileString
// below, each read seeing the writes before it, but the file is read once, on first use,
// and written once, by commit(). The cost of a pass grows with the file's size, not with
// the size times the number of calls.
class PrivateProfile
{
public:
    explicit PrivateProfile(QString path);
    ~PrivateProfile();
    PrivateProfile(const PrivateProfile&) = delete;
    PrivateProfile& operator=(const PrivateProfile&) = delete;

    QString path() const { return m_path; }

    // As readPrivateProfileString.
    QString read(const QString& section, const QString& key);
    // As writePrivateProfileString, into the pass: false for a refused name or value or an
    // unreadable file; the file itself changes at commit().
    bool write(const QString& section, const QString& key, const QString& value);
    // Replaces the file as a whole when a write changed it (written beside it, then
    // renamed, once every byte is on the disk). A file that another program changed since
    // this pass read it is read again and this pass's writes are made on it in their order.
    // False when the file could not be written (a full disk included): the old file stays
    // as it was and errorString() says why.
    bool commit();
    QString errorString() const { return m_error; }

private:
    struct Content;
    bool load();

    QString m_path;
    std::unique_ptr<Content> m_content;
    QString m_error;
};

// The stored value, blanks around it removed and cut to kProfileValueMaxChars characters;
// the empty text when the file, the section or the key is missing or unreadable.
QString readPrivateProfileString(const QString& path, const QString& section, const QString& key);

// Stores the value, creating the file, the section and the key as needed and replacing an
// existing value. The file is replaced as a whole (written beside it, then renamed), so a
// failed or interrupted write leaves the old file as it was. Refuses (returns false) a
// section or key that is empty or would break the file's structure (line breaks, "]" in a
// section, "=" in a key) and a value holding a line break; the folder must exist.
bool writePrivateProfileString(const QString& path, const QString& section, const QString& key, const QString& value);

} // namespace hlv
