// The emulated registry: two QSettings INI stores, the path mapping and the user-store fallback.
#include "XIni/KrRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const char kUserSub[] = "/.config/tessal/korvinex";
const char kMachineFolder[] = "/etc/tessal/korvinex";
const char kFile[] = "/7/config.ini";

std::unique_ptr<TKrRegIniHandle>& Slot() {
    static std::unique_ptr<TKrRegIniHandle> handle;
    return handle;
}

// Serialises the processes that share a store by an advisory lock on the store's folder: shared
// while a store is read, exclusive from a write to the end of its sync. Qt locks only its own
// write and decides whether to re-read the file by its size and time; a read racing another
// process's rename could pair the new size and time with the old text, and the next write then
// dropped that process's keys. With every read and write under this lock the pair stays true.
class TStoreLock {
public:
    TStoreLock(const QString& iniFile, bool exclusive) noexcept {
        const QString folder = QFileInfo(iniFile).absolutePath();
        if (exclusive) QDir().mkpath(folder);
        m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) return; // no folder yet: nothing to read, a writer makes it
        while (::flock(m_fd, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
        }
    }
    ~TStoreLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    TStoreLock(const TStoreLock&) = delete;
    TStoreLock& operator=(const TStoreLock&) = delete;

private:
    int m_fd = -1;
};

std::unique_ptr<QSettings> ReadStore(const QString& iniFile) {
    const TStoreLock lock(iniFile, false);
    return std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
}

} // namespace

TKrRegIniHandle::TKrRegIniHandle(const QString& userFolder, const QString& machineFolder)
    : m_userFolder(userFolder.isEmpty() ? QDir::homePath() + QLatin1String(kUserSub) : userFolder),
      m_machineFolder(machineFolder.isEmpty() ? QLatin1String(kMachineFolder) : machineFolder) {
    const QString machineFile = m_machineFolder + QLatin1String(kFile);
    m_user = ReadStore(m_userFolder + QLatin1String(kFile));
    m_machine = ReadStore(machineFile);
    // An absent file counts as writable when its folder exists and is writable; the folders
    // themselves are the platform's to create.
    QFileInfo file(machineFile);
    if (file.exists())
        m_machineWritable = file.isWritable();
    else {
        QFileInfo dir(file.absolutePath());
        m_machineWritable = dir.isDir() && dir.isWritable();
    }
}

TKrRegIniHandle::~TKrRegIniHandle() = default;

TKrRegIniHandle& TKrRegIniHandle::instance() {
    static const bool made = [] {
        if (!Slot()) Slot().reset(new TKrRegIniHandle(QString(), QString()));
        return true;
    }();
    (void)made;
    return *Slot();
}

void TKrRegIniHandle::relocate(const QString& userFolder, const QString& machineFolder) {
    instance();
    Slot().reset(new TKrRegIniHandle(userFolder, machineFolder));
}

QSettings* TKrRegIniHandle::getSettings(TKrRegKey key) {
    if (key == krRegCurrentUser) return instance().m_user.get();
    if (key == krRegLocalMachine) return instance().m_machine.get();
    return nullptr;
}

bool TKrRegIniHandle::machineWritable() {
    return instance().m_machineWritable;
}

QString TKrRegIniHandle::prepRegPath(TKrRegKey key, const QString& path) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/')).replace(QLatin1Char(' '), QLatin1Char('_'));
    return QLatin1String(key == krRegCurrentUser ? "hkcu/" : "hklm/") + p;
}

QString TKrRegIniHandle::readValue(TKrRegKey key, const QString& path) {
    QSettings* s = getSettings(key);
    return s ? s->value(prepRegPath(key, path)).toString() : QString();
}

QString TKrRegIniHandle::readValue(TKrRegKey key, const QString& path, const QString& name) {
    return readValue(key, path + QLatin1Char('/') + name);
}

bool TKrRegIniHandle::createValue(TKrRegKey key, const QString& path, const QString& value) {
    QSettings* s = getSettings(key);
    if (!s || (key == krRegLocalMachine && !machineWritable())) return false;
    const TStoreLock lock(s->fileName(), true);
    s->setValue(prepRegPath(key, path), value);
    s->sync();
    return s->status() == QSettings::NoError;
}

