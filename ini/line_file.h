// Buffered line reader: splits a byte stream pulled through a read callback into lines, with
// LF, CR, CR LF and LF CR line ends, counting lines and the stream offset where each began.
// The INI object reads files and other sources through it. Qt-free.
//
// Line ends: a NUL, LF or CR ends a line. The first byte a read meets counts as the second
// half of a two-character line end (and is skipped) when it is a NUL, LF or CR that differs
// from the one that ended the previous line; so CR LF and LF CR end one line, LF LF and CR CR
// end an empty line each, and an LF or CR at the very start of the stream is skipped.
//
// Codes: 0 success; -5002 read error of the built-in callback (or a callback that reports a
// byte count outside 0 .. LINE_FILE_BUFFER_SIZE); -65 a null reader or line buffer; any other
// negative value comes from the caller's read callback.
#pragma once

struct LineFileRecord;
typedef LineFileRecord *LineFile;

// Stores up to maxBytes bytes into buffer and sets *bytesRead (0 at the end of the data);
// returns 0 or a negative error code.
typedef int (*LineFileReadCallback)(void *readData, int maxBytes, int *bytesRead, char *buffer);

enum { LINE_FILE_BUFFER_SIZE = 2048 };

// A reader over the callback, or null when memory is exhausted. A null readCallback selects
// LineFile_ReadFromFile (readData is then a FILE*). The reader never closes readData.
LineFile LineFile_New(LineFileReadCallback readCallback, void *readData);
// Frees the reader; null is ignored.
void LineFile_Dispose(LineFile lineFile);
// The built-in callback over a stdio stream: fread of up to maxBytes; -5002 when the stream's
// error indicator is set afterwards, else 0.
int LineFile_ReadFromFile(void *stream, int maxBytes, int *bytesRead, char *buffer);
// Reads the next line into lineBuffer, which must hold maxChars + 1 bytes: at most maxChars
// characters are stored (the rest of a longer line is consumed and dropped), then a NUL.
// *numCharsRead (may be null) gets the number stored. At the end of the data *endOfFile is
// set and the buffer is empty; a last line without a line end is still delivered first.
// Returns 0, or the callback's negative code (the characters stored so far are in the
// buffer, and the line is not counted).
int LineFile_Read(LineFile lineFile, char *lineBuffer, int maxChars, int *numCharsRead,
                  int *endOfFile);
// As LineFile_Read, but skips lines that hold only white space (space, \t \n \v \f \r);
// the characters skipped (each line's length + its extra line-end characters + 1) are
// available from LineFile_NumCharsInEmptyLines.
int LineFile_ReadNonEmpty(LineFile lineFile, char *lineBuffer, int maxChars, int *numCharsRead,
                          int *endOfFile);
// Lines delivered so far (the end-of-data call counts none).
int LineFile_NumLinesRead(LineFile lineFile);
// Stream offset of the first character of the line last read.
int LineFile_OffsetOfLastLine(LineFile lineFile);
// Line-end characters (0 or 1) skipped in front of the line last read.
int LineFile_NumExtraLineTermChars(LineFile lineFile);
// Characters in the lines skipped by the last LineFile_ReadNonEmpty.
int LineFile_NumCharsInEmptyLines(LineFile lineFile);
