#pragma once

#include <QByteArrayView>
#include <QString>

namespace hlv {

// What the path of a replaced file names.
enum class ReplaceTarget {
    // A file of the user's own (settings, history, a file the operator chose): a symbolic
    // link at the path is followed, and the file it leads to is replaced, keeping its
    // permissions.
    Followed,
    // A file of fixed name in a folder other accounts may write to (reports, the CSV
    // export): nothing at the path is followed or written into; the name itself is made to
    // name the new file.
    NameOnly,
};

// A file replaced as a whole. The new content goes to a temporary file beside the old one,
// created anew (exclusive, never through a link); commit() brings every byte to the disk
// (each write, the fsync and the close checked) and only then renames it over the old file.
// Any failure, a full disk above all, leaves the old file as it was and removes the
// temporary file.
//
//   closed --open()--> writing --write()...--> writing --commit()--> closed (replaced)
//                         |                       `--cancel()/failure--> closed (old file kept)
class AtomicFile
{
public:
    explicit AtomicFile(QString path, ReplaceTarget target = ReplaceTarget::Followed);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    // Writes all of bytes or fails; after a failure every later call fails too.
    bool write(QByteArrayView bytes);
    // True when the file now holds exactly what was written.
    bool commit();
    // Abandons the new content; the old file stays.
    void cancel();

    // The failure was a full disk (or a full quota).
    bool diskFull() const;
    // What failed and why, for the warning of the caller.
    QString errorString() const { return m_error; }

private:
    bool fail(int error, const QString& what);

    QString m_path;
    ReplaceTarget m_target;
    QString m_finalPath; // the file replaced
    QString m_tempPath;
    int m_fd = -1;
    bool m_failed = false;
    int m_errno = 0;
    QString m_error;
};

// Replaces the file at path with content through AtomicFile. False, with the reason in
// error, when the file could not be written; the old file then stays as it was.
bool writeFileAtomically(const QString& path, QByteArrayView content, ReplaceTarget target = ReplaceTarget::Followed,
                         QString* error = nullptr);

// Where an output of fixed name (a report, the CSV export) is written: path itself while
// nothing is there or what is there belongs to this account; when another account holds
// the name (a link or a file planted in a shared temporary folder), the same file name in
// this account's private folder beside it (see privateTempFolder).
QString outputFilePath(const QString& path);

} // namespace hlv
