#pragma once
#include <QFile>
#include <QString>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Files in this program's private folders, opened so that a symbolic link planted under one of
// their names is never followed: its target is neither written nor has its permissions changed.
// Header-only: the helpers that do not link the data library use it too.
namespace PrivateFiles {

// A new file for the owner alone (0600). Whatever stood under the name (a leftover of an earlier
// run, a link) is removed first, never followed. A descriptor open for writing, or -1 (errno).
inline int create(const QString &path)
{
    const QByteArray p = QFile::encodeName(path);
    ::unlink(p.constData());
    return ::open(p.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// An existing regular file or a new one, kept as it is, made the owner's alone; false when the
// name is a link, a folder or anything else but a regular file.
inline bool ensure(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return regular;
}

// An existing file opened for reading as it is: never through a link, never waiting on a pipe.
// A descriptor, or -1 (errno) unless it is a regular file; `st` (when given) gets its status.
inline int openRegular(const QString &path, struct stat *st = nullptr)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat own {};
    struct stat &status = st ? *st : own;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

// True when the folder lets no one but its owner in (a file made there should be as private).
inline bool isPrivateFolder(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & 077) == 0;
}

} // namespace PrivateFiles
