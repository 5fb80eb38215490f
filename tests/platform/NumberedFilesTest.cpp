#include "platform/NumberedFiles.h"
#include "platform/RunError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

using platform::NumberedFiles;
using platform::OpenKind;
using platform::RunError;

namespace {
// The number of the RunError `step` throws; 0 when it throws none.
template <typename Step> int errorOf(Step&& step)
{
    try {
        step();
    } catch (const RunError& e) {
        return e.number();
    }
    return 0;
}
} // namespace

// Refusals the callers tell apart: a missing file (53) is not a missing
// folder on the way to it (76), and neither is a path through a regular
// file (76) or a name the system refuses to open as asked (75). Made real
// on the file system where it can be: the tests run as root, so a denied
// permission is only mapped, not provoked.
TEST(RunErrorFromErrno, MissingFileMissingPathAndAccessAreTold)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("regular.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    NumberedFiles files;
    const qint16 n = files.reserve();
    const auto openError = [&](const QString& path, OpenKind kind) {
        return errorOf([&] { files.open(n, path, kind); });
    };
    EXPECT_EQ(openError(dir.filePath("missing.txt"), OpenKind::SequentialRead), 53);
    EXPECT_EQ(openError(dir.filePath("missing/inner.txt"), OpenKind::SequentialRead), 76);
    EXPECT_EQ(openError(dir.filePath("missing/inner.txt"), OpenKind::SequentialWrite), 76);
    EXPECT_EQ(openError(file + "/below.txt", OpenKind::SequentialRead), 76);
    EXPECT_EQ(openError(file + "/below.txt", OpenKind::SequentialAppend), 76);
    EXPECT_EQ(openError(dir.path(), OpenKind::SequentialWrite), 75);
    EXPECT_EQ(openError(dir.path(), OpenKind::SequentialRead), 75);
    EXPECT_FALSE(files.isOpen(n)); // the number stays reserved for a retry
    files.open(n, file, OpenKind::SequentialRead);
    EXPECT_EQ(files.read(n, 10), "x");
    files.close(n);

    // ENOENT and ENOTDIR are told apart by the opens above.
    for (const int err : {EACCES, EPERM, EISDIR, EEXIST, EBUSY, EROFS, ETXTBSY})
        EXPECT_EQ(RunError::fromErrno(err, "Open").number(), 75) << err;
    const RunError e = RunError::fromErrno(EACCES, "Open");
    EXPECT_EQ(e.description(), "Path/File access error");
    EXPECT_EQ(e.source(), "Open");
}

// Numbers are handed out lowest free first, 1 to 255, and come back for
// reuse once released or closed; the 256th is refused with 67 and taking one
// back makes room again. Unknown numbers are 52, a second open on a number
// 55, reading a file opened for writing 54.
TEST(NumberedFiles, LowestFreeNumberFirstUpTo255AndReuseAfterClose)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    NumberedFiles files;
    EXPECT_EQ(files.reserve(), 1);
    EXPECT_EQ(files.reserve(), 2);
    EXPECT_EQ(files.reserve(), 3);
    files.open(2, dir.filePath("twee.txt"), OpenKind::SequentialWrite);
    files.write(2, "twee\r\n");
    files.release(1);
    EXPECT_EQ(files.reserve(), 1); // released: lowest again
    files.close(2);
    EXPECT_EQ(files.reserve(), 2); // closed: free again
    EXPECT_EQ(files.reserve(), 4);

    for (int expected = 5; expected <= NumberedFiles::Last; ++expected)
        ASSERT_EQ(files.reserve(), expected);
    EXPECT_EQ(errorOf([&] { files.reserve(); }), 67);
    files.open(200, dir.filePath("twee.txt"), OpenKind::SequentialAppend);
    files.write(200, "drie\r\n");
    files.close(200);
    EXPECT_EQ(files.reserve(), 200);
    EXPECT_EQ(errorOf([&] { files.reserve(); }), 67);

    const qint16 n = 3;
    files.open(n, dir.filePath("twee.txt"), OpenKind::SequentialRead);
    EXPECT_EQ(files.length(n), 12);
    EXPECT_EQ(files.read(n, 100), "twee\r\ndrie\r\n");
    EXPECT_EQ(files.read(n, 100), "");
    EXPECT_EQ(errorOf([&] { files.write(n, "x"); }), 54);
    EXPECT_EQ(errorOf([&] { files.open(n, dir.filePath("twee.txt"), OpenKind::Binary); }), 55);
    for (const qint16 bad : {qint16(0), qint16(256), qint16(-1)})
        EXPECT_EQ(errorOf([&] { files.read(bad, 1); }), 52) << bad;
    files.close(n);
    EXPECT_EQ(errorOf([&] { files.read(n, 1); }), 52);
}
