#pragma once

#include <QByteArray>
#include <QString>
#include <array>

namespace platform {

// How a numbered file is opened. None of them locks the file: other
// processes (and other numbers) may read and write it meanwhile.
enum class OpenKind
{
    SequentialRead,       // read from the start; a missing file is error 53
    SequentialWrite,      // created when missing, emptied when present
    SequentialAppend,     // created when missing, written at the end
    Binary,               // read and write, created when missing, content kept
    BinaryWriteOnly,      // write only, created when missing, content kept
    BinaryReadShared,     // read only; a missing file is error 53
    SequentialReadShared, // read only; a missing file is error 53
    TruncateThenBinary,   // emptied (created when missing), then read and write
};

// The process's numbered files, 1 to 255, as the program's file routines
// know them: a number is reserved, a file opened under it, read and written
// through it, and closed by whoever holds it. Failures throw RunError with
// the numbers of RunError::fromErrno; an unknown number is error 52, a read
// on a file opened for writing (or the reverse) error 54.
class NumberedFiles
{
public:
    static constexpr qint16 First = 1;
    static constexpr qint16 Last = 255;

    NumberedFiles() = default;
    ~NumberedFiles();
    NumberedFiles(const NumberedFiles&) = delete;
    NumberedFiles& operator=(const NumberedFiles&) = delete;

    // Takes the lowest number that is neither open nor reserved; error 67
    // when all are taken. The number stays taken until release() or close().
    qint16 reserve();
    // Gives back a reserved number on which nothing is open.
    void release(qint16 number);
    // Opens `path` under a reserved number (a file already open under it is
    // error 55). On failure the number stays reserved.
    void open(qint16 number, const QString& path, OpenKind kind);
    // Closes the file and frees the number.
    void close(qint16 number);

    bool isOpen(qint16 number) const;
    // Length of the open file in bytes.
    qint64 length(qint16 number) const;
    // Reads up to `count` bytes at the file's position (the first byte after
    // opening); fewer at the end of the file.
    QByteArray read(qint16 number, qint64 count);
    // Writes all bytes at the position (at the end for appending files).
    void write(qint16 number, const QByteArray& bytes);

private:
    struct Entry
    {
        bool reserved = false;
        int fd = -1;
        bool canRead = false;
        bool canWrite = false;
        QString path;
    };
    Entry& openEntry(qint16 number, const char* operation);
    const Entry& openEntry(qint16 number, const char* operation) const;

    std::array<Entry, Last + 1> m_entries; // index 0 unused
};

} // namespace platform
