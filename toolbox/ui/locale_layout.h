// Locale and layout helpers: the operator's date and decimal separator, labels placed on the
// left of their controls after the texts of a panel changed length, and centring a control with
// its label inside a rectangle. Layout routines stop at the first failing run-time call and
// return its negative status.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "toolbox/core/list.h"

// Today's date (the run-time's clock, RT_CurrentTime) in the date format of the operator's
// locale ("%x"). The time category of the process locale is restored before returning.
// Returns the number of characters written; 0 (and an empty text) when the date does not fit
// or the buffer is null or empty.
int InternationalDate(char *buffer, int bufferSize);
// Replaces every '.' in the NUL-terminated text by the operator's decimal separator (system
// attribute 1452). Nothing changes when the separator is '.' or cannot be read, or text is null.
void LocalizeNumberString(char *text);
// PutLabelOnLeft for each control id that follows, in order: numCtrls of them, or with numCtrls
// 0 all ids up to a terminating id of 1 or less (valid control ids are 2 or more).
// Returns 0, -12 when the id list cannot be built, or the first negative status.
int PutLabelsOnLeft(int panel, int pixelSpacing, int numCtrls, ...);
// PutLabelOnLeft for each int control id of the list, positions 1 up. 0 or the first negative
// status.
int PutLabelsOnLeftForList(int panel, ListHandle controlList, int pixelSpacing);
// Puts the control's label pixelSpacing pixels left of the control (its right edge at the
// control's left for 0), vertically centred on the control. 0 or the first negative status.
int PutLabelOnLeft(int panel, int control, int pixelSpacing);
// Builds a new list of int ids from parmInfo (positioned at the first id): numIntegers ids, or
// with numIntegers 0 the ids up to the first one of 1 or less (not included); any id of 1 or less
// ends the list. Returns 0 with *integerList set (the caller disposes it), -12 when the list
// cannot be created or grown (*integerList null), -65 for a null integerList.
int GetIntListFromParmInfo(va_list parmInfo, int numIntegers, ListHandle *integerList);
// Moves the control so that the rectangle bounding it and its label is centred in the given
// rectangle (an odd leftover pixel goes below and to the right). 0 or the first negative status.
int CenterCtrl(int panel, int control, int top, int left, int height, int width);
