// Helpers shared by the INI library tests: a private temporary folder, in-memory byte and line
// sources, and a child process for checks that need changed process limits or rights.
#pragma once

#include "ini/ini.h"
#include "ini/ini_internal.h"
#include "ini/line_file.h"

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

// A folder under /tmp that exists for one test and is removed with everything in it.
class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/ks_ini_test_XXXXXX";
        const char *made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        path_ = made ? made : "";
    }
    ~TempDir() {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string File(const std::string &name) const { return path_ + "/" + name; }
    const std::string &Path() const { return path_; }
    // Names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::string path_;
};

inline std::string ReadFileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFileBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

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

// Every section and item in list order as "[section]" and "name=value" lines (raw values),
// read from the records themselves so that sections of equal names are all shown.
inline std::string Dump(IniObject ini) {
    using ini_detail::IniItem;
    using ini_detail::IniSection;
    std::string out;
    for (int s = 1; s <= ListNumItems(ini->sections); ++s) {
        auto *section = *static_cast<IniSection **>(ListGetPtrToItem(ini->sections, s));
        out += std::string("[") + section->name + "]\n";
        for (int i = 1; i <= ListNumItems(section->items); ++i) {
            auto *item = *static_cast<IniItem **>(ListGetPtrToItem(section->items, i));
            out += std::string(ini_detail::ItemName(item)) + "=" + item->value + "\n";
        }
    }
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
