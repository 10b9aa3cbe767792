#include "platform/posix/PosixShell.h"

#include "common/RetryOnInterrupt.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

bool PosixShell::StartHidden(const std::string& program, const std::vector<std::string>& arguments)
{
    return SpawnDetached(program, arguments);
}

bool PosixShell::OpenUrl(const std::string& url)
{
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

namespace {

// The folder of this process's help forwarding pages: made by mkdtemp (a name nobody can
// predict, mode 0700) in the temporary folder, and removed with its pages at exit.
class HelpPageFolder {
public:
    ~HelpPageFolder() { Remove(); }

    // The folder, made afresh when there is none yet or the old one is no longer ours
    // alone; empty when it cannot be made.
    std::string Folder(const std::string& temporaryFolder)
    {
        if (!m_path.empty() && !StillOurs()) m_path.clear();
        if (m_path.empty()) {
            std::string pattern = temporaryFolder + "/velmora-help-XXXXXX";
            if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
        }
        return m_path;
    }

    void Remember(const std::string& page) { m_pages.push_back(page); }

private:
    bool StillOurs() const
    {
        struct stat st {};
        return lstat(m_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
               (st.st_mode & 077) == 0;
    }

    void Remove()
    {
        if (m_path.empty() || !StillOurs()) return;
        for (const std::string& page : m_pages)
            unlink(page.c_str());
        rmdir(m_path.c_str());
    }

    std::string m_path;
    std::vector<std::string> m_pages;
};

HelpPageFolder& HelpPages()
{
    static HelpPageFolder folder;
    return folder;
}

// Writes a new file that is no link and did not exist before; false on any failure.
bool WriteNewFile(const std::string& path, const QByteArray& content)
{
    // Whatever has that name in our own folder is an old page of ours or was put there by
    // us; it goes, and the new file must be created, never opened.
    unlink(path.c_str());
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const char* data = content.constData();
    qsizetype left = content.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = write(fd, data, static_cast<std::size_t>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        left -= n;
    }
    if (close(fd) != 0) ok = false;
    if (!ok) unlink(path.c_str());
    return ok;
}

} // namespace

bool PosixShell::OpenHelp(const std::string& helpFile, int context)
{
    QUrl target = QUrl::fromLocalFile(QString::fromStdString(helpFile));
    target.setFragment(QStringLiteral("context-%1").arg(context));
    // URL handlers drop the "#section" of a local file, so a tiny page forwards the
    // browser to the section instead. It lives in a private folder of unpredictable name:
    // another user of the shared temporary folder can neither plant a link where we write
    // nor read or replace the page.
    const char* tmp = std::getenv("TMPDIR");
    const std::string tempFolder = tmp != nullptr && tmp[0] == '/' ? std::string(tmp) : std::string("/tmp");
    const std::string folder = HelpPages().Folder(tempFolder);
    if (!folder.empty()) {
        const std::string page = folder + "/context-" + std::to_string(context) + ".html";
        const QByteArray url = target.toEncoded();
        const QByteArray content = "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                   "<meta http-equiv=\"refresh\" content=\"0; url=" +
                                   url +
                                   "\"></head>"
                                   "<body><a href=\"" +
                                   url + "\">Velmora help</a></body></html>\n";
        if (WriteNewFile(page, content)) {
            HelpPages().Remember(page);
            return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page)));
        }
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
