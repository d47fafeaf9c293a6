// Reads of panel and control attributes shared by the toolbox's UI suites; a failed read fails
// the test.
#pragma once

#include <gtest/gtest.h>

#include "platform/runtime.h"

inline int ctrlAttr(int panel, int control, int attribute) {
    int value = 0;
    EXPECT_GE(GetCtrlAttribute(panel, control, attribute, &value), 0) << "attribute " << attribute;
    return value;
}

struct Rect {
    int top = 0, left = 0, height = 0, width = 0;
};

inline Rect boundsOf(int panel, int control) {
    Rect r;
    EXPECT_EQ(GetCtrlBoundingRect(panel, control, &r.top, &r.left, &r.height, &r.width), 0);
    return r;
}
