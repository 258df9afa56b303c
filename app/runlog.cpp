#include "runlog.h"

#include "mode.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString currentUser()
{
#ifdef _WIN32
    return qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\') + qEnvironmentVariable("USERNAME");
#else
    const passwd *user = ::getpwuid(::getuid());
    return user ? QString::fromLocal8Bit(user->pw_name) : QStringLiteral("user %1").arg(::getuid());
#endif
}

int openForAppending(const std::string &path)
{
#ifdef _WIN32
    const std::wstring name = argumentText(path).toStdWString();
    return ::_wopen(name.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
#else
    // A FIFO without a reader fails at once instead of holding the run, and a
    // link is never followed: a log must not lead into a file its opener did not mean.
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
    struct stat info;
    if (descriptor < 0 || (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) &&
                           (info.st_uid == ::geteuid() || info.st_uid == 0)))
        return descriptor;
    const int problem = S_ISREG(info.st_mode) ? EPERM : EINVAL;
    ::close(descriptor);
    errno = problem;
    return -1;
#endif
}

// Why the log cannot be appended to, as the user reads it.
QString openProblem(int error)
{
    if (error == ELOOP)
        return QStringLiteral("it is a symbolic link");
    if (error == EINVAL)
        return QStringLiteral("it is not a regular file");
    if (error == EPERM)
        return QStringLiteral("it belongs to another user");
    return QString::fromLocal8Bit(std::strerror(error));
}

void cutBack(int descriptor, off_t size)
{
#ifdef _WIN32
    (void)::_chsize(descriptor, long(size));
#else
    (void)::ftruncate(descriptor, size);
#endif
}

// Where a line stands in the record, whenever the run noted it: who and what
// first, then what happened, in the order of the run.
int rank(const QString &line)
{
    static const char *const labels[] = {"user:", "command line:", "registry:", "mode:", "message:",
                                         "change:", "would change:", "not saved:", "outcome:", "exit status:"};
    for (int index = 0; index < int(std::size(labels)); ++index)
        if (line.startsWith(QLatin1String(labels[index])))
            return index + 1;
    return 0; // the heading
}

} // namespace

RunLog::~RunLog()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool RunLog::open(const std::string &path, QString &problem)
{
    // A log in a folder that is not there yet (a first logon) gets it, made as
    // the user who runs, as any program of the user's would make it.
    const QString folder = QFileInfo(argumentText(path)).absolutePath();
    if (!QFileInfo::exists(folder))
        QDir().mkpath(folder);
    m_descriptor = openForAppending(path);
    if (m_descriptor < 0) {
        problem = QStringLiteral("Cannot append to the log '%1': %2").arg(argumentText(path), openProblem(errno));
        return false;
    }
    m_path = argumentText(path);
    m_lines << QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + QStringLiteral(" ideweave " IDEWEAVE_VERSION);
    add(QStringLiteral("user"), currentUser());
    return true;
}

void RunLog::add(const QString &label, const QString &text)
{
    if (!isOpen())
        return;
    // A text of several lines goes on, indented, so that each record line starts with its label.
    QString indented = text.trimmed();
    indented.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
    m_lines << label + QStringLiteral(": ") + indented;
}

bool RunLog::finish(int exitStatus, QString &problem)
{
    if (!isOpen())
        return true;
#ifdef _WIN32
    add(QStringLiteral("exit status"), QString::number(exitStatus));
    const QString newline = QStringLiteral("\r\n");
#else
    add(QStringLiteral("exit status"), QString::number(exitStatus & 0xff)); // as the shell sees it
    const QString newline = QStringLiteral("\n");
#endif
    std::stable_sort(m_lines.begin(), m_lines.end(),
                     [](const QString &a, const QString &b) { return rank(a) < rank(b); });
    const QByteArray record = (m_lines.join(newline) + newline + newline).toUtf8();
    // One write, so that runs sharing a log never mix their lines; a short one
    // (a full disk) is taken back, so that no record is left cut.
    const off_t before = ::lseek(m_descriptor, 0, SEEK_END);
    errno = 0;
    const auto written = ::write(m_descriptor, record.constData(), static_cast<unsigned>(record.size()));
    const int error = errno ? errno : ENOSPC;
    if (written >= 0 && written < record.size() && before >= 0)
        cutBack(m_descriptor, before);
    ::close(m_descriptor);
    m_descriptor = -1;
    if (written == record.size())
        return true;
    problem = QStringLiteral("Cannot append to the log '%1': %2").arg(m_path, QString::fromLocal8Bit(std::strerror(error)));
    return false;
}
