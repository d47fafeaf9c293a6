// The line reader: line-end rules, offsets and counters, block boundaries, errors.
#include "ini/line_file.h"
#include "tests/ini/ini_test_support.h"
#include "toolbox/core/toolbox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace ini_test;

namespace {

struct Line {
    std::string text;
    int offset;
    int extra;
    bool operator==(const Line &) const = default;
};

// Reads every line of data (served in blocks of `chunk`) until the end of the data.
std::vector<Line> ReadAll(const std::string &data, size_t chunk = LINE_FILE_BUFFER_SIZE,
                          int maxChars = 255, int *linesRead = nullptr) {
    MemoryBytes bytes;
    bytes.data = data;
    bytes.chunk = chunk;
    LineFile lf = LineFile_New(ReadMemoryBytes, &bytes);
    std::vector<Line> lines;
    std::vector<char> buffer(maxChars + 1);
    for (int guard = 0; guard < 100000; ++guard) {
        int eof = 0, count = -1;
        EXPECT_EQ(LineFile_Read(lf, buffer.data(), maxChars, &count, &eof), 0);
        EXPECT_EQ(count, static_cast<int>(strlen(buffer.data())));
        if (eof) {
            EXPECT_STREQ(buffer.data(), "");
            break;
        }
        lines.push_back(
            {buffer.data(), LineFile_OffsetOfLastLine(lf), LineFile_NumExtraLineTermChars(lf)});
    }
    if (linesRead) *linesRead = LineFile_NumLinesRead(lf);
    LineFile_Dispose(lf);
    return lines;
}

TEST(LineFile, LineEndsOffsetsAndCounters) {
    int linesRead = 0;
    std::vector<Line> expected = {{"a", 0, 0}, {"b", 3, 1}, {"", 5, 0}, {"c", 6, 0}};
    EXPECT_EQ(ReadAll(std::string("a\r\nb\n\nc", 7), 2048, 255, &linesRead), expected);
    EXPECT_EQ(linesRead, 4);

    // LF CR is one line end as well; CR CR two; a NUL ends a line like a line end.
    expected = {{"x", 0, 0}, {"y", 3, 1}, {"", 5, 0}, {"z", 6, 0}};
    EXPECT_EQ(ReadAll(std::string("x\n\ry\r\rz\0", 8)), expected);

    // A leading line end is taken as the second half of one and skipped.
    expected = {{"first", 1, 1}};
    EXPECT_EQ(ReadAll("\nfirst\n"), expected);

    // Empty stream: end of data at once, nothing counted.
    EXPECT_TRUE(ReadAll("", 2048, 255, &linesRead).empty());
    EXPECT_EQ(linesRead, 0);
}

TEST(LineFile, LongLinesAreCutAndTheRestDropped) {
    std::string longLine(3000, 'q');
    longLine[0] = 'A';
    auto lines = ReadAll(longLine + "\nnext\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "A" + std::string(254, 'q'));
    EXPECT_EQ(lines[1].text, "next");
    EXPECT_EQ(lines[1].offset, 3001);
}

TEST(LineFile, BlockBoundariesDoNotChangeTheLines) {
    // Every line end (CR LF, LF CR, single LF) and line placed across the 2048-byte boundary
    // must read the same as when the stream arrives in one piece or byte by byte.
    for (int shift = -3; shift <= 3; ++shift) {
        std::string data(static_cast<size_t>(2046 + shift), 'p');
        data += "\r\nmiddle line\n\rlast";
        auto reference = ReadAll(data, data.size());
        ASSERT_EQ(reference.size(), 3u);
        EXPECT_EQ(reference[1].text, "middle line");
        EXPECT_EQ(reference[1].offset, 2048 + shift);
        EXPECT_EQ(ReadAll(data, 2048), reference) << "shift " << shift;
        EXPECT_EQ(ReadAll(data, 1), reference) << "shift " << shift;
        EXPECT_EQ(ReadAll(data, 7), reference) << "shift " << shift;
    }
}

TEST(LineFile, ReadNonEmptySkipsWhiteSpaceLines) {
    MemoryBytes bytes;
    bytes.data = "  \n\t\nx\n\v\f \n";
    LineFile lf = LineFile_New(ReadMemoryBytes, &bytes);
    char line[256];
    int eof = 0, count = 0;
    EXPECT_EQ(LineFile_ReadNonEmpty(lf, line, 255, &count, &eof), 0);
    EXPECT_STREQ(line, "x");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(LineFile_NumCharsInEmptyLines(lf), 5);
    EXPECT_EQ(LineFile_NumLinesRead(lf), 3);
    EXPECT_EQ(LineFile_ReadNonEmpty(lf, line, 255, &count, &eof), 0);
    EXPECT_EQ(eof, 1);
    EXPECT_EQ(LineFile_NumCharsInEmptyLines(lf), 4);
    LineFile_Dispose(lf);
}

TEST(LineFile, ErrorsOfTheSourceArePassedUp) {
    // The error comes in the middle of a line: its first part is delivered, not counted.
    MemoryBytes bytes;
    bytes.data = "one\ntwo and more\n";
    bytes.chunk = 7;
    bytes.failAfter = 7;
    LineFile lf = LineFile_New(ReadMemoryBytes, &bytes);
    char line[256];
    int eof = 0;
    EXPECT_EQ(LineFile_Read(lf, line, 255, nullptr, &eof), 0);
    EXPECT_STREQ(line, "one");
    EXPECT_EQ(LineFile_Read(lf, line, 255, nullptr, &eof), -77);
    EXPECT_STREQ(line, "two");
    EXPECT_EQ(eof, 0);
    EXPECT_EQ(LineFile_NumLinesRead(lf), 1);
    LineFile_Dispose(lf);

    // A source that claims more bytes than the buffer holds is refused, not trusted.
    auto liar = [](void *, int, int *bytesRead, char *) {
        *bytesRead = LINE_FILE_BUFFER_SIZE + 1;
        return 0;
    };
    lf = LineFile_New(liar, nullptr);
    EXPECT_EQ(LineFile_Read(lf, line, 255, nullptr, &eof), ToolErr_ErrorReadingFile);
    LineFile_Dispose(lf);
}

TEST(LineFile, BuiltInFileCallback) {
    TempDir dir;
    std::string path = dir.file("lines.txt");
    writeFile(path, "alpha\r\nbeta");
    FILE *file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    LineFile lf = LineFile_New(nullptr, file); // null callback: the stdio one
    char line[256];
    int eof = 0;
    EXPECT_EQ(LineFile_Read(lf, line, 255, nullptr, &eof), 0);
    EXPECT_STREQ(line, "alpha");
    EXPECT_EQ(LineFile_Read(lf, line, 255, nullptr, &eof), 0);
    EXPECT_STREQ(line, "beta");
    EXPECT_EQ(LineFile_Read(lf, line, 255, nullptr, &eof), 0);
    EXPECT_EQ(eof, 1);
    LineFile_Dispose(lf);
    fclose(file);

    // A stream in error (reading a folder) gives -5002.
    file = fopen(dir.path().c_str(), "rb");
    ASSERT_NE(file, nullptr);
    lf = LineFile_New(nullptr, file);
    EXPECT_EQ(LineFile_Read(lf, line, 255, nullptr, &eof), ToolErr_ErrorReadingFile);
    LineFile_Dispose(lf);
    fclose(file);
}

} // namespace
