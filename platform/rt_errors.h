// Error codes of the run-time, with their texts (RT_GetErrorString).
#pragma once

enum {
    RT_ERR_NONE = 0,
    // Load and set-up errors lie outside -1 .. -11, which the localization layer reserves
    // for its own codes.
    RT_ERR_NOT_INITIALISED = -200,
    RT_ERR_RESOURCE_FILE = -201,    // the resource file cannot be read or is malformed
    RT_ERR_RESOURCE_ID = -202,      // no panel or menu bar of that id in the resource
    RT_ERR_UNKNOWN_STYLE = -203,    // a control style the run-time does not know
    RT_ERR_DUPLICATE_ID = -204,     // two controls (or menu items) with one id
    RT_ERR_UNKNOWN_CALLBACK = -205, // a callback name missing from the callback table
    RT_ERR_INVALID_PANEL = -42,
    RT_ERR_INVALID_CONTROL = -43,
    RT_ERR_INVALID_ATTRIBUTE = -44, // the object has no such attribute
    RT_ERR_CLASS_MISMATCH = -45,
    RT_ERR_COUNT_MISMATCH = -46,
    RT_ERR_INVALID_VALUE = -47, // a value outside the attribute's range or of the wrong type
    RT_ERR_INDEX_OUT_OF_RANGE = -48,
    RT_ERR_INVALID_MENU_BAR = -49,
    RT_ERR_INVALID_MENU_ITEM = -50,
    RT_ERR_NOT_A_POPUP = -51,
    RT_ERR_NO_ACTIVE_CONTROL = -52,
    RT_ERR_INPUT_REFUSED = -53, // input to a panel that a popup blocks (test seam)
    RT_ERR_READ_ONLY = -54,     // the attribute can be read but not set
    RT_ERR_CANCELLED = -55,     // the operator cancelled the print dialog: nothing was printed
    RT_ERR_OUT_OF_MEMORY = -12,
    RT_ERR_ATTRIBUTE_TYPE = -24,
    RT_ERR_NULL_POINTER = -65,
    RT_ERR_IMAGE_FILE = -80, // an image file that cannot be read
    RT_ERR_PRINT = -85,      // printing failed
    // File codes (shared with the INI library).
    RT_ERR_TOO_MANY_FILES = -91,
    RT_ERR_IO = -93,
    RT_ERR_FILE_NOT_FOUND = -94,
    RT_ERR_FILE_ACCESS = -95,
    RT_ERR_DISK_FULL = -97,
    RT_ERR_FILE_EXISTS = -100,
    RT_ERR_LANGUAGE_FILE = -6000,
};

const char *RT_GetErrorString(int code);
