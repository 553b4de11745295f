// The registry interface the product programs use, kept in two Qt INI files on Linux.
#pragma once

#include "Core/KrExport.h"

#include <QString>

#include <memory>

class QSettings;

/// Which store: 1 = current user, 2 = local machine, 0 = not open.
using TKrRegKey = int;
constexpr TKrRegKey krRegNone = 0;
constexpr TKrRegKey krRegCurrentUser = 1;
constexpr TKrRegKey krRegLocalMachine = 2;

/// Open flags, a bit mask: bits 1 and 2 require the key path to exist, bits 2 and 4 ask for
/// write access (4 alone: write, creating the path as needed).
using TKrRegOpenFlags = unsigned;
constexpr TKrRegOpenFlags krRegRead = 1;
constexpr TKrRegOpenFlags krRegWrite = 2;
constexpr TKrRegOpenFlags krRegCreate = 4;

/// The two stores: "7/config.ini" in the user folder (home + "/.config/tessal/korvinex") and in
/// the machine folder "/etc/tessal/korvinex". One instance per process, made on first use; every
/// write is synced to its file at once, under a lock on the store's folder that the stores of
/// other processes also take (writes through getSettings() bypass it). Keys are "hkcu/" or
/// "hklm/" + the path with '\' as '/' and blanks as '_'.
class KRSTD_API TKrRegIniHandle {
public:
    /// The value stored under path (and name); "" when absent or key is not 1 or 2.
    static QString readValue(TKrRegKey key, const QString& path);
    static QString readValue(TKrRegKey key, const QString& path, const QString& name);
    /// Stores and syncs; false when key is 2 and the machine file is not writable.
    static bool createValue(TKrRegKey key, const QString& path, const QString& value);
    static bool createValue(TKrRegKey key, const QString& path, const QString& name, const QString& value);
    /// Removes the value or group (same restriction as createValue).
    static bool remove(TKrRegKey key, const QString& path);
    static bool remove(TKrRegKey key, const QString& path, const QString& name);
    /// True for a stored value and for a group (some stored key starts with path + "/").
    static bool exists(TKrRegKey key, const QString& path);
    /// The store of key 1 or 2; null otherwise.
    static QSettings* getSettings(TKrRegKey key);
    /// Whether the machine file was writable when the stores were made.
    static bool machineWritable();
    /// The store key of a path: "hkcu/" (key 1) or "hklm/" + path, '\' as '/', ' ' as '_'.
    static QString prepRegPath(TKrRegKey key, const QString& path);
    /// Remakes the stores over other folders ("" keeps the default). For tests and tools that
    /// must not touch the user's or the machine's files; not thread-safe against other calls.
    static void relocate(const QString& userFolder, const QString& machineFolder);

    ~TKrRegIniHandle();

private:
    TKrRegIniHandle(const QString& userFolder, const QString& machineFolder);
    static TKrRegIniHandle& instance();

    QString m_userFolder, m_machineFolder;
    std::unique_ptr<QSettings> m_user, m_machine;
    bool m_machineWritable = false;
};

/// An open key path in one store, with string values inside it.
class KRSTD_API TKrRegMan {
public:
    TKrRegMan() = default;
    TKrRegMan(TKrRegKey key, TKrRegOpenFlags flags);
    TKrRegMan(TKrRegKey key, const QString& path, TKrRegOpenFlags flags);

    /// Opens the store's root. Asking for write access to the machine store when its file is not
    /// writable opens the user store instead.
    bool open(TKrRegKey key, TKrRegOpenFlags flags);
    /// As above at `path`; when the flags require existence and the path is absent, stays closed
    /// and returns false.
    bool open(TKrRegKey key, const QString& path, TKrRegOpenFlags flags);
    void close();
    bool isOpen() const { return m_key != krRegNone; }
    TKrRegKey key() const { return m_key; }

    /// The value path/name ("" when absent or closed).
    QString readString(const QString& name) const;
    QString readString(const QString& subpath, const QString& name) const;
    bool writeString(const QString& name, const QString& value);
    bool writeString(const QString& subpath, const QString& name, const QString& value);
    bool removeEntry(const QString& name);

    /// Shortcuts over a temporary manager; writeString opens with flags 4 when `create`, else 2.
    static QString readString(TKrRegKey key, const QString& path, const QString& name);
    static bool writeString(TKrRegKey key, const QString& path, const QString& name, const QString& value,
                            bool create);
    static bool removeEntry(TKrRegKey key, const QString& path, const QString& name);

private:
    QString Join(const QString& name) const;

    TKrRegKey m_key = krRegNone;
    QString m_path;
};
