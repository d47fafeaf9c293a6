// The INI object: sections of named items whose values are text, read from files or any line
// source, looked up without regard to letter case, typed on the way in and out, and written
// back safely. Language files are kept in these objects. Qt-free.
//
// Results: lookups 1 found / 0 not found; actions 0 or a negative code (GetToolboxErrorString
// gives the texts):
//   -12           out of memory
//   -65           a required pointer (object, name, callback) was null
//   -5001         Ini_ReadFromFile: the file cannot be opened for reading
//   -5002         reading: read error of the file
//   -5003, -5004  Ini_WriteToFile: no free temporary name / the temporary cannot be created
//   -5021..-5024  typed getters: the text is not an int, unsigned int, double or boolean
//   -5025         writing: a line would not read back unchanged (see Ini_WriteGeneric)
//   -91 .. -100   Ini_WriteToFile: file errors (-91 too many open files, -93 input/output,
//                 -94 not found, -95 access denied or read-only, -97 disk full, -100 exists)
//   other         passed through from the caller's line source or line sink
//
// Text: bytes pass through unchanged; a UTF-8 multibyte sequence is one character unit that
// no cut (buffer getters, tokens, written pieces) splits. Names compare after ASCII letters
// are upper-cased, as unsigned bytes.
//
// Pointers returned into the object stay valid until their item or section is removed or
// replaced or the object is disposed; an escape-resolved pointer only until the next
// escape-resolving get on the same object.
#pragma once

#include <cstddef>

struct IniObjectRecord;
typedef IniObjectRecord *IniObject;

// Line source: delivers the next line (at most maxChars = 255 characters plus a NUL) or sets
// *endOfFile; stores the line's number; returns 0 or a negative code that ends the reading.
typedef int (*IniReadLineCallback)(void *callbackData, char *lineBuffer, int maxChars,
                                   int *endOfFile, int *lineNumber);
// Line sink: takes one line without line end; a negative result stops the writing.
typedef int (*IniWriteLineCallback)(void *callbackData, const char *lineText);
// Section filter: non-zero keeps the section being read.
typedef int (*IniSectionFilter)(IniObject ini, void *callbackData, const char *sectionName);

// ---- Object and settings ----------------------------------------------------------------------

// An empty object (tokens '[', ']', "=", ";"; duplicate checking on), or null when memory is
// exhausted. A non-zero automaticSorting keeps sections and items sorted by name (Ini_Sort).
IniObject Ini_New(int automaticSorting);
// Frees the object and everything in it; null is ignored.
void Ini_Dispose(IniObject ini);
// Replaces each token that is given (a character 0 or a null or empty string keeps it);
// strings are cut to 7 bytes without splitting a character. 0, or -65 for a null object.
int Ini_SetTokens(IniObject ini, char sectionStartChar, char sectionEndChar,
                  const char *valueSeparator, const char *commentMarker);
// While reading, a section is kept only when filter(ini, callbackData, name) is non-zero;
// a null filter keeps all. 0, or -65.
int Ini_SetSectionFilter(IniObject ini, IniSectionFilter filter, void *callbackData);
// With duplicate checking (the default) a put replaces the items of that name in place.
// Returns the previous setting.
int Ini_SetDuplicateChecking(IniObject ini, int enable);

// ---- Reading ----------------------------------------------------------------------------------

// Adds the contents of a file (opened "rb"; -5001 when it cannot be) to the object. A UTF-8
// byte-order mark at the very start is not part of the text: the file reads as without it.
// Blank lines are skipped; line numbers count every line of the file from 1. 0, -12, -5002.
int Ini_ReadFromFile(IniObject ini, const char *pathName);
// Adds the lines of any source. Each line is a comment (starts with the comment marker after
// white space), a section header ("[name]", name trimmed, the last ']' closes it and only
// white space may follow), an item ("name = value", split at the first separator, both
// trimmed, neither empty; a value in double quotes loses them and is marked quoted) or is
// ignored. Items before the first header or under a filtered header are dropped. At the end
// the pieces "<name> Line0001", "<name> Line0002" ... are joined into one item <name>, and a
// sorting object is sorted. Content read before an error stays. 0, -12 or the source's code.
int Ini_ReadGeneric(IniObject ini, IniReadLineCallback readLine, void *callbackData);

// ---- Writing ----------------------------------------------------------------------------------