bool TKrRegIniHandle::createValue(TKrRegKey key, const QString& path, const QString& name,
                                  const QString& value) {
    return createValue(key, path + QLatin1Char('/') + name, value);
}

bool TKrRegIniHandle::remove(TKrRegKey key, const QString& path) {
    QSettings* s = getSettings(key);
    if (!s || (key == krRegLocalMachine && !machineWritable())) return false;
    const TStoreLock lock(s->fileName(), true);
    s->remove(prepRegPath(key, path));
    s->sync();
    return s->status() == QSettings::NoError;
}

bool TKrRegIniHandle::remove(TKrRegKey key, const QString& path, const QString& name) {
    return remove(key, path + QLatin1Char('/') + name);
}

bool TKrRegIniHandle::exists(TKrRegKey key, const QString& path) {
    QSettings* s = getSettings(key);
    if (!s) return false;
    const QString k = prepRegPath(key, path);
    if (s->contains(k)) return true;
    const QString group = k + QLatin1Char('/');
    const QStringList keys = s->allKeys();
    for (const QString& stored : keys)
        if (stored.startsWith(group)) return true;
    return false;
}

// ---- TKrRegMan -------------------------------------------------------------------------------

TKrRegMan::TKrRegMan(TKrRegKey key, TKrRegOpenFlags flags) {
    open(key, flags);
}

TKrRegMan::TKrRegMan(TKrRegKey key, const QString& path, TKrRegOpenFlags flags) {
    open(key, path, flags);
}

bool TKrRegMan::open(TKrRegKey key, TKrRegOpenFlags flags) {
    m_path.clear();
    if (key != krRegCurrentUser && key != krRegLocalMachine) {
        m_key = krRegNone;
        return false;
    }
    if (key == krRegLocalMachine && (flags & (krRegWrite | krRegCreate)) &&
        !TKrRegIniHandle::machineWritable())
        key = krRegCurrentUser;
    m_key = key;
    return true;
}

bool TKrRegMan::open(TKrRegKey key, const QString& path, TKrRegOpenFlags flags) {
    if (!open(key, flags)) return false;
    m_path = path;
    if ((flags & (krRegRead | krRegWrite)) && !TKrRegIniHandle::exists(m_key, m_path)) {
        close();
        return false;
    }
    return true;
}

void TKrRegMan::close() {
    m_key = krRegNone;
    m_path.clear();
}

QString TKrRegMan::Join(const QString& name) const {
    return m_path.isEmpty() ? name : m_path + QLatin1Char('/') + name;
}

QString TKrRegMan::readString(const QString& name) const {
    return isOpen() ? TKrRegIniHandle::readValue(m_key, Join(name)) : QString();
}

QString TKrRegMan::readString(const QString& subpath, const QString& name) const {
    return readString(subpath + QLatin1Char('/') + name);
}

bool TKrRegMan::writeString(const QString& name, const QString& value) {
    return isOpen() && TKrRegIniHandle::createValue(m_key, Join(name), value);
}

bool TKrRegMan::writeString(const QString& subpath, const QString& name, const QString& value) {
    return writeString(subpath + QLatin1Char('/') + name, value);
}

bool TKrRegMan::removeEntry(const QString& name) {
    return isOpen() && TKrRegIniHandle::remove(m_key, Join(name));
}

QString TKrRegMan::readString(TKrRegKey key, const QString& path, const QString& name) {
    TKrRegMan m(key, path, 0);
    return m.readString(name);
}

bool TKrRegMan::writeString(TKrRegKey key, const QString& path, const QString& name, const QString& value,
                            bool create) {
    TKrRegMan m(key, path, create ? krRegCreate : krRegWrite);
    return m.writeString(name, value);
}

bool TKrRegMan::removeEntry(TKrRegKey key, const QString& path, const QString& name) {
    TKrRegMan m(key, path, krRegWrite);
    return m.removeEntry(name);
}
