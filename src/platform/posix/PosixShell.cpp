#include "platform/posix/PosixShell.h"

#include "common/RetryOnInterrupt.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora {

bool SpawnDetached(const std::string& program, const std::vector<std::string>& arguments)
{
    if (program.empty()) return false;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    // A pipe with close-on-exec tells whether exec succeeded: it closes silently on
    // success, and the child writes its errno into it on failure.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;

    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    if (child == 0) {
        close(pipeFds[0]);
        // The middle process exits at once, so the program is not our child and
        // leaves no zombie behind.
        setsid();
        const pid_t grandChild = fork();
        if (grandChild != 0) _exit(grandChild < 0 ? 127 : 0);
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(devNull, 2);
            if (devNull > 2) close(devNull);
        }
        signal(SIGPIPE, SIG_DFL);
        if (program.find('/') != std::string::npos) {
            execv(program.c_str(), argv.data());
        } else {
            execvp(program.c_str(), argv.data());
        }
        const int err = errno;
        (void)!write(pipeFds[1], &err, sizeof err);
        _exit(127);
    }
    close(pipeFds[1]);
    int status = 0;
    RetryOnInterrupt([&] { return waitpid(child, &status, 0); });
    int childErr = 0;
    const ssize_t n = RetryOnInterrupt([&] { return read(pipeFds[0], &childErr, sizeof childErr); });
    close(pipeFds[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool PosixShell::StartHidden(const std::string& program, const std::vector<std::string>& arguments)
{
    return SpawnDetached(program, arguments);
}

bool PosixShell::OpenUrl(const std::string& url)
{
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

bool PosixShell::OpenHelp(const std::string& helpFile, int context)
{
    QUrl target = QUrl::fromLocalFile(QString::fromStdString(helpFile));
    target.setFragment(QStringLiteral("context-%1").arg(context));
    // URL handlers drop the "#section" of a local file, so a tiny page in the temporary
    // folder forwards the browser to the section instead.
    const QString tempFolder = QString::fromLocal8Bit(qgetenv("TMPDIR"));
    const QString folder = tempFolder.startsWith(QLatin1Char('/')) ? tempFolder : QStringLiteral("/tmp");
    QFile forward(QStringLiteral("%1/velmora-help-%2-%3.html").arg(folder).arg(getuid()).arg(context));
    if (forward.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QByteArray url = target.toEncoded();
        forward.write("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                      "<meta http-equiv=\"refresh\" content=\"0; url=" + url + "\"></head>"
                      "<body><a href=\"" + url + "\">Velmora help</a></body></html>\n");
        forward.close();
        return QDesktopServices::openUrl(QUrl::fromLocalFile(forward.fileName()));
    }
    return QDesktopServices::openUrl(target);
}

bool PosixShell::ShowFolder(const std::string& folder)
{
    const QString uri = QUrl::fromLocalFile(QString::fromStdString(folder)).toString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowFolders"));
        call << QStringList{uri} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage) return true;
    }
    return SpawnDetached("xdg-open", {folder});
}

} // namespace velmora
