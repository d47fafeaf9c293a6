// Helpers shared by the INI library tests: in-memory byte and line sources, and a child process
// for checks that need changed process limits or rights.
#pragma once

#include "ini/ini.h"
#include "ini/ini_internal.h"
#include "ini/line_file.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ini_test {

using ks_test::readFile;
using ks_test::TempDir;
using ks_test::writeFile;

// Bytes served in blocks of at most `chunk`; fails with `failCode` once `failAfter` bytes
// have been served (never when failAfter is npos).
struct MemoryBytes {
    std::string data;
    size_t chunk = LINE_FILE_BUFFER_SIZE;
    size_t position = 0;
    size_t failAfter = std::string::npos;
    int failCode = -77;
    int calls = 0;
};

inline int ReadMemoryBytes(void *readData, int maxBytes, int *bytesRead, char *buffer) {
    auto *source = static_cast<MemoryBytes *>(readData);
    ++source->calls;
    *bytesRead = 0;
    if (source->position >= source->failAfter) return source->failCode;
    size_t limit = std::min(
        {static_cast<size_t>(maxBytes), source->chunk, source->data.size() - source->position});
    if (source->failAfter != std::string::npos)
        limit = std::min(limit, source->failAfter - source->position);
    memcpy(buffer, source->data.data() + source->position, limit);
    source->position += limit;
    *bytesRead = static_cast<int>(limit);
    return 0;
}

// The line source that Ini_ReadFromFile uses, over any line reader.
inline int ReadLineFromReader(void *callbackData, char *lineBuffer, int maxChars, int *endOfFile,
                              int *lineNumber) {
    auto lineFile = static_cast<LineFile>(callbackData);
    int result = LineFile_ReadNonEmpty(lineFile, lineBuffer, maxChars, nullptr, endOfFile);
    *lineNumber = LineFile_NumLinesRead(lineFile);
    return result;
}

// Reads text into the object as Ini_ReadFromFile would read a file holding it.
inline int ReadText(IniObject ini, const std::string &text) {
    MemoryBytes bytes;
    bytes.data = text;
    LineFile lineFile = LineFile_New(ReadMemoryBytes, &bytes);
    int result = Ini_ReadGeneric(ini, ReadLineFromReader, lineFile);
    LineFile_Dispose(lineFile);
    return result;
}

inline int CollectLine(void *callbackData, const char *lineText) {
    static_cast<std::vector<std::string> *>(callbackData)->push_back(lineText);
    return 0;
}

// The lines the writer produces, joined with LF.
inline std::string WrittenText(IniObject ini, int *result = nullptr) {
    std::vector<std::string> lines;
    int r = Ini_WriteGeneric(ini, CollectLine, &lines);
    if (result) *result = r;
    std::string text;
    for (const auto &line : lines)
        text += line + "\n";
    return text;
}

inline std::string RawValue(IniObject ini, const char *section, const char *item) {
    char *pointer = nullptr;
    return Ini_GetPointerToRawString(ini, section, item, &pointer) == 1 ? pointer : "<missing>";
}

inline std::string Value(IniObject ini, const char *section, const char *item) {
    char *pointer = nullptr;
    return Ini_GetPointerToString(ini, section, item, &pointer) == 1 ? pointer : "<missing>";
}

// Visits every section (onSection with its name), then each of its items (onItem with the
// item's full name and raw value), in list order, straight from the records, so that sections
// of equal names are all seen.
template <class OnSection, class OnItem>
void VisitInListOrder(IniObject ini, OnSection onSection, OnItem onItem) {
    using ini_detail::IniItem;
    using ini_detail::IniSection;
    for (int s = 1; s <= ListNumItems(ini->sections); ++s) {
        auto *section = *static_cast<IniSection **>(ListGetPtrToItem(ini->sections, s));
        onSection(std::string(section->name));
        for (int i = 1; i <= ListNumItems(section->items); ++i) {
            auto *item = *static_cast<IniItem **>(ListGetPtrToItem(section->items, i));
            onItem(std::string(ini_detail::ItemName(item)), std::string(item->value));
        }
    }
}

// Every section and item in list order as "[section]" and "name=value" lines (raw values).
inline std::string Dump(IniObject ini) {
    std::string out;
    VisitInListOrder(
        ini, [&out](const std::string &section) { out += "[" + section + "]\n"; },
        [&out](const std::string &name, const std::string &value) {
            out += name + "=" + value + "\n";
        });
    return out;
}

// Runs fn in a child process and returns its result (or INT32_MIN when the child died).
inline int RunInChild(const std::function<int()> &fn) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return INT32_MIN;
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        int result = fn();
        ssize_t ignored = write(pipeEnds[1], &result, sizeof result);
        (void)ignored;
        _exit(0);
    }
    close(pipeEnds[1]);
    int result = INT32_MIN;
    if (pid < 0 || read(pipeEnds[0], &result, sizeof result) != sizeof result) result = INT32_MIN;
    close(pipeEnds[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return result;
}

} // namespace ini_test
