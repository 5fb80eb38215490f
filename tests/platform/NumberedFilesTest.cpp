#include "platform/NumberedFiles.h"
#include "platform/RunError.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

using platform::NumberedFiles;
using platform::OpenKind;
using platform::RunError;
using testing_support::thrown;

// Refusals the callers tell apart: a missing file (53) is not a missing
// folder on the way to it (76), and neither is a path through a regular
// file (76) or a name the system refuses to open as asked (75). Made real
// on the file system where it can be: the tests run as root, so a denied
// permission is only mapped, not provoked.
//
// Numbers are handed out lowest free first, 1 to 255, and come back for
// reuse once released or closed; the 256th is refused with 67 and taking one
// back makes room again. Unknown numbers are 52, a second open on a number
// 55, reading a file opened for writing 54.
TEST(NumberedFiles, OpenRefusalsAreToldApartAndNumbersReused)
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
    qint16 n = files.reserve();
    const auto openError = [&](const QString& path, OpenKind kind) {
        return thrown([&] { files.open(n, path, kind); }).number();
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
    EXPECT_EQ(thrown([&] { files.reserve(); }).number(), 67);
    files.open(200, dir.filePath("twee.txt"), OpenKind::SequentialAppend);
    files.write(200, "drie\r\n");
    files.close(200);
    EXPECT_EQ(files.reserve(), 200);
    EXPECT_EQ(thrown([&] { files.reserve(); }).number(), 67);

    n = 3;
    files.open(n, dir.filePath("twee.txt"), OpenKind::SequentialRead);
    EXPECT_EQ(files.length(n), 12);
    EXPECT_EQ(files.read(n, 100), "twee\r\ndrie\r\n");
    EXPECT_EQ(files.read(n, 100), "");
    EXPECT_EQ(thrown([&] { files.write(n, "x"); }).number(), 54);
    EXPECT_EQ(thrown([&] { files.open(n, dir.filePath("twee.txt"), OpenKind::Binary); }).number(),
              55);
    for (const qint16 bad : {qint16(0), qint16(256), qint16(-1)})
        EXPECT_EQ(thrown([&] { files.read(bad, 1); }).number(), 52) << bad;
    files.close(n);
    EXPECT_EQ(thrown([&] { files.read(n, 1); }).number(), 52);
}
