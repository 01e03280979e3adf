// A save onto a full disk: named as such, and nothing left behind. Needs a
// small file system of its own, so it runs where tmpfs may be mounted (root).
#include "printfile/filesafety.h"
#include "printfile/printjobinput.h"
#include "printfile/savefilestream.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>

namespace {

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=256k") != 0)
            GTEST_SKIP() << "no tmpfs of our own here (needs root)";
        m_mounted = true;
    }
    void TearDown() override
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    QStringList entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

    QTemporaryDir m_dir;
    bool m_mounted = false;
};

TEST_F(FullDisk, ASaveThatDoesNotFitSaysTheDiskIsFullAndLeavesNothing)
{
    const QByteArray megabyte(1 << 20, 'x');
    {
        // A write cut short: the writers see the count and ask why.
        QSaveFile file(m_dir.filePath("resaved.vxs"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(megabyte.left(200 * 1024)), 200 * 1024);
        EXPECT_LT(file.write(megabyte.left(100 * 1024)), 100 * 1024);
        EXPECT_EQ(WriteFailureSentence(file), "No space left on the device");
        file.cancelWriting();
        file.commit();
    }
    EXPECT_TRUE(entries().isEmpty()) << entries().join(' ').toStdString();

    SaveFileStream stream(m_dir.filePath("plate.vxs"));
    ASSERT_EQ(stream.open(), PrintFileOk);
    stream.writeRaw(megabyte.constData(), megabyte.size());
    EXPECT_EQ(stream.commit(), PrintFileNoSpace);
    EXPECT_TRUE(entries().isEmpty()) << entries().join(' ').toStdString();

    // What the last write leaves in the buffer fails only at the commit.
    {
        QSaveFile file(m_dir.filePath("buffered.vxs"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(megabyte.left(250 * 1024)), 250 * 1024);
        file.write(megabyte.left(8 * 1024));
        file.write(megabyte.left(8 * 1024));
        QString why;
        EXPECT_FALSE(CommitSaveFile(file, why));
        EXPECT_EQ(why, "No space left on the device");
    }
    EXPECT_TRUE(entries().isEmpty()) << entries().join(' ').toStdString();

    // With room, the same commit writes the file.
    QSaveFile small(m_dir.filePath("small.vxs"));
    ASSERT_TRUE(small.open(QIODevice::WriteOnly));
    small.write("layers");
    QString why;
    EXPECT_TRUE(CommitSaveFile(small, why)) << why.toStdString();
    EXPECT_EQ(entries(), QStringList{"small.vxs"});
}

} // namespace
