// File, formatting and time services of the run-time. Qt-free interface.
//
// Paths use the platform's separator; a Part's backslash joins become '/' on Linux.
#pragma once

#include <cstdarg>
#include <cstddef>

// Program folder: the folder of the running executable (tests can redirect it). The path has no
// trailing separator. Returns 0 or a negative error.
int GetProjectDir(char *directory, size_t directorySize);
template <size_t N> int GetProjectDir(char (&directory)[N]) {
    return GetProjectDir(directory, N);
}
// The folder that stands for the root of drive C: ("C:\ks.ini" is <legacy root>/ks.ini).
int RT_GetLegacyRoot(char *directory, size_t directorySize);
// Maps a path written with a drive letter and backslashes ("C:\ks.ini") to the platform.
int RT_MapLegacyPath(const char *path, char *mapped, size_t mappedSize);

// 1 when the file or folder exists (size of a file in *size, 0 for a folder), 0 when it does
// not, negative on error.
int GetFileInfo(const char *path, int *size);
// 0 on success (also when it already exists as a folder), negative on error.
int MakeDir(const char *path);
int RT_GetFileSize(const char *path, int *size); // 0 on success, negative on error
int RT_DeleteFile(const char *path);             // 0 on success, negative on error
// Copies a file; 0 on success. A copy that fails part-way leaves no partial file at target.
int RT_CopyFile(const char *source, const char *target);

// access: 0 read/write, 1 read only, 2 write only; action: 0 truncate, 1 append, 2 open (keep);
// type: 0 binary, 1 text (text mode: "\n" is written as the platform's line end).
// Returns a positive file handle or a negative error.
enum { RT_FILE_READWRITE = 0, RT_FILE_READ = 1, RT_FILE_WRITE = 2 };
enum { RT_FILE_TRUNCATE = 0, RT_FILE_APPEND = 1, RT_FILE_OPEN = 2 };
enum { RT_FILE_BINARY = 0, RT_FILE_ASCII = 1 };
int RT_OpenFile(const char *path, int access, int action, int type);
int RT_CloseFile(int fileHandle);
int RT_WriteFile(int fileHandle, const char *data, int count);

// printf-style formatting. Fmt writes at most bufferSize bytes (always terminated) and returns
// the number of characters written or a negative error; FmtFile writes to a file handle.
int Fmt(char *buffer, size_t bufferSize, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
template <size_t N, typename... Args> int Fmt(char (&buffer)[N], const char *format, Args... args) {
    return Fmt(static_cast<char *>(buffer), N, format, args...);
}
int FmtFile(int fileHandle, const char *format, ...) __attribute__((format(printf, 2, 3)));

// Index of pattern in buffer[startIndex .. startIndex + numBytes) (numBytes -1: to the NUL), or
// -1. fromRight non-zero finds the last occurrence.
int FindPattern(const char *buffer, int startIndex, int numBytes, const char *pattern,
                int caseSensitive, int fromRight);

// Date "MM-DD-YYYY" and time "HH:MM:SS" (24-hour) of the run-time's clock; the texts live until
// the next call.
const char *DateStr(void);
// Calendar time of the run-time's clock (tests can fix it); what time() would return.
long long RT_CurrentTime(void);
const char *TimeStr(void);
double Timer(void); // monotonic seconds
void Delay(double seconds);
// Waits until beginTime + interval (Timer seconds); returns at once when that has passed.
double SyncWait(double beginTime, double interval);
