// The INI object: sections of named items whose values are text, read from files or any line
// source, looked up without regard to letter case, typed on the way in and out, and written
// back safely. Qt-free.
//
// Results: lookups 1 found / 0 not found; actions 0 or a negative code: -12 out of memory,
// -5001 .. -5004 file handling, -5021 .. -5024 value syntax, -91 .. -100 file errors
// (GetToolboxErrorString gives the texts).
#pragma once

#include <cstddef>

struct IniObjectRecord;
typedef IniObjectRecord *IniObject;

typedef int (*IniReadLineCallback)(void *callbackData, char *lineBuffer, int maxChars,
                                   int *endOfFile, int *lineNumber);
typedef int (*IniWriteLineCallback)(void *callbackData, const char *lineText);
typedef int (*IniSectionFilter)(IniObject ini, void *callbackData, const char *sectionName);

IniObject Ini_New(int automaticSorting);
void Ini_Dispose(IniObject ini);
int Ini_SetTokens(IniObject ini, char sectionStartChar, char sectionEndChar,
                  const char *valueSeparator, const char *commentMarker);
int Ini_SetSectionFilter(IniObject ini, IniSectionFilter filter, void *callbackData);
int Ini_SetDuplicateChecking(IniObject ini, int enable);

int Ini_ReadFromFile(IniObject ini, const char *pathName);
int Ini_ReadGeneric(IniObject ini, IniReadLineCallback readLine, void *callbackData);
int Ini_WriteToFile(IniObject ini, const char *pathName);
int Ini_WriteGeneric(IniObject ini, IniWriteLineCallback writeLine, void *callbackData);

int Ini_SectionExists(IniObject ini, const char *sectionName);
int Ini_NumberOfSections(IniObject ini);
int Ini_NthSectionName(IniObject ini, int n, char **sectionNamePtr);
int Ini_NumberOfItems(IniObject ini, const char *sectionName);
int Ini_NthItemName(IniObject ini, const char *sectionName, int n, char **itemNamePtr);
int Ini_ItemExists(IniObject ini, const char *sectionName, const char *itemName);
int Ini_ItemOrMultiLineItemExists(IniObject ini, const char *sectionName, const char *itemName);
int Ini_LineOfLastAccess(IniObject ini);

int Ini_GetPointerToRawString(IniObject ini, const char *sectionName, const char *itemName,
                              char **pointer);
int Ini_GetPointerToString(IniObject ini, const char *sectionName, const char *itemName,
                           char **pointer);
int Ini_GetRawStringCopy(IniObject ini, const char *sectionName, const char *itemName,
                         char **copy); // the caller frees the copy with free()
int Ini_GetStringCopy(IniObject ini, const char *sectionName, const char *itemName, char **copy);
int Ini_GetRawStringIntoBuffer(IniObject ini, const char *sectionName, const char *itemName,
                               char *buffer, size_t bufferSize);
int Ini_GetStringIntoBuffer(IniObject ini, const char *sectionName, const char *itemName,
                            char *buffer, size_t bufferSize);
int Ini_GetInt(IniObject ini, const char *sectionName, const char *itemName, int *value);
int Ini_GetUInt(IniObject ini, const char *sectionName, const char *itemName,
                unsigned int *value);
int Ini_GetDouble(IniObject ini, const char *sectionName, const char *itemName, double *value);
int Ini_GetBoolean(IniObject ini, const char *sectionName, const char *itemName, int *value);
// *data is a block the caller frees with free() (null for an empty result); dataSize may be null.
int Ini_GetData(IniObject ini, const char *sectionName, const char *itemName,
                unsigned char **data, size_t *dataSize);

int Ini_PutInt(IniObject ini, const char *sectionName, const char *itemName, int value);
int Ini_PutUInt(IniObject ini, const char *sectionName, const char *itemName,
                unsigned int value);
int Ini_PutDouble(IniObject ini, const char *sectionName, const char *itemName, double value);
int Ini_PutBoolean(IniObject ini, const char *sectionName, const char *itemName, int value);
int Ini_PutString(IniObject ini, const char *sectionName, const char *itemName,
                  const char *value);
int Ini_PutRawString(IniObject ini, const char *sectionName, const char *itemName,
                     const char *value);
int Ini_PutData(IniObject ini, const char *sectionName, const char *itemName,
                const unsigned char *data, size_t dataSize);

int Ini_RemoveSection(IniObject ini, const char *sectionName);
int Ini_RemoveItem(IniObject ini, const char *sectionName, const char *itemName);
int Ini_CopySection(IniObject source, const char *sectionName, IniObject destination,
                    int overwrite);

void Ini_Sort(IniObject ini);
int Ini_SortInternally(IniObject ini);
void Ini_DisableInternalSorting(IniObject ini);
void Ini_DisableSorting(IniObject ini);

// Binary data carried as printable text ('0' .. 'o'). The results are heap blocks freed with free().
int ConvertDataToText(const unsigned char *data, size_t numBytes, char **text);
int ConvertTextToData(const char *text, size_t *numBytes, unsigned char **data);

// Strict integer parsing (1 ok, 0 invalid).
int StrToInt(const char *text, int *value);
int StrToUInt(const char *text, unsigned int *value);
