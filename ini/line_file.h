// Buffered line reader: splits a byte stream pulled through a read callback into lines, with
// LF, CR, CR LF and LF CR line ends, counting lines and the stream offset where each began.
// Qt-free.
#pragma once

struct LineFileRecord;
typedef LineFileRecord *LineFile;

// Stores up to maxBytes bytes into buffer and sets *bytesRead (0 at the end of the data);
// returns 0 or a negative error code.
typedef int (*LineFileReadCallback)(void *readData, int maxBytes, int *bytesRead, char *buffer);

enum { LINE_FILE_BUFFER_SIZE = 2048 };

// A null readCallback selects LineFile_ReadFromFile (readData is then a FILE*).
LineFile LineFile_New(LineFileReadCallback readCallback, void *readData);
void LineFile_Dispose(LineFile lineFile);
// The built-in callback over a stdio stream: -5002 when the stream reports an error.
int LineFile_ReadFromFile(void *stream, int maxBytes, int *bytesRead, char *buffer);
// lineBuffer must hold maxChars + 1 bytes. numCharsRead may be null.
int LineFile_Read(LineFile lineFile, char *lineBuffer, int maxChars, int *numCharsRead,
                  int *endOfFile);
int LineFile_ReadNonEmpty(LineFile lineFile, char *lineBuffer, int maxChars, int *numCharsRead,
                          int *endOfFile);
int LineFile_NumLinesRead(LineFile lineFile);
int LineFile_OffsetOfLastLine(LineFile lineFile);
int LineFile_NumExtraLineTermChars(LineFile lineFile);
int LineFile_NumCharsInEmptyLines(LineFile lineFile);
