// Writing the INI object through a line sink and safely to a file. See ini.h.
#include "ini/ini.h"

#include "ini/ini_internal.h"
#include "ini/multibyte.h"
#include "toolbox/core/toolbox.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ini_detail;

namespace {

constexpr size_t kMaxPieceBytes = 80;        // longer values are written as numbered pieces
constexpr size_t kFileBufferSize = 16384;    // stdio buffer of the written file
constexpr int kMaxTemporaryNumber = 999;     // ini$$0.TMP .. ini$$999.TMP
constexpr char kTemporaryPrefix[] = "ini$$"; // at most 5 bytes
constexpr char kTemporaryExtension[] = "TMP";

int WriteErrorFromErrno(int error) {
    switch (error) {
    case ENOMEM:
        return RT_ERR_OUT_OF_MEMORY;
    case EPERM:
    case EACCES:
        return RT_ERR_FILE_ACCESS;
    case ENOSPC:
        return RT_ERR_DISK_FULL;
    default:
        return RT_ERR_IO; // errno 0 after a failed write counts as a failure too
    }
}

int RenameErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return RT_ERR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
        return RT_ERR_FILE_ACCESS;
    case ENOMEM:
        return RT_ERR_OUT_OF_MEMORY;
    case EEXIST:
    case ENOTEMPTY:
        return RT_ERR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT:
        return RT_ERR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return RT_ERR_TOO_MANY_FILES;
    default:
        return RT_ERR_IO;
    }
}

bool HasLineBreak(const char *text, size_t length) {
    return memchr(text, '\n', length) || memchr(text, '\r', length);
}

// A value written without quotes reads back unchanged only when the reader neither trims it
// nor takes it for a quoted value.
bool ReadsBackUnquoted(const char *value, size_t length) {
    if (length == 0 || IsSpace(value[0]) || IsSpace(value[length - 1])) return false;
    return !(length >= 2 && value[0] == '"' && value[length - 1] == '"');
}

bool HeaderReadsBack(IniObject ini, const char *line, const char *name) {
    ClassifiedLine parsed = ClassifyLine(ini, line);
    return parsed.kind == LineKind::Section && parsed.nameLength == strlen(name) &&
           memcmp(parsed.name, name, parsed.nameLength) == 0;
}

bool ItemLineReadsBack(IniObject ini, const char *line, const char *name, size_t nameLength,
                       const char *value, size_t valueLength, bool quoted) {
    ClassifiedLine parsed = ClassifyLine(ini, line);
    if (parsed.kind != LineKind::Item || parsed.nameLength != nameLength ||
        memcmp(parsed.name, name, nameLength) != 0)
        return false;
    const char *readValue = parsed.value;
    size_t readLength = parsed.valueLength;
    if (StripQuotes(&readValue, &readLength) != (quoted ? 1 : 0)) return false;
    return readLength == valueLength && memcmp(readValue, value, valueLength) == 0;
}

// Forms "<name><separator><value>" (value in quotes when asked) in line, checks that it reads
// back as exactly that item and hands it to the sink.
int WriteItemLine(IniObject ini, IniWriteLineCallback writeLine, void *callbackData,
                  const char *name, size_t nameLength, const char *value, size_t valueLength,
                  bool quoted) {
    char line[kMaxLineChars + 1];
    size_t total = nameLength + ini->outputSeparatorLength + valueLength + (quoted ? 2 : 0);
    if (total > static_cast<size_t>(kMaxLineChars) || HasLineBreak(value, valueLength))
        return ToolErr_LineWouldNotReadBack;
    snprintf(line, sizeof line, quoted ? "%.*s%s\"%.*s\"" : "%.*s%s%.*s",
             static_cast<int>(nameLength), name, ini->outputSeparator,
             static_cast<int>(valueLength), value);
    if (!ItemLineReadsBack(ini, line, name, nameLength, value, valueLength, quoted))
        return ToolErr_LineWouldNotReadBack;
    return writeLine(callbackData, line);
}

