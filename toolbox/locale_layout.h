// Locale and layout helpers: the operator's date and decimal separator, labels placed on the
// left of their controls, and centring a control with its label.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "toolbox/list.h"

int InternationalDate(char *buffer, int bufferSize);
void LocalizeNumberString(char *text);
// numCtrls 0: the ids run up to a terminating id of 1 or less.
int PutLabelsOnLeft(int panel, int pixelSpacing, int numCtrls, ...);
int PutLabelsOnLeftForList(int panel, ListHandle controlList, int pixelSpacing);
int PutLabelOnLeft(int panel, int control, int pixelSpacing);
int GetIntListFromParmInfo(va_list parmInfo, int numIntegers, ListHandle *integerList);
int CenterCtrl(int panel, int control, int top, int left, int height, int width);
