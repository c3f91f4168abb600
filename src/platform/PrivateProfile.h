#pragma once

#include <QString>

namespace hlv {

// A private profile (INI) file: "[section]" lines followed by "key=value" lines, UTF-8.
// Sections and keys are matched ignoring letter case; the first matching section and the
// first matching key in it win. Lines the reader does not understand (comments, garbage)
// are ignored on reading and kept byte for byte on writing.

// The longest value a read gives back; a longer stored value comes back cut to this.
inline constexpr int kProfileValueMaxChars = 1023;

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
