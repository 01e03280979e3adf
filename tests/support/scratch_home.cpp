#include "scratch_home.h"

#include <QByteArray>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <ftw.h>

namespace {

std::string g_scratch;

int removeEntry(const char* path, const struct stat*, int, struct FTW*)
{
    ::remove(path);
    return 0;
}

// At exit, after the statics made later and whatever they still wrote.
void removeScratch()
{
    if (!g_scratch.empty())
        ::nftw(g_scratch.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

} // namespace

void UseScratchHome()
{
    const QByteArray base = qEnvironmentVariableIsEmpty("TMPDIR") ? QByteArray("/tmp") : qgetenv("TMPDIR");
    std::string pattern = base.toStdString() + "/vsl-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return; // the test keeps the user's folders rather than not running
    g_scratch = pattern;
    std::atexit(removeScratch);
    const QString root = QString::fromStdString(g_scratch);
    for (const char* folder : {"config", "data", "cache", "state", "tmp"})
        QDir(root).mkdir(folder);
    qputenv("XDG_CONFIG_HOME", (root + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + "/data").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root + "/cache").toLocal8Bit());
    qputenv("XDG_STATE_HOME", (root + "/state").toLocal8Bit());
    qputenv("TMPDIR", (root + "/tmp").toLocal8Bit());
}
