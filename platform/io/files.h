// File, formatting and time services of the run-time. Qt-free interface (POSIX underneath).
//
// Paths use the platform's separator: a folder and a name that Windows joins with a backslash
// are joined with '/' on Linux. Errors are the file codes of toolbox/core/errors.h:
// RT_ERR_FILE_NOT_FOUND (-94) for a missing file or folder on the path, RT_ERR_FILE_ACCESS (-95)
// for a permission, read-only or file-versus-folder refusal, RT_ERR_DISK_FULL (-97),
// RT_ERR_FILE_EXISTS (-100), RT_ERR_TOO_MANY_FILES (-91), RT_ERR_IO (-93) for anything else;
// RT_ERR_NULL_POINTER (-65) for a null argument and RT_ERR_INVALID_VALUE (-47) for an argument out
// of range, an unknown file handle, or a text that does not fit its buffer (such a buffer gets an
// empty text, never a cut path).
//
// Tests redirect the program folder, the legacy root and the clock (platform/io/testing_io.h).
#pragma once

#include <cstdarg>
#include <cstddef>

// Program folder: the folder of the running executable (/proc/self/exe; tests can redirect it).
// The path has no trailing separator. Returns 0, RT_ERR_INVALID_VALUE (buffer too small) or
// RT_ERR_IO (the executable's path cannot be read).
int GetProjectDir(char *directory, size_t directorySize);
template <size_t N> int GetProjectDir(char (&directory)[N]) {
    return GetProjectDir(directory, N);
}
// The folder that stands for the root of drive C: ("C:\ks.ini" is <legacy root>/ks.ini). On Linux
// $XDG_CONFIG_HOME/ks_read when that variable holds an absolute path, else $HOME/.config/ks_read.
// The folder is not created. RT_ERR_FILE_NOT_FOUND when neither variable is usable.
int RT_GetLegacyRoot(char *directory, size_t directorySize);
// Maps a path written with a drive letter and backslashes ("C:\ks.ini") to the platform: drive C:
// is the legacy root, another drive X: the folder <legacy root>/x. A path without a drive only has
// its backslashes turned into '/'. RT_ERR_INVALID_VALUE for a drive path with a ".." component
// (it would leave the legacy root) or a buffer too small.
int RT_MapLegacyPath(const char *path, char *mapped, size_t mappedSize);

// 1 when the file or folder exists (size of a file in *size, 0 for a folder; a file of 2 GiB or
// more reports INT_MAX), 0 when it does not, negative on error. size may be null.
int GetFileInfo(const char *path, int *size);
// 0 on success (also when it already exists as a folder); RT_ERR_FILE_EXISTS when a file has the
// name; RT_ERR_FILE_NOT_FOUND when the parent folder is missing.
int MakeDir(const char *path);
// 0 on success; RT_ERR_FILE_ACCESS for a folder, RT_ERR_IO for a file of 2 GiB or more.
int RT_GetFileSize(const char *path, int *size);
// Deletes a file (not a folder: RT_ERR_FILE_ACCESS). 0 on success.
int RT_DeleteFile(const char *path);
// Copies a file; 0 on success. The bytes go to a temporary file beside the target that is renamed
// over it at the end, so a copy that fails part-way leaves no partial file at target (an earlier
// target stays as it was). A read-only target, or a folder as target, gives RT_ERR_FILE_ACCESS.
// The copy gets the permissions a new file of this process would get.
int RT_CopyFile(const char *source, const char *target);

// Replaces the file at path with size bytes of data, whole or not at all: the bytes go to a
// temporary file of a unique name, created exclusively (never through a link of that name), in
// the folder of the file being replaced, and that file is renamed over it only once every byte is
// on disk. When path is a symbolic link (or a chain of them), the file it points to is replaced and
// the link stays. The new file keeps the permissions of the file it replaces; a new file gets those
// a new file of this process would get. 0, RT_ERR_DISK_FULL, RT_ERR_FILE_ACCESS (read-only or
// protected file or folder, or a folder of that name), RT_ERR_FILE_NOT_FOUND (missing folder) or
// RT_ERR_IO; the file at path is then as it was.
int RT_ReplaceFile(const char *path, const void *data, size_t size);
// Appends size bytes to the file at path (creating a missing file), whole or not at all: after a
// write that stops short (a full disk) the file is cut back to the length it had before. 0, or
// the file error as for RT_ReplaceFile.
int RT_AppendWhole(const char *path, const void *data, size_t size);

// access: 0 read/write, 1 read only, 2 write only; action: 0 truncate, 1 append, 2 open (keep);
// type: 0 binary, 1 text (on Linux text mode writes "\n" as it is). Opening for writing creates
// a missing file; read-only opening never creates or truncates. At most 256 files are open at
// once. Returns a positive file handle or a negative error.
enum { RT_FILE_READWRITE = 0, RT_FILE_READ = 1, RT_FILE_WRITE = 2 };
enum { RT_FILE_TRUNCATE = 0, RT_FILE_APPEND = 1, RT_FILE_OPEN = 2 };
enum { RT_FILE_BINARY = 0, RT_FILE_ASCII = 1 };
int RT_OpenFile(const char *path, int access, int action, int type);
// 0, or RT_ERR_INVALID_VALUE for a handle that is not open.
int RT_CloseFile(int fileHandle);
// Writes count bytes (count -1: up to the NUL). Returns the bytes written or a negative error.
int RT_WriteFile(int fileHandle, const char *data, int count);

// printf-style formatting. Fmt writes at most bufferSize bytes (always terminated) and returns
// the number of characters written (a longer result is cut) or a negative error; FmtFile writes
// to a file handle and returns the bytes written.
int Fmt(char *buffer, size_t bufferSize, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
template <size_t N, typename... Args> int Fmt(char (&buffer)[N], const char *format, Args... args) {
    return Fmt(static_cast<char *>(buffer), N, format, args...);
}
int FmtFile(int fileHandle, const char *format, ...) __attribute__((format(printf, 2, 3)));

// Index (from the start of buffer) of pattern in buffer[startIndex .. startIndex + numBytes)
// (numBytes -1: to the NUL), or -1. fromRight non-zero finds the last occurrence; caseSensitive 0
// compares ASCII letters without case. An empty pattern, a negative startIndex or a numBytes below
// -1 give -1. The caller vouches that numBytes bytes are readable.
int FindPattern(const char *buffer, int startIndex, int numBytes, const char *pattern,
                int caseSensitive, int fromRight);

// Date "MM-DD-YYYY" and time "HH:MM:SS" (24-hour, local time) of the run-time's clock; the texts
// live until the next call from the same thread.
const char *DateStr(void);
// Calendar time of the run-time's clock (tests can fix it); what time() would return.
long long RT_CurrentTime(void);
const char *TimeStr(void);
// The same texts for a calendar time taken earlier (an RT_CurrentTime value), such as the moment a
// record was shown; "00-00-0000" / "00:00:00" for a time the calendar cannot express.
const char *RT_DateStrAt(long long calendarTime);
const char *RT_TimeStrAt(long long calendarTime);
double Timer(void); // monotonic seconds
// Pauses the calling thread; zero, negative and NaN pauses return at once.
void Delay(double seconds);
// Waits until beginTime + interval (Timer seconds); returns at once when that has passed.
// Returns Timer() after the wait.
double SyncWait(double beginTime, double interval);