// Writes every section ("[name]", its items as "name = value", an empty line) to the sink.
// Values longer than 80 bytes become numbered pieces "name Line0001" ...; an unquoted value
// that the reader would trim or unquote is written in quotes. An item whose name has the
// piece form itself ("<base> Line<digits>") is written as it is, except piece number 1 (the
// reader would rename it) and an item right after one written in pieces (the reader would
// join it to them). A line that would not read back as written (longer than 255 characters, a
// line break inside, a name the reader would split at a separator, take for a comment or
// header, or rename or join as a piece) is refused with -5025; lines before it have been
// delivered. Returns the sink's last result (0 for an empty object),
// its first negative result, -5025 or -65.
int Ini_WriteGeneric(IniObject ini, IniWriteLineCallback writeLine, void *callbackData);
// Writes the object to a file, lines ending in CR LF. A null pathName writes to standard
// output. Otherwise the target must be writable (-95 when it exists read-only, -94 when its
// folder is missing); the text goes to a new file ini$$<n>.TMP created exclusively beside it,
// is flushed to disk, and then replaces the target with one rename, so the target is always
// either the old or the new file. The new file keeps the old one's permissions. On any
// failure the temporary file is removed and the target is untouched. 0, -12, -5003, -5004,
// -5025, -91 .. -100.
int Ini_WriteToFile(IniObject ini, const char *pathName);

// ---- Lookup -----------------------------------------------------------------------------------
// Sections are found through a cache of the last section found, then by binary search of the
// internally sorted copy, or of the sorted list, or linearly; items likewise, without a cache.
// Names that repeat (equal up to letter case): every lookup finds the first of them in list
// order, the order Ini_NthSectionName and Ini_NthItemName walk. That holds before and after
// Ini_SortInternally alike (its copies keep repeats in list order) and after later puts (a
// repeat put with duplicate checking off comes after those there). In a sorting object (Ini_New
// with automaticSorting, Ini_Sort) the sort decides the list order of repeats, as it is not
// stable; the first of them in that order is found.

int Ini_SectionExists(IniObject ini, const char *sectionName);
int Ini_NumberOfSections(IniObject ini);
// For 1 <= n <= count: 1 and a pointer to the n-th section name in list order; else 0 and null.
int Ini_NthSectionName(IniObject ini, int n, char **sectionNamePtr);
// Items of the section; 0 when it does not exist.
int Ini_NumberOfItems(IniObject ini, const char *sectionName);
// As Ini_NthSectionName, for the n-th item of the section.
int Ini_NthItemName(IniObject ini, const char *sectionName, int n, char **itemNamePtr);
// 1/0. Records the item's line for Ini_LineOfLastAccess.
int Ini_ItemExists(IniObject ini, const char *sectionName, const char *itemName);
// The same as Ini_ItemExists: pieces are joined when read.
int Ini_ItemOrMultiLineItemExists(IniObject ini, const char *sectionName, const char *itemName);
// Line of the item last found by an existence test or a value get (0 for a put item); -1
// before the first.
int Ini_LineOfLastAccess(IniObject ini);

// ---- Text getters -----------------------------------------------------------------------------
// "Raw" getters give the stored text. The others resolve backslash escapes: \n \r \t, \xHH
// (two hexadecimal digits) and \<any other character> for that character; a backslash at the
// end is dropped. Results: 1 found, 0 not found (output null or empty), -12 (output null or
// empty).

int Ini_GetPointerToRawString(IniObject ini, const char *sectionName, const char *itemName,
                              char **pointer);
int Ini_GetPointerToString(IniObject ini, const char *sectionName, const char *itemName,
                           char **pointer);
int Ini_GetRawStringCopy(IniObject ini, const char *sectionName, const char *itemName,
                         char **copy); // the caller frees the copy with free()
int Ini_GetStringCopy(IniObject ini, const char *sectionName, const char *itemName, char **copy);
// Copy at most bufferSize - 1 bytes, never splitting a character, and terminate; the buffer
// is emptied first.
int Ini_GetRawStringIntoBuffer(IniObject ini, const char *sectionName, const char *itemName,
                               char *buffer, size_t bufferSize);
int Ini_GetStringIntoBuffer(IniObject ini, const char *sectionName, const char *itemName,
                            char *buffer, size_t bufferSize);

// ---- Typed getters ----------------------------------------------------------------------------
// On the stored text: 1 with the value; 0 when the item is missing or its text blank (value
// unchanged); or the code of an invalid text (value unchanged, except Ini_GetDouble, which
// leaves what strtod produced). Numbers use the "C" locale whatever the process's locale.

int Ini_GetInt(IniObject ini, const char *sectionName, const char *itemName, int *value);
int Ini_GetUInt(IniObject ini, const char *sectionName, const char *itemName,
                unsigned int *value); // -5022 (any minus sign is refused)
