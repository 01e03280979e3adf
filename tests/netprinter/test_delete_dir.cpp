#include "WebForm.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
void touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

TEST(DeleteDir, RemovesTheTreeButNoParentAndFollowsNoLink)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString root = tmp.path();
    const QString cache = root + "/app/QtWebEngine/Default";
    ASSERT_TRUE(QDir().mkpath(cache + "/Cache/index-dir"));
    ASSERT_TRUE(QDir().mkpath(root + "/outside"));
    touch(cache + "/Cookies");
    touch(cache + "/.hidden");
    touch(cache + "/Cache/index-dir/the-real-index");
    touch(root + "/outside/keep.txt");
    ASSERT_TRUE(QFile::link(root + "/outside", cache + "/link-to-outside"));
    ASSERT_TRUE(QFile::link(root + "/outside/keep.txt", cache + "/link-to-file"));

    EXPECT_TRUE(WebForm::deleteDir(cache));
    EXPECT_FALSE(QFileInfo::exists(cache));
    // The parents stay, though now empty.
    EXPECT_TRUE(QDir(root + "/app/QtWebEngine").exists());
    EXPECT_TRUE(QDir(root + "/app/QtWebEngine").isEmpty());
    // What the links pointed at is untouched.
    EXPECT_TRUE(QFile::exists(root + "/outside/keep.txt"));

    EXPECT_FALSE(WebForm::deleteDir(QString()));
    EXPECT_TRUE(WebForm::deleteDir(root + "/no-such-folder"));
    EXPECT_TRUE(QDir(root).exists());
}
}
