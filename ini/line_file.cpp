// Buffered line reader; see line_file.h for the contract of each entry point.
#include "ini/line_file.h"

#include "ini/multibyte.h"
#include "toolbox/core/toolbox.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

struct LineFileRecord {
    void *readData;
    LineFileReadCallback readCallback;
    char *buffer;             // LINE_FILE_BUFFER_SIZE bytes
    int bytesLeft;            // unconsumed bytes in buffer
    const char *readPosition; // next unconsumed byte
    // 64-bit so that streams beyond 2 GiB cannot overflow; the getters saturate.
    long long linesRead;
    long long bytesDelivered;
    char lastTerminator; // NUL, LF or CR that ended the previous line; 0 at start
    long long offsetOfLastLine;
    int extraTermChars;
    long long charsInEmptyLines;
};

namespace {

// The run-time's code for a null pointer passed where an object is required.

inline bool IsLineEnd(char c) {
    return c == '\n' || c == '\r' || c == '\0';
}

int Saturate(long long value) {
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// Asks the callback for the next block. A negative result changes nothing.
int Refill(LineFileRecord *lf) {
    int bytesRead = 0;
    int result = lf->readCallback(lf->readData, LINE_FILE_BUFFER_SIZE, &bytesRead, lf->buffer);
    if (result < 0) return result;
    // A count the buffer cannot hold means the source is broken; never read past the buffer.
    if (bytesRead < 0 || bytesRead > LINE_FILE_BUFFER_SIZE) return ToolErr_ErrorReadingFile;
    lf->readPosition = lf->buffer;
    lf->bytesLeft = bytesRead;
    lf->bytesDelivered += bytesRead;
    return 0;
}

} // namespace

namespace {

// The first line end (LF, CR or NUL) in [begin, end), or end. Sixteen bytes at a time where
// the processor offers it (every x86-64 does); lines are long, and this is the reader's
// hottest loop.
const char *FindLineEnd(const char *p, const char *end) {
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i nul = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i ends = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, lineFeed), _mm_cmpeq_epi8(bytes, carriageReturn)),
            _mm_cmpeq_epi8(bytes, nul));
        if (int mask = _mm_movemask_epi8(ends))
            return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (p < end && !IsLineEnd(*p))
        ++p;
    return p;
}

} // namespace

LineFile LineFile_New(LineFileReadCallback readCallback, void *readData) {
    auto *lf = static_cast<LineFileRecord *>(calloc(1, sizeof(LineFileRecord)));
    if (!lf) return nullptr;
    lf->buffer = static_cast<char *>(malloc(LINE_FILE_BUFFER_SIZE));
    if (!lf->buffer) {
        free(lf);
        return nullptr;
    }
    lf->readCallback = readCallback ? readCallback : LineFile_ReadFromFile;
    lf->readData = readData;
    lf->readPosition = lf->buffer;
    return lf;
}

void LineFile_Dispose(LineFile lineFile) {
    if (!lineFile) return;
    free(lineFile->buffer);
    free(lineFile);
}

int LineFile_ReadFromFile(void *stream, int maxBytes, int *bytesRead, char *buffer) {
    auto *file = static_cast<FILE *>(stream);
    *bytesRead = 0;
    if (!file || maxBytes <= 0) return file ? 0 : ToolErr_ErrorReadingFile;
    *bytesRead = static_cast<int>(fread(buffer, 1, static_cast<size_t>(maxBytes), file));
    return ferror(file) ? ToolErr_ErrorReadingFile : 0;
}

int LineFile_Read(LineFile lf, char *lineBuffer, int maxChars, int *numCharsRead, int *endOfFile) {
    int result = 0;
    int eof = 0;
    bool done = false;
    bool atStart = true;
    bool sawText = false; // a byte of the line itself was consumed (stored or dropped)
    int stored = 0;
    if (!lf || !lineBuffer) {
        if (endOfFile) *endOfFile = 1;
        return RT_ERR_NULL_POINTER;
    }
    if (maxChars < 0) maxChars = 0;

    lf->offsetOfLastLine = lf->bytesDelivered - lf->bytesLeft;
    lf->extraTermChars = 0;

    while (!eof && !done) {
        if (lf->bytesLeft == 0) {
            result = Refill(lf);
            if (result < 0) break;
        }
        if (lf->bytesLeft == 0) {
            // End of the data: a last line without a line end is still delivered.
            if (sawText)
                done = true;
            else
                eof = 1;
            break;
        }
        const char *pos = lf->readPosition;
        const char *end = pos + lf->bytesLeft;
        if (atStart && IsLineEnd(*pos)) {
            char c = *pos;
            ++lf->readPosition;
            --lf->bytesLeft;
            atStart = false;
            if (c != lf->lastTerminator) {
                // Second half of a two-character line end (CR LF, LF CR).
                ++lf->offsetOfLastLine;
                ++lf->extraTermChars;
                continue;
            }
            lf->lastTerminator = c;
            done = true;
            break;
        }
        // The run of line bytes in this block, then possibly its terminator.
        const char *p = FindLineEnd(pos, end);
        size_t run = static_cast<size_t>(p - pos);
        if (run > 0) {
            size_t room = static_cast<size_t>(maxChars - stored);
            size_t take = run < room ? run : room;
            memcpy(lineBuffer + stored, pos, take);
            stored += static_cast<int>(take);
            sawText = true;
            atStart = false;
        }
        lf->readPosition = p;
        lf->bytesLeft -= static_cast<int>(run);
        if (p < end) {
            lf->lastTerminator = *p;
            ++lf->readPosition;
            --lf->bytesLeft;
            done = true;
        }
    }

    lineBuffer[stored] = '\0';
    if (numCharsRead) *numCharsRead = stored;
    if (endOfFile) *endOfFile = eof;
    if (done && result >= 0) ++lf->linesRead;
    return result;
}

int LineFile_ReadNonEmpty(LineFile lf, char *lineBuffer, int maxChars, int *numCharsRead,
                          int *endOfFile) {
    if (!lf || !lineBuffer) {
        if (endOfFile) *endOfFile = 1;
        return RT_ERR_NULL_POINTER;
    }
    long long skipped = 0;
    int eof = 0;
    int count = 0;
    int result;
    for (;;) {
        result = LineFile_Read(lf, lineBuffer, maxChars, &count, &eof);
        if (result < 0 || eof) break;
        const char *p = lineBuffer;
        while (*p && ini_detail::IsSpace(*p))
            ++p;
        if (*p) break;
        skipped += count + lf->extraTermChars + 1;
    }
    lf->charsInEmptyLines = skipped;
    if (numCharsRead) *numCharsRead = count;
    if (endOfFile) *endOfFile = eof;
    return result;
}

int LineFile_NumLinesRead(LineFile lineFile) {
    return lineFile ? Saturate(lineFile->linesRead) : 0;
}

int LineFile_OffsetOfLastLine(LineFile lineFile) {
    return lineFile ? Saturate(lineFile->offsetOfLastLine) : 0;
}

int LineFile_NumExtraLineTermChars(LineFile lineFile) {
    return lineFile ? lineFile->extraTermChars : 0;
}

int LineFile_NumCharsInEmptyLines(LineFile lineFile) {
    return lineFile ? Saturate(lineFile->charsInEmptyLines) : 0;
}