// Writes one item as a line, or as numbered pieces when its value is long. afterPieces tells
// that the item before it in the section was written in pieces.
int WriteItem(IniObject ini, IniWriteLineCallback writeLine, void *callbackData,
              const IniItem *item, bool afterPieces) {
    const char *value = item->value;
    size_t length = strlen(value);
    size_t nameLength = strlen(ItemName(item));
    size_t baseLength;
    long piece;
    if (HasLineBreak(ItemName(item), nameLength)) return ToolErr_LineWouldNotReadBack;

    if (length <= kMaxPieceBytes) {
        // A name of the piece form reads back as it is unless the reader starts a run with it
        // (piece 1 is renamed) or adds it to the run of pieces written just before it.
        if (IsContinuationName(ItemName(item), &baseLength, &piece) && (piece == 1 || afterPieces))
            return ToolErr_LineWouldNotReadBack;
        bool quoted = item->quoted || !ReadsBackUnquoted(value, length);
        return WriteItemLine(ini, writeLine, callbackData, ItemName(item), nameLength, value,
                             length, quoted);
    }

    // Pieces of at most 80 bytes, never splitting a character. An unquoted value is quoted
    // as a whole when one of its pieces would not read back bare.
    bool quoted = item->quoted;
    for (size_t offset = 0; offset < length && !quoted;) {
        size_t cut = CutWithoutSplitting(value + offset, length - offset, kMaxPieceBytes);
        quoted = !ReadsBackUnquoted(value + offset, cut);
        offset += cut;
    }
    if (nameLength > static_cast<size_t>(kMaxLineChars)) return ToolErr_LineWouldNotReadBack;
    int result = 0;
    long k = 1;
    for (size_t offset = 0; offset < length; ++k) {
        size_t cut = CutWithoutSplitting(value + offset, length - offset, kMaxPieceBytes);
        char pieceName[kMaxLineChars + 16];
        int pieceNameLength =
            snprintf(pieceName, sizeof pieceName, "%s Line%04ld", ItemName(item), k);
        if (pieceNameLength < 0 || static_cast<size_t>(pieceNameLength) >= sizeof pieceName)
            return ToolErr_LineWouldNotReadBack;
        // The reader joins the pieces only when it finds this very base name and number.
        if (!IsContinuationName(pieceName, &baseLength, &piece) || baseLength != nameLength ||
            piece != k)
            return ToolErr_LineWouldNotReadBack;
        result = WriteItemLine(ini, writeLine, callbackData, pieceName,
                               static_cast<size_t>(pieceNameLength), value + offset, cut, quoted);
        if (result < 0) return result;
        offset += cut;
    }
    return result;
}

int WriteLineToFile(void *callbackData, const char *lineText) {
    auto *stream = static_cast<FILE *>(callbackData);
    size_t length = strlen(lineText);
    errno = 0;
    if (fwrite(lineText, 1, length, stream) != length || fwrite("\r\n", 1, 2, stream) != 2)
        return WriteErrorFromErrno(errno);
    return 0;
}

// 1 writable, 0 not writable, or a negative code. A missing file is created and removed
// again to learn whether it could be.
int GetFileWritability(const char *pathName) {
    FILE *file = fopen(pathName, "r+b");
    if (file) {
        fclose(file);
        return 1;
    }
    if (errno != ENOENT) return 0;
    int fd = open(pathName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            return 1; // created meanwhile by someone else; the final rename replaces it
        if (errno == ENOENT || errno == ENOTDIR) return RT_ERR_FILE_NOT_FOUND;
        return 0;
    }
    close(fd);
    unlink(pathName);
    return 1;
}

