// Every error code of ks_read's libraries, with one text each. Qt-free.
//
// Each number has exactly one name and one text. The codes lie in ranges by the layer that
// raises them; a layer's own header includes this one instead of defining codes of its own:
//
//   -12, -65, -91 .. -101  shared: out of memory, a null argument, file errors, a module of the
//                          program that cannot be loaded (every layer)
//   -24, -42 .. -55        the UI run-time: handles, attributes, values, popups
//   -80, -85               the UI run-time: images, printing
//   -200 .. -205           the UI run-time: loading the UI resource
//   -300 .. -307           the serial port
//   -5001 .. -5025         the INI library: files and value syntax
//   -6000                  localized loading: not a usable language file
//   -7001 .. -7006         the results history
//   -7101 .. -7108         the workshop server
//
// -1 .. -11 never leave a library: the localization library uses them inside (langfileio.h) and
// translates them at its entry points; the application's test-code checks use -1 .. -3 as
// results of their own (app/ks_record.h).
#pragma once

enum {
    RT_ERR_NONE = 0,

    // Shared codes.
    RT_ERR_OUT_OF_MEMORY = -12,
    RT_ERR_NULL_POINTER = -65, // a required argument is null
    RT_ERR_TOO_MANY_FILES = -91,
    RT_ERR_END_OF_FILE = -92,
    RT_ERR_IO = -93,
    RT_ERR_FILE_NOT_FOUND = -94,
    RT_ERR_FILE_ACCESS = -95,
    RT_ERR_FILE_NOT_ENABLED = -96,
    RT_ERR_DISK_FULL = -97,
    RT_ERR_FILE_ALREADY_OPEN = -98,
    RT_ERR_BAD_FILE_HANDLE = -99,
    RT_ERR_FILE_EXISTS = -100,
    RT_ERR_MODULE = -101, // a module beside the program (serial port, printing) cannot be loaded

    // The UI run-time.
    RT_ERR_ATTRIBUTE_TYPE = -24, // the attribute or value has another type
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
    RT_ERR_IMAGE_FILE = -80,    // an image file that cannot be read
    RT_ERR_PRINT = -85,         // printing failed
    RT_ERR_NOT_INITIALISED = -200,
    RT_ERR_RESOURCE_FILE = -201,    // the resource file cannot be read or is malformed
    RT_ERR_RESOURCE_ID = -202,      // no panel or menu bar of that id in the resource
    RT_ERR_UNKNOWN_STYLE = -203,    // a control style the run-time does not know
    RT_ERR_DUPLICATE_ID = -204,     // two controls (or menu items) with one id
    RT_ERR_UNKNOWN_CALLBACK = -205, // a callback name missing from the callback table

    // The serial port.
    RT_COM_ERR_PORT_NUMBER = -300, // port number outside 1 .. 1000
    RT_COM_ERR_NO_DEVICE = -301,   // no device for that port number
    RT_COM_ERR_OPEN = -302,        // the device exists but cannot be opened (busy, permission)
    RT_COM_ERR_CONFIG = -303,      // line settings refused
    RT_COM_ERR_NOT_OPEN = -304,    // the port is not open
    RT_COM_ERR_READ = -305,        // the device failed or disappeared during a read
    RT_COM_ERR_WRITE = -306,
    RT_COM_ERR_ESCAPE = -307, // the device refused an RTS/DTR change (the port stays usable)

    // The INI library.
    ToolErr_CantOpenFileForReading = -5001,
    ToolErr_ErrorReadingFile = -5002,
    ToolErr_CouldNotFindUnusedTempFileName = -5003,
    ToolErr_CouldNotCreateTempFile = -5004,
    ToolErr_InvalidIntNumber = -5021,
    ToolErr_InvalidUIntNumber = -5022,
    ToolErr_InvalidDoubleNumber = -5023,
    ToolErr_InvalidBooleanValue = -5024,
    // The INI writer refuses a line that the reader would not read back unchanged (longer
    // than 255 characters, a line break inside, a name the reader splits or renames).
    ToolErr_LineWouldNotReadBack = -5025,

    // Localized loading.
    RT_ERR_LANGUAGE_FILE = -6000,

    // The results history (history/history.h).
    HISTORY_ERR_OPEN = -7001,      // the database cannot be opened or created
    HISTORY_ERR_READ_ONLY = -7002, // written by a newer program: opened to read only
    HISTORY_ERR_WRITE = -7003,     // a write failed (a full disk, a read-only folder)
    HISTORY_ERR_NOT_FOUND = -7004, // no result of that local id
    HISTORY_ERR_QUERY = -7005,     // a query failed (a damaged file found while reading)
    HISTORY_ERR_NOT_OPEN = -7006,  // no database is open

    // The workshop server (workshop/).
    WORKSHOP_ERR_PASSWORD_GIVEN = -7101, // a connection string holds a password: never stored
    WORKSHOP_ERR_CONFIG = -7102,         // workshop.ini cannot be read or written
    WORKSHOP_ERR_UNREACHABLE = -7103,    // the server's host cannot be reached
    WORKSHOP_ERR_AUTHENTICATION = -7104, // the server refused the user or password
    WORKSHOP_ERR_NO_DATABASE = -7105,    // the server has no such database
    WORKSHOP_ERR_TLS = -7106,            // the secure connection failed (certificate, mode)
    WORKSHOP_ERR_SCHEMA = -7107,         // the database lacks the workshop tables or rights
    WORKSHOP_ERR_SERVER = -7108,         // any other refusal of the server
};

// The text of any code above; "No error" for 0 and positive values, "Unknown error" for a
// negative value that is not a code. The texts live in one table (errors.cpp).
const char *GetToolboxErrorString(int errorCode);

// The table itself, in order of the ranges above, for checks that walk every code.
struct ErrorText {
    int code;
    const char *text;
};
const ErrorText *ErrorTextTable(int *count);
