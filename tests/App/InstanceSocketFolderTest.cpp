#include "App/InstanceSocketFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sets an environment variable for the life of the object (unset when value is null).
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QString& value)
        : m_name(name)
        , m_old(qgetenv(name))
        , m_had(qEnvironmentVariableIsSet(name)) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, QFile::encodeName(value));
        }
    }
    ~ScopedVariable() {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

int modeOf(const QString& path) {
    struct stat status {};
    return lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

bool setMode(const QString& path, int mode) {
    return chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

TEST(InstanceSocketFolder, TheSocketIsOnlyEverInAFolderPrivateToTheUser) {
    const bool root = geteuid() == 0;
    struct Case {
        const char* what;
        // Prepares the runtime and cache folders of the case; answers the runtime folder to
        // name in XDG_RUNTIME_DIR (a null string: unset).
        std::function<QString(const QString& runtime, const QString& cache)> prepare;
        // Where the socket goes: "runtime", or "own" (Ordella's own folder).
        QString where;
        bool needsRoot = false;
    };
    const QString own = QStringLiteral("Ordella/runtime-");
    const QList<Case> cases{
        {"a private runtime folder",
         [](const QString& runtime, const QString&) { return setMode(runtime, 0700) ? runtime : QString(); },
         "runtime"},
        {"no runtime folder", [](const QString&, const QString&) { return QString(); }, "own"},
        {"a runtime folder others may write",
         [](const QString& runtime, const QString&) { return setMode(runtime, 0777) ? runtime : QString(); },
         "own"},
        {"a runtime folder that is a link",
         [](const QString& runtime, const QString&) {
             QDir(runtime).mkdir("real", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
             QFile::link(runtime + "/real", runtime + "/link");
             return runtime + "/link";
         },
         "own"},
        {"no runtime folder, a cache folder all may write with the sticky bit",
         [](const QString&, const QString& cache) { return setMode(cache, 01777) ? QString() : "-"; }, "own"},
        {"a runtime folder of another user",
         [](const QString& runtime, const QString&) {
             return setMode(runtime, 0700) && chown(QFile::encodeName(runtime).constData(), 65534, 65534) == 0
                        ? runtime
                        : QString();
         },
         "own", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) {
            continue;
        }
        QTemporaryDir runtime;
        QTemporaryDir cache;
        const ScopedVariable cacheHome("XDG_CACHE_HOME", cache.path());
        const ScopedVariable runtimeDir("XDG_RUNTIME_DIR", c.prepare(runtime.path(), cache.path()));
        const InstanceSocketFolder::Location location = InstanceSocketFolder::locate(false);
        const QString folder = QFileInfo(location.serverName).path();
        if (c.where == "runtime") {
            EXPECT_EQ(location.serverName, runtime.filePath("ordella.socket"));
        } else {
            EXPECT_TRUE(folder.startsWith(cache.path() + "/" + own)) << folder.toStdString();
            EXPECT_EQ(QFileInfo(location.serverName).fileName(), "ordella.socket");
            EXPECT_EQ(modeOf(folder), 0700);
            EXPECT_TRUE(location.problem.isEmpty());
        }
    }
}

TEST(InstanceSocketFolder, AnOwnFolderThatIsNotPrivateIsRefused) {
    const bool root = geteuid() == 0;
    struct Case {
        const char* what;
        std::function<bool(const QString& folder)> spoil;
        QString problem;
        bool needsRoot = false;
    };
    const QList<Case> cases{
        {"others may enter it", [](const QString& f) { return setMode(f, 0711); },
         "its mode is 711, not 700"},
        {"others may write it", [](const QString& f) { return setMode(f, 0777); },
         "its mode is 777, not 700"},
        {"it is a link to a private folder",
         [](const QString& f) {
             const QString real = f + ".real";
             return QDir().rename(f, real) && QFile::link(real, f);
         },
         "is not a folder"},
        {"it is a file",
         [](const QString& f) {
             QFile file(f);
             return QDir(f).removeRecursively() && file.open(QIODevice::WriteOnly);
         },
         "is not a folder"},
        {"another user owns it",
         [](const QString& f) { return chown(QFile::encodeName(f).constData(), 65534, 65534) == 0; },
         "belongs to another user", true},
        // The folders that hold it: whoever may write one may put a folder of theirs in its place.
        {"others may write the folder that holds it",
         [](const QString& f) { return setMode(QFileInfo(f).path(), 0777); }, "Ordella (its mode is 777)"},
        {"another user owns the folder that holds it",
         [](const QString& f) {
             const QString parent = QFileInfo(f).path();
             return chown(QFile::encodeName(parent).constData(), 65534, 65534) == 0 && setMode(parent, 0777);
         },
         "Ordella belongs to another user", true},
        {"others in the group may write the cache folder",
         [](const QString& f) { return setMode(QFileInfo(QFileInfo(f).path()).path(), 0770); },
         "(its mode is 770)"},
        {"the folder that holds it is a link to one others may write",
         [](const QString& f) {
             const QString parent = QFileInfo(f).path();
             return QDir().rename(parent, parent + ".real") && QFile::link(parent + ".real", parent) &&
                    setMode(parent + ".real", 0777);
         },
         "Ordella.real (its mode is 777)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) {
            continue;
        }
        QTemporaryDir cache;
        const ScopedVariable cacheHome("XDG_CACHE_HOME", cache.path());
        const ScopedVariable runtimeDir("XDG_RUNTIME_DIR", QString());
        const InstanceSocketFolder::Location fine = InstanceSocketFolder::locate(true);
        ASSERT_TRUE(fine.problem.isEmpty()) << fine.problem.toStdString();
        EXPECT_TRUE(fine.serverName.endsWith("/ordella-demo.socket"));
        ASSERT_TRUE(c.spoil(InstanceSocketFolder::ownFolder()));

        const InstanceSocketFolder::Location refused = InstanceSocketFolder::locate(true);
        EXPECT_TRUE(refused.serverName.isEmpty());
        EXPECT_TRUE(refused.problem.contains(c.problem)) << refused.problem.toStdString();
        EXPECT_TRUE(refused.problem.contains("mode 700")) << refused.problem.toStdString();
    }
}

} // namespace
