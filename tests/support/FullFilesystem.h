#pragma once

#include <cerrno>
#include <cstring>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace hlv::test {

// A small file system of its own (tmpfs) over a folder, which fill() then takes to its last
// byte: every later write that needs space fails with "No space left on device", while
// new empty files can still be made, as on a real full disk. Mounting takes root; without
// it (or where mounting is refused) mount() says why and the test skips.
class FullFilesystem
{
public:
    FullFilesystem() = default;
    FullFilesystem(const FullFilesystem&) = delete;
    FullFilesystem& operator=(const FullFilesystem&) = delete;
    ~FullFilesystem() { unmount(); }

    bool mount(const QString& folder, const char* size, QString* why)
    {
        if (::geteuid() != 0) {
            *why = QStringLiteral("mounting a small file system takes root");
            return false;
        }
        const QByteArray options = QByteArray("size=") + size + ",mode=0755";
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    options.constData()) != 0) {
            *why = QStringLiteral("mount refused: ") + QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        m_folder = folder;
        return true;
    }

    // Writes a filler file until the file system refuses another byte.
    bool fill()
    {
        const QByteArray path = QFile::encodeName(m_folder + QStringLiteral("/.filler"));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) {
            return false;
        }
        const QByteArray block(4096, 'x');
        bool full = false;
        for (qsizetype chunk = block.size(); chunk > 0 && !full;) {
            if (::write(fd, block.constData(), size_t(chunk)) < 0) {
                if (errno != ENOSPC) {
                    break;
                }
                // Take the last partial page too.
                chunk /= 2;
                full = chunk == 0;
            }
        }
        ::close(fd);
        return full;
    }

    // Gives back the space fill() took.
    bool release() { return QFile::remove(m_folder + QStringLiteral("/.filler")); }

    void unmount()
    {
        if (!m_folder.isEmpty()) {
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
            m_folder.clear();
        }
    }

private:
    QString m_folder;
};

} // namespace hlv::test
