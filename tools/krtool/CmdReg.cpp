// krtool reg: read, write and list values of the registry emulated over the user and machine stores.
#include "KrToolCommand.h"

#include "XIni/KrRegistry.h"

#include <QSettings>
#include <QStringList>
#include <cstdio>
#include <string>

namespace {

// "hkcu"/"user" is the current user's store, "hklm"/"machine" the machine's; 0 for anything else.
TKrRegKey StoreOf(const std::string& s) {
    if (s == "hkcu" || s == "user") return krRegCurrentUser;
    if (s == "hklm" || s == "machine") return krRegLocalMachine;
    return krRegNone;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// PATH names a value: the last '\' or '/' separates the key path from the value name.
void SplitValuePath(const std::string& path, QString& key, QString& name) {
    const std::size_t cut = path.find_last_of("\\/");
    key = cut == std::string::npos ? QString() : Q(path.substr(0, cut));
    name = Q(cut == std::string::npos ? path : path.substr(cut + 1));
}

// Lists every value below the group `prefix` of a store as "path = value", sorted.
void List(QSettings* s, const QString& prefix) {
    s->sync();
    if (!prefix.isEmpty()) s->beginGroup(prefix);
    const QStringList keys = s->allKeys();
    for (const QString& k : keys) {
        const QString v = s->value(k).toString();
        std::printf("%s = %s\n", k.toUtf8().constData(), v.toUtf8().constData());
    }
    if (!prefix.isEmpty()) s->endGroup();
}

// get STORE PATH\NAME: the value (exit 1 when absent); set STORE PATH\NAME VALUE: stores it (a
// machine store that is not writable falls back to the user's, as the registry does);
// list STORE [PATH]: the values below PATH.
int RunReg(const std::vector<std::string>& args) {
    if (args.size() < 2) return KrToolUsage("reg");
    const TKrRegKey key = StoreOf(args[1]);
    if (key == krRegNone) return KrToolUsage("reg");
    const std::string& cmd = args[0];
    QString path, name;
    if (cmd == "get" && args.size() == 3) {
        SplitValuePath(args[2], path, name);
        if (!TKrRegIniHandle::exists(key, path.isEmpty() ? name : path + QLatin1Char('/') + name)) {
            std::fprintf(stderr, "krtool reg: no value %s\n", args[2].c_str());
            return 1;
        }
        std::printf("%s\n", TKrRegMan::readString(key, path, name).toUtf8().constData());
    } else if (cmd == "set" && args.size() == 4) {
        SplitValuePath(args[2], path, name);
        if (!TKrRegMan::writeString(key, path, name, Q(args[3]), true)) {
            std::fprintf(stderr, "krtool reg: cannot write %s\n", args[2].c_str());
            return 1;
        }
    } else if (cmd == "list" && args.size() <= 3) {
        QSettings* s = TKrRegIniHandle::getSettings(key);
        const QString root = TKrRegIniHandle::prepRegPath(key, args.size() == 3 ? Q(args[2]) : QString());
        List(s, root.endsWith(QLatin1Char('/')) ? root.chopped(1) : root);
    } else {
        return KrToolUsage("reg");
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

KRTOOL_COMMAND(reg, "reg", "get|set|list hkcu|hklm [PATH\\NAME [VALUE]]",
               "read, write or list values of the emulated registry", RunReg);
