// Texts of the run-time's error codes. See platform/rt_errors.h.
#include "platform/rt_errors.h"
#include "platform/serial.h"

const char *RT_GetErrorString(int code) {
    switch (code) {
    case RT_ERR_NONE:
        return "No error";
    case RT_ERR_NOT_INITIALISED:
        return "The user-interface run-time is not initialised";
    case RT_ERR_RESOURCE_FILE:
        return "The user-interface resource file cannot be read or is malformed";
    case RT_ERR_RESOURCE_ID:
        return "No panel or menu bar of that id in the resource file";
    case RT_ERR_UNKNOWN_STYLE:
        return "Unknown control style";
    case RT_ERR_DUPLICATE_ID:
        return "Duplicate or invalid control or menu item id";
    case RT_ERR_UNKNOWN_CALLBACK:
        return "Callback name missing from the callback table";
    case RT_ERR_INVALID_PANEL:
        return "The panel handle is invalid";
    case RT_ERR_INVALID_CONTROL:
        return "The control id is invalid";
    case RT_ERR_INVALID_ATTRIBUTE:
        return "The object has no such attribute";
    case RT_ERR_CLASS_MISMATCH:
        return "The operation does not apply to a control of this kind";
    case RT_ERR_COUNT_MISMATCH:
        return "Count mismatch";
    case RT_ERR_INVALID_VALUE:
        return "Invalid value";
    case RT_ERR_INDEX_OUT_OF_RANGE:
        return "Index out of range";
    case RT_ERR_INVALID_MENU_BAR:
        return "The menu bar handle is invalid";
    case RT_ERR_INVALID_MENU_ITEM:
        return "The menu or menu item id is invalid";
    case RT_ERR_NOT_A_POPUP:
        return "No such popup";
    case RT_ERR_NO_ACTIVE_CONTROL:
        return "No active control";
    case RT_ERR_INPUT_REFUSED:
        return "Input refused: a popup is active";
    case RT_ERR_READ_ONLY:
        return "The attribute cannot be set";
    case RT_ERR_CANCELLED:
        return "Cancelled by the operator";
    case RT_ERR_OUT_OF_MEMORY:
        return "Out of memory";
    case RT_ERR_ATTRIBUTE_TYPE:
        return "The attribute or value has another type";
    case RT_ERR_NULL_POINTER:
        return "Null pointer passed";
    case RT_ERR_IMAGE_FILE:
        return "The image file cannot be read";
    case RT_ERR_PRINT:
        return "Printing failed";
    case RT_ERR_TOO_MANY_FILES:
        return "Too many files are open";
    case RT_ERR_IO:
        return "Input/output error";
    case RT_ERR_FILE_NOT_FOUND:
        return "File not found";
    case RT_ERR_FILE_ACCESS:
        return "File access denied";
    case RT_ERR_DISK_FULL:
        return "Disk full";
    case RT_ERR_FILE_EXISTS:
        return "File already exists";
    case RT_ERR_LANGUAGE_FILE:
        return "Not a valid language file";
    // The serial services' codes (platform/serial.h); no other run-time code uses -2 .. -9.
    case RT_COM_ERR_PORT_NUMBER:
        return "Serial port number out of range";
    case RT_COM_ERR_NO_DEVICE:
        return "No serial device for that port number";
    case RT_COM_ERR_OPEN:
        return "The serial device cannot be opened (busy or no permission)";
    case RT_COM_ERR_CONFIG:
        return "The serial device refused the line settings";
    case RT_COM_ERR_NOT_OPEN:
        return "The serial port is not open";
    case RT_COM_ERR_READ:
        return "The serial device failed or disappeared during a read";
    case RT_COM_ERR_WRITE:
        return "The serial device failed during a write";
    case RT_COM_ERR_ESCAPE:
        return "The serial device refused an RTS/DTR change";
    }
    return "Unknown error";
}