// Creates ini$$<n>.TMP exclusively beside pathName, so no existing file is ever reused.
int CreateTemporaryFile(const char *pathName, char *temporaryPath, size_t size, FILE **stream) {
    *stream = nullptr;
    const char *slash = strrchr(pathName, '/');
    int directoryLength = slash ? static_cast<int>(slash - pathName + 1) : 0;
    for (int n = 0; n <= kMaxTemporaryNumber; ++n) {
        int length = snprintf(temporaryPath, size, "%.*s%.5s%1d.%s", directoryLength, pathName,
                              kTemporaryPrefix, n, kTemporaryExtension);
        if (length < 0 || static_cast<size_t>(length) >= size)
            return ToolErr_CouldNotCreateTempFile;
        int fd = open(temporaryPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            if (errno == EMFILE || errno == ENFILE) return RT_ERR_TOO_MANY_FILES;
            return ToolErr_CouldNotCreateTempFile;
        }
        // The new file takes over the permissions of the one it replaces.
        struct stat target;
        if (stat(pathName, &target) == 0 && S_ISREG(target.st_mode))
            fchmod(fd, target.st_mode & 07777);
        *stream = fdopen(fd, "wb");
        if (!*stream) {
            close(fd);
            unlink(temporaryPath);
            return ToolErr_CouldNotCreateTempFile;
        }
        return 0;
    }
    return ToolErr_CouldNotFindUnusedTempFileName;
}

} // namespace

int Ini_WriteGeneric(IniObject ini, IniWriteLineCallback writeLine, void *callbackData) {
    if (!ini || !writeLine) return RT_ERR_NULL_POINTER;
    int result = 0;
    int numSections = ListNumItems(ini->sections);
    for (int s = 1; s <= numSections; ++s) {
        auto *section = *static_cast<IniSection **>(ListGetPtrToItem(ini->sections, s));
        size_t nameLength = strlen(section->name);
        if (nameLength + 2 > static_cast<size_t>(kMaxLineChars) ||
            HasLineBreak(section->name, nameLength))
            return ToolErr_LineWouldNotReadBack;
        char header[kMaxLineChars + 1];
        snprintf(header, sizeof header, "%c%s%c", ini->sectionStart, section->name,
                 ini->sectionEnd);
        if (!HeaderReadsBack(ini, header, section->name)) return ToolErr_LineWouldNotReadBack;
        result = writeLine(callbackData, header);
        if (result < 0) return result;
        int numItems = ListNumItems(section->items);
        bool afterPieces = false;
        for (int i = 1; i <= numItems; ++i) {
            auto *item = *static_cast<IniItem **>(ListGetPtrToItem(section->items, i));
            result = WriteItem(ini, writeLine, callbackData, item, afterPieces);
            if (result < 0) return result;
            afterPieces = strlen(item->value) > kMaxPieceBytes;
        }
        result = writeLine(callbackData, "");
        if (result < 0) return result;
    }
    return result;
}

int Ini_WriteToFile(IniObject ini, const char *pathName) {
    if (!ini) return RT_ERR_NULL_POINTER;
    if (!pathName) {
        int result = Ini_WriteGeneric(ini, WriteLineToFile, stdout);
        errno = 0;
        if (fflush(stdout) != 0 && result >= 0) result = WriteErrorFromErrno(errno);
        return result;
    }

    int writable = GetFileWritability(pathName);
    if (writable < 0) return writable;
    if (writable == 0) return RT_ERR_FILE_ACCESS;

    char temporaryPath[PATH_MAX];
    FILE *stream = nullptr;
    int result = CreateTemporaryFile(pathName, temporaryPath, sizeof temporaryPath, &stream);
    if (result < 0) return result;

    char *buffer = static_cast<char *>(malloc(kFileBufferSize));
    if (!buffer)
        result = RT_ERR_OUT_OF_MEMORY;
    else
        setvbuf(stream, buffer, _IOFBF, kFileBufferSize);

    if (result == 0) result = Ini_WriteGeneric(ini, WriteLineToFile, stream);
    if (result >= 0) {
        // On disk before the rename, so that a crash leaves the old file or the new one.
        errno = 0;
        if (fflush(stream) != 0 || fsync(fileno(stream)) != 0) result = WriteErrorFromErrno(errno);
    }
    errno = 0;
    if (fclose(stream) != 0 && result >= 0) result = WriteErrorFromErrno(errno);
    free(buffer);

    if (result >= 0 && rename(temporaryPath, pathName) != 0) result = RenameErrorFromErrno(errno);
    if (result < 0) {
        unlink(temporaryPath);
        return result;
    }
    return 0;
}
