#include "AtomicFile.h"

#include <cerrno>
#include <cstring>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Environment.h"

namespace hlv {

namespace {

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// The file a chain of links at path leads to, as QSaveFile has always resolved it: a link
// to a missing file names that file, and a loop leaves the path as given.
QString resolvedTarget(const QString& path)
{
    QFileInfo info(path);
    int depth = 128;
    while (--depth > 0 && info.isSymLink()) {
        info.setFile(info.symLinkTarget());
    }
    return depth > 0 ? info.filePath() : path;
}

// A name beside the target that nothing else uses; the file is made by the open itself.
QString temporaryName(const QString& finalPath)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < 8; ++i) {
        suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof(letters) - 1))]);
    }
    return finalPath + QStringLiteral(".hlv-") + suffix;
}

} // namespace

AtomicFile::AtomicFile(QString path, ReplaceTarget target)
    : m_path(std::move(path))
    , m_target(target)
{}

AtomicFile::~AtomicFile()
{
    cancel();
}

bool AtomicFile::fail(int error, const QString& what)
{
    if (!m_failed) {
        m_failed = true;
        m_errno = error;
        m_error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    }
    return false;
}

bool AtomicFile::diskFull() const
{
    return m_errno == ENOSPC || m_errno == EDQUOT;
}

bool AtomicFile::open()
{
    m_finalPath = m_target == ReplaceTarget::Followed ? resolvedTarget(m_path) : m_path;
    struct stat old
    {};
    const bool exists = ::lstat(nativePath(m_finalPath).constData(), &old) == 0;

    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = temporaryName(m_finalPath);
        // 0666 leaves the account's umask to decide, as for any new file.
        m_fd = ::open(nativePath(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_tempPath = name;
            break;
        }
        error = errno;
        if (error != EEXIST) {
            break;
        }
    }
    if (m_fd < 0) {
        // A folder that takes no new file keeps the old one: writing it over in place could
        // leave it cut short, which is what this class promises never to do.
        return fail(error, QStringLiteral("cannot create a file beside ") + m_finalPath);
    }
    // A settings file keeps the rights it was given (one kept private stays private).
    if (m_target == ReplaceTarget::Followed && exists && S_ISREG(old.st_mode) &&
        ::fchmod(m_fd, old.st_mode & 07777) != 0) {
        const int chmodError = errno;
        cancel();
        return fail(chmodError, QStringLiteral("cannot keep the rights of ") + m_finalPath);
    }
    return true;
}

bool AtomicFile::write(QByteArrayView bytes)
{
    if (m_failed || m_fd < 0) {
        return false;
    }
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno, QStringLiteral("cannot write ") + m_finalPath);
        }
        data += written;
        left -= written;
    }
    return true;
}

bool AtomicFile::commit()
{
    if (m_failed || m_fd < 0) {
        cancel();
        return false;
    }
    // Every byte on the disk before the old file goes: a full disk shows at the latest here
    // (or at the close, on a network file system).
    if (::fsync(m_fd) != 0) {
        const int error = errno;
        cancel();
        return fail(error, QStringLiteral("cannot write ") + m_finalPath);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        cancel();
        return fail(error, QStringLiteral("cannot write ") + m_finalPath);
    }
    if (::rename(nativePath(m_tempPath).constData(), nativePath(m_finalPath).constData()) != 0) {
        const int error = errno;
        cancel();
        return fail(error, QStringLiteral("cannot replace ") + m_finalPath);
    }
    m_tempPath.clear();
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(nativePath(folderOf(m_finalPath)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        const bool synced = ::fsync(folder) == 0 || errno == EINVAL;
        const int error = errno;
        ::close(folder);
        if (!synced) {
            return fail(error, QStringLiteral("cannot write the folder of ") + m_finalPath);
        }
    }
    return true;
}

void AtomicFile::cancel()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.isEmpty()) {
        ::unlink(nativePath(m_tempPath).constData());
        m_tempPath.clear();
    }
}

bool writeFileAtomically(const QString& path, QByteArrayView content, ReplaceTarget target, QString* error)
{
    AtomicFile file(path, target);
    const bool ok = file.open() && file.write(content) && file.commit();
    if (!ok && error) {
        *error = file.errorString();
    }
    return ok;
}

QString outputFilePath(const QString& path)
{
    struct stat info
    {};
    if (::lstat(nativePath(path).constData(), &info) != 0 || info.st_uid == geteuid()) {
        return path;
    }
    const QString folder = privateTempFolder(folderOf(path));
    return folder.isEmpty() ? path : folder + QLatin1Char('/') + QFileInfo(path).fileName();
}

} // namespace hlv
