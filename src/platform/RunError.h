#pragma once

#include <QString>
#include <exception>
#include <string>

namespace platform {

// The one run-time error of the program: a failure that ends the routine and
// travels up to the command that started the work. Numbers follow the
// platform's run-time error numbers the program reasons with.
class RunError : public std::exception
{
public:
    enum Number
    {
        InvalidProcedureCall = 5,
        Overflow = 6,
        TypeMismatch = 13,
        BadFileNameOrNumber = 52,
        FileNotFound = 53,
        BadFileMode = 54,
        FileAlreadyOpen = 55,
        DiskFull = 61,
        TooManyFiles = 67,
        PermissionDenied = 70,
        PathFileAccessError = 75,
        PathNotFound = 76,
        ObjectVariableNotSet = 91,
        DatabaseError = 3146,
        MxQueryError = 20000,
    };

    RunError(int number, QString description, QString source = {});

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const QString& source() const { return m_source; }
    // "Error <n>: <description>" (with " (<source>)" when a source is known).
    QString text() const;
    const char* what() const noexcept override { return m_what.c_str(); }

    // Maps the errno of a failed operation on `path` onto the numbers above,
    // with the platform's plain description (callers that show a message
    // add the file name themselves): a missing file is 53, a missing or
    // non-directory part of its path 76, a name the system cannot take 52,
    // a full disk 61, any other refusal (access, in use, a directory where
    // a file was meant, a name that exists) 75.
    static RunError fromErrno(int err, const QString& source, const QString& path = {});

private:
    int m_number;
    QString m_description;
    QString m_source;
    std::string m_what;
};

// Runs one step of a routine that skips failing steps and goes on.
// Returns true when the step ran without a RunError.
template <typename Step> bool skipOnError(Step&& step)
{
    try {
        step();
        return true;
    } catch (const RunError&) {
        return false;
    }
}

} // namespace platform