// "Inf", "+Inf", "-Inf" in any letter case give the infinities; else strtod must take the
// whole text without overflowing to infinity or underflowing to zero (-5023); a subnormal
// result is taken. Every double Ini_PutDouble writes reads back bit for bit.
int Ini_GetDouble(IniObject ini, const char *sectionName, const char *itemName, double *value);
// "True" 1, "False" 0 in any letter case; else -5024.
int Ini_GetBoolean(IniObject ini, const char *sectionName, const char *itemName, int *value);
// Decodes the data text of the item. 1 whenever the item exists, 0 when not, -12.
// *data is a block the caller frees with free() (null for an empty result); dataSize may be null.
int Ini_GetData(IniObject ini, const char *sectionName, const char *itemName, unsigned char **data,
                size_t *dataSize);

// ---- Puts -------------------------------------------------------------------------------------
// A put adds the item (name trimmed) to the section, creating the section (name as given) at
// the end or in order. With duplicate checking, the items of that name are removed first and
// the new one takes the place of the first. Int "%d", UInt "%u", Boolean "True"/"False" and
// Double (the shortest text that reads back as the same double: "0.1", "0.30000000000000004",
// "5e-324", "inf") are stored unquoted; strings and data quoted. PutString escapes '"', '\',
// tab, LF, CR (\" \\ \t \n \r) and other control characters (\xhh). A null string is empty.
// 0, -12 (the object as before, except replaced items are already removed) or -65.

int Ini_PutInt(IniObject ini, const char *sectionName, const char *itemName, int value);
int Ini_PutUInt(IniObject ini, const char *sectionName, const char *itemName, unsigned int value);
int Ini_PutDouble(IniObject ini, const char *sectionName, const char *itemName, double value);
int Ini_PutBoolean(IniObject ini, const char *sectionName, const char *itemName, int value);
int Ini_PutString(IniObject ini, const char *sectionName, const char *itemName, const char *value);
int Ini_PutRawString(IniObject ini, const char *sectionName, const char *itemName,
                     const char *value);
int Ini_PutData(IniObject ini, const char *sectionName, const char *itemName,
                const unsigned char *data, size_t dataSize);

// ---- Removing and copying ---------------------------------------------------------------------

// 1 when the section was found and freed with its items, else 0.
int Ini_RemoveSection(IniObject ini, const char *sectionName);
// Removes every item of that name from the section; 1 when at least one was removed.
int Ini_RemoveItem(IniObject ini, const char *sectionName, const char *itemName);
// Copies every source section of that name (all for a null name), in list order, item by item
// with Ini_PutRawString of the value a lookup by the item's name finds (or the item's own
// value where the lookup reaches another section). With overwrite, a destination section of
// that name is removed first. Nothing happens when source and destination are the same
// object. 0, the first put error, or -65.
int Ini_CopySection(IniObject source, const char *sectionName, IniObject destination,
                    int overwrite);

// ---- Sorting ----------------------------------------------------------------------------------

// Sorts the items of every section and the sections by name (not stable) and keeps them
// sorted from now on; lookups then search the lists binarily.
void Ini_Sort(IniObject ini);
// Leaves the lists in their order and builds sorted copies for lookups, kept in step by later
// puts and removals; lookups binary search the copies and find what they found before (see
// Lookup). Lists already in order are copied as they are. Until the next change to the object,
// a hash index over the copies answers them with exactly the same results in fewer memory
// reads. 0, or -12 (all copies discarded).
int Ini_SortInternally(IniObject ini);
// Discards the sorted copies.
void Ini_DisableInternalSorting(IniObject ini);
// Keeps the present order, but later additions are appended and lookups become linear.
void Ini_DisableSorting(IniObject ini);

// ---- Data text and integers -------------------------------------------------------------------

// Binary data carried as printable text ('0' .. 'o'): each 3 bytes become 4 characters, a final
// 1 or 2 bytes 2 or 3. 1 and a heap text (free() it), or 0 and null when memory is exhausted.
int ConvertDataToText(const unsigned char *data, size_t numBytes, char **text);
// The reverse; characters are not validated and a final single character is ignored.
// *numBytes (may be null) always gets the length; 1 and a heap block (not allocated, *data
// untouched, for 0 bytes), or 0 and null when memory is exhausted.
int ConvertTextToData(const char *text, size_t *numBytes, unsigned char **data);

// Strict integer parsing (1 ok, 0 invalid; *value is set only when ok): white space, one
// optional sign, at least one decimal digit, white space; -2147483648 .. 2147483647 for
// StrToInt, 0 .. 4294967295 without any minus sign for StrToUInt.
int StrToInt(const char *text, int *value);
int StrToUInt(const char *text, unsigned int *value);
