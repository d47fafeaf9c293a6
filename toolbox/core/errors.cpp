// The one table of error texts. See toolbox/core/errors.h.
#include "toolbox/core/errors.h"

#include <iterator>

namespace {

constexpr ErrorText kErrorTexts[] = {
    {RT_ERR_OUT_OF_MEMORY, "Out of memory"},
    {RT_ERR_NULL_POINTER, "A required argument is null"},
    {RT_ERR_TOO_MANY_FILES, "Too many files are open"},
    {RT_ERR_END_OF_FILE, "Unexpectedly reached the end of the file"},
    {RT_ERR_IO, "Input/output error"},
    {RT_ERR_FILE_NOT_FOUND, "File not found"},
    {RT_ERR_FILE_ACCESS, "File access permission denied"},
    {RT_ERR_FILE_NOT_ENABLED, "File access not enabled"},
    {RT_ERR_DISK_FULL, "Disk is full"},
    {RT_ERR_FILE_ALREADY_OPEN, "File is already open"},
    {RT_ERR_BAD_FILE_HANDLE, "Bad file handle"},
    {RT_ERR_FILE_EXISTS, "File already exists"},
    {RT_ERR_MODULE, "A module of the program is missing or cannot be loaded"},

    {RT_ERR_ATTRIBUTE_TYPE, "The attribute or value has another type"},
    {RT_ERR_INVALID_PANEL, "The panel handle is invalid"},
    {RT_ERR_INVALID_CONTROL, "The control id is invalid"},
    {RT_ERR_INVALID_ATTRIBUTE, "The object has no such attribute"},
    {RT_ERR_CLASS_MISMATCH, "The operation does not apply to a control of this kind"},
    {RT_ERR_COUNT_MISMATCH, "Count mismatch"},
    {RT_ERR_INVALID_VALUE, "Invalid value"},
    {RT_ERR_INDEX_OUT_OF_RANGE, "Index out of range"},
    {RT_ERR_INVALID_MENU_BAR, "The menu bar handle is invalid"},
    {RT_ERR_INVALID_MENU_ITEM, "The menu or menu item id is invalid"},
    {RT_ERR_NOT_A_POPUP, "No such popup"},
    {RT_ERR_NO_ACTIVE_CONTROL, "No active control"},
    {RT_ERR_INPUT_REFUSED, "Input refused: a popup is active"},
    {RT_ERR_READ_ONLY, "The attribute cannot be set"},
    {RT_ERR_CANCELLED, "Cancelled by the operator"},
    {RT_ERR_IMAGE_FILE, "The image file cannot be read"},
    {RT_ERR_PRINT, "Printing failed"},
    {RT_ERR_NOT_INITIALISED, "The user-interface run-time is not initialised"},
    {RT_ERR_RESOURCE_FILE, "The user-interface resource file cannot be read or is malformed"},
    {RT_ERR_RESOURCE_ID, "No panel or menu bar of that id in the resource file"},
    {RT_ERR_UNKNOWN_STYLE, "Unknown control style"},
    {RT_ERR_DUPLICATE_ID, "Duplicate or invalid control or menu item id"},
    {RT_ERR_UNKNOWN_CALLBACK, "Callback name missing from the callback table"},

    {RT_COM_ERR_PORT_NUMBER, "Serial port number out of range"},
    {RT_COM_ERR_NO_DEVICE, "No serial device for that port number"},
    {RT_COM_ERR_OPEN, "The serial device cannot be opened (busy or no permission)"},
    {RT_COM_ERR_CONFIG, "The serial device refused the line settings"},
    {RT_COM_ERR_NOT_OPEN, "The serial port is not open"},
    {RT_COM_ERR_READ, "The serial device failed or disappeared during a read"},
    {RT_COM_ERR_WRITE, "The serial device failed during a write"},
    {RT_COM_ERR_ESCAPE, "The serial device refused an RTS/DTR change"},

    {ToolErr_CantOpenFileForReading, "Could Not Open File For Reading"},
    {ToolErr_ErrorReadingFile, "Error Reading From File"},
    {ToolErr_CouldNotFindUnusedTempFileName, "Could Not Find Unused Temporary File Name"},
    {ToolErr_CouldNotCreateTempFile, "Could Not Create Temporary File"},
    {ToolErr_InvalidIntNumber, "Invalid Integer Number"},
    {ToolErr_InvalidUIntNumber, "Invalid Unsigned Integer Number"},
    {ToolErr_InvalidDoubleNumber, "Invalid Floating Point Number"},
    {ToolErr_InvalidBooleanValue, "Invalid Boolean Value"},
    {ToolErr_LineWouldNotReadBack, "Line Would Not Read Back Unchanged"},

    {RT_ERR_LANGUAGE_FILE, "Not a valid language file"},

    {HISTORY_ERR_OPEN, "The results history cannot be opened or created"},
    {HISTORY_ERR_READ_ONLY, "The results history was written by a newer program and is read-only"},
    {HISTORY_ERR_WRITE, "The results history cannot be written"},
    {HISTORY_ERR_NOT_FOUND, "No such result in the history"},
    {HISTORY_ERR_QUERY, "The results history cannot be read"},
    {HISTORY_ERR_NOT_OPEN, "The results history is not open"},
    {WORKSHOP_ERR_PASSWORD_GIVEN,
     "The connection holds a password; keep it in ~/.pgpass or PGPASSWORD instead"},
    {WORKSHOP_ERR_CONFIG, "The workshop settings file cannot be read or written"},
    {WORKSHOP_ERR_UNREACHABLE, "The workshop server cannot be reached"},
    {WORKSHOP_ERR_AUTHENTICATION, "The workshop server refused the user name or password"},
    {WORKSHOP_ERR_NO_DATABASE, "The workshop server has no such database"},
    {WORKSHOP_ERR_TLS, "The secure connection to the workshop server failed"},
    {WORKSHOP_ERR_SCHEMA, "The workshop database lacks its tables or this bench's rights"},
    {WORKSHOP_ERR_SERVER, "The workshop server refused the request"},
};

} // namespace

const char *GetToolboxErrorString(int errorCode) {
    if (errorCode >= 0) return "No error";
    for (const ErrorText &entry : kErrorTexts)
        if (entry.code == errorCode) return entry.text;
    return "Unknown error";
}

const ErrorText *ErrorTextTable(int *count) {
    if (count) *count = static_cast<int>(std::size(kErrorTexts));
    return kErrorTexts;
}
