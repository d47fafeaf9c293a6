// The panel-and-control run-time: the one header the layers above include.
//
// Panels and menu bars are addressed by positive integer handles, controls by (panel, id),
// attributes by number. Every function returns 0 (or a positive value where stated) on success
// and a negative error code from the table in platform/rt_errors.h on failure; none of them
// crashes on a handle or attribute that does not exist.
//
// Text results are always written through a buffer with its size (or a char array whose size the
// template overload deduces), so no call can write past the caller's buffer; a longer text is cut
// at a UTF-8 character boundary and still terminated.
#pragma once

#include <cstddef>
#include <string>

#include "platform/ui/rt_constants.h"
#include "platform/ui/rt_errors.h"
#include "platform/io/files.h"
#include "platform/io/serial.h"

// ---- Callback shapes ------------------------------------------------------------------------

typedef int (*CtrlCallbackPtr)(int panel, int control, int event, void *callbackData,
                               int eventData1, int eventData2);
typedef int (*PanelCallbackPtr)(int panel, int event, void *callbackData, int eventData1,
                                int eventData2);
typedef void (*MenuCallbackPtr)(int menuBar, int menuItem, void *callbackData, int panel);
// The main callback sees every event (handle is the panel or menu bar, control the control or
// menu item, 0 when the event has none).
typedef int (*MainCallbackPtr)(int handle, int control, int event, void *callbackData,
                               int eventData1, int eventData2);

// One entry of the application's callback table: resources bind callbacks by these names.
enum RT_CallbackKind { RT_CTRL_CALLBACK = 1, RT_PANEL_CALLBACK = 2, RT_MENU_CALLBACK = 3 };
struct RT_Callback {
    const char *name;
    RT_CallbackKind kind;
    void *function; // a CtrlCallbackPtr, PanelCallbackPtr or MenuCallbackPtr cast to void*
};

// ---- Start and event loop ---------------------------------------------------------------------

// Hands the run-time the application's callback table. Call before InitRuntime; the table must
// live for the whole run. Resources that name a callback missing from it fail to load.
int RT_RegisterCallbacks(const RT_Callback *table, int count);
// For programs that load resources without the application's functions (viewers, tools): a
// callback name then binds to nothing instead of failing the load.
void RT_AllowUnboundCallbacks(int allow);

// Starts the run-time (creates the Qt application). Returns 1 on success, 0 on failure.
int InitRuntime(int reserved1, char **argv, int reserved2);
int RunUserInterface(void);
int QuitUserInterface(int returnCode);
int ProcessSystemEvents(void);
// Installs (or, with a null function, removes) the main callback; idleEvents non-zero asks for
// EVENT_IDLE whenever the loop is idle, also while a popup waits.
int InstallMainCallback(MainCallbackPtr function, void *callbackData, int idleEvents);
// 0: idle events as often as possible, paced to start at most every 10 ms so that a callback
// that returns at once does not spin a core (a callback that blocks longer, in a read, is called
// again at once); n > 0: at most one idle event every n milliseconds.
int SetIdleEventRate(int milliseconds);
// Paces idle events by a serial port instead of the idle event rate: an idle event comes as soon
// as bytes arrive on port (again at once while bytes stay queued after the callback), otherwise
// one every intervalSeconds, so a callback that reads only what is queued never holds the loop.
// Port 0 goes back to the idle event rate. 0, RT_COM_ERR_PORT_NUMBER or RT_ERR_INVALID_VALUE
// (an interval that is not positive).
int RT_WakeIdleOnComInput(int port, double intervalSeconds);
int SetWaitCursor(int on);
int SetSystemAttribute(int attribute, int value);
int GetSystemAttribute(int attribute, int *value);
void RT_Beep(void);
// The English name of the operating system's language ("German", "French" ...; from the locale
// on Linux), as language number 0 needs it, written with its size. Returns 0, or a negative
// error (name left empty).
int RT_GetSystemLanguageName(char *buffer, size_t size);
template <size_t N> int RT_GetSystemLanguageName(char (&buffer)[N]) {
    return RT_GetSystemLanguageName(buffer, N);
}
// Shows Qt's own texts (file and print dialogs, standard buttons, key names in menus) in the
// language of an English name as RT_GetSystemLanguageName gives it ("German" ...), from the
// translations installed with Qt, in place of those of an earlier call. 1 loaded; 0 none (English,
// an unknown name, or no translation installed: Qt's texts stay English); RT_ERR_NOT_INITIALISED.
int RT_SetToolkitLanguage(const char *englishName);
// The picture files DisplayImageFile can show, as a type list for FileSelectPopup
// ("*.bmp;*.png;..."), written with its size. 0, RT_ERR_NULL_POINTER, or RT_ERR_INVALID_VALUE when
// the list does not fit (buffer left empty).
int RT_GetImageFileTypes(char *buffer, size_t size);
template <size_t N> int RT_GetImageFileTypes(char (&buffer)[N]) {
    return RT_GetImageFileTypes(buffer, N);
}
// The break-on-library-errors debugging switch: kept for callers that save and restore it.
int GetBreakOnLibraryErrors(void);
int EnableBreakOnLibraryErrors(void);
int DisableBreakOnLibraryErrors(void);

// ---- Panels -------------------------------------------------------------------------------------

int LoadPanel(int parentPanel, const char *resourceFile, int panelResourceId);
// Reads and checks a panel of the resource as LoadPanel does, without building it: 0, or the
// error LoadPanel would return.
int RT_CheckPanelResource(const char *resourceFile, int panelResourceId);
int NewPanel(int parentPanel, const char *title, int top, int left, int height, int width);
// Shows the panel, drawn at once (also when the caller then keeps the event loop from running).
int DisplayPanel(int panel);
// Draws a shown panel's window on the screen now, without processing any event, so that values
// set while the event loop cannot run (a reception reading the serial port) are seen. 0, or an
// error; a hidden panel is left alone.
int RT_DrawPanelNow(int panel);
int HidePanel(int panel);
int DiscardPanel(int panel);
// Shows the panel as a modal popup, drawn at once like DisplayPanel.
int InstallPopup(int panel);
int RemovePopup(int removeAll); // 0: the topmost popup; non-zero: every popup
// Waits (wait non-zero) in a nested loop for the next commit and returns its event (EVENT_COMMIT),
// with the panel (or menu bar) and control (or menu item); 0 when nothing is pending and wait is 0.
int GetUserEvent(int wait, int *panelOrMenuBar, int *controlOrMenuItem);
int SetPanelAttribute(int panel, int attribute, int value);
int SetPanelAttribute(int panel, int attribute, const char *value);
int SetPanelAttribute(int panel, int attribute, void *value);
int GetPanelAttribute(int panel, int attribute, int *value);
int GetPanelAttribute(int panel, int attribute, void **value);
int GetPanelAttribute(int panel, int attribute, char *buffer, size_t bufferSize);
template <size_t N> int GetPanelAttribute(int panel, int attribute, char (&buffer)[N]) {
    return GetPanelAttribute(panel, attribute, buffer, N);
}
int SetPanelPos(int panel, int top, int left);
int MinimizeAllWindows(void);
int InstallPanelCallback(int panel, PanelCallbackPtr function, void *callbackData);

// ---- Menu bars ---------------------------------------------------------------------------------

int LoadMenuBar(int panel, const char *resourceFile, int menuBarResourceId);
int GetPanelMenuBar(int panel);
int DiscardMenuBar(int menuBar);
int InstallMenuCallback(int menuBar, int menuOrItemId, MenuCallbackPtr function,
                        void *callbackData);
// itemId 0 addresses the menu bar itself (attributes 501 / 502, first menu 1073).
int SetMenuBarAttribute(int menuBar, int itemId, int attribute, int value);
int SetMenuBarAttribute(int menuBar, int itemId, int attribute, const char *value);
int GetMenuBarAttribute(int menuBar, int itemId, int attribute, int *value);
int GetMenuBarAttribute(int menuBar, int itemId, int attribute, char *buffer, size_t bufferSize);
template <size_t N>
int GetMenuBarAttribute(int menuBar, int itemId, int attribute, char (&buffer)[N]) {
    return GetMenuBarAttribute(menuBar, itemId, attribute, buffer, N);
}

// ---- Controls ----------------------------------------------------------------------------------

// Returns the new control's id (positive) or an error.
int NewCtrl(int panel, int style, const char *label, int top, int left);
int DiscardCtrl(int panel, int control);
int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr function, void *callbackData);
int SetActiveCtrl(int panel, int control);
int GetActiveCtrl(int panel);
int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);
int SetCtrlAttribute(int panel, int control, int attribute, const char *value);
int SetCtrlAttribute(int panel, int control, int attribute, void *value);
int GetCtrlAttribute(int panel, int control, int attribute, int *value);
int GetCtrlAttribute(int panel, int control, int attribute, double *value);
int GetCtrlAttribute(int panel, int control, int attribute, void **value);
int GetCtrlAttribute(int panel, int control, int attribute, char *buffer, size_t bufferSize);
template <size_t N> int GetCtrlAttribute(int panel, int control, int attribute, char (&buffer)[N]) {
    return GetCtrlAttribute(panel, control, attribute, buffer, N);
}
int GetCtrlBoundingRect(int panel, int control, int *top, int *left, int *height, int *width);

// Values. A control converts a value of another type to its own data type (attribute 710).
// On a list control (ring, list box) SetCtrlVal selects the item with that value.
// On a text box SetCtrlVal replaces the whole text.
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char *value);
int GetCtrlVal(int panel, int control, int *value);
int GetCtrlVal(int panel, int control, double *value);
int GetCtrlVal(int panel, int control, char *buffer, size_t bufferSize);
template <size_t N> int GetCtrlVal(int panel, int control, char (&buffer)[N]) {
    return GetCtrlVal(panel, control, buffer, N);
}
int GetCtrlValLength(int panel, int control, int *length);

// List controls (rings, list boxes): 0-based indexes.
int SetCtrlIndex(int panel, int control, int index);
int GetCtrlIndex(int panel, int control, int *index);
int GetNumListItems(int panel, int control, int *count);
int GetIndexFromValue(int panel, int control, int *index, int value);
int GetIndexFromValue(int panel, int control, int *index, double value);
int GetIndexFromValue(int panel, int control, int *index, const char *value);
int GetLabelLengthFromIndex(int panel, int control, int index, int *length);
int GetLabelFromIndex(int panel, int control, int index, char *buffer, size_t bufferSize);
template <size_t N> int GetLabelFromIndex(int panel, int control, int index, char (&buffer)[N]) {
    return GetLabelFromIndex(panel, control, index, buffer, N);
}
// How an item of a ring or list box looks: its text and background colours (RT_ITEM_COLOR_OWN:
// the control's own) and the mark drawn before it (a ring shows both for its chosen item, a list
// box shows the colours on the item's row). The mark is copied into mark, cut on a character
// boundary. 0 or a negative code.
int RT_GetListItemLook(int panel, int control, int index, int *textColor, int *backColor,
                       char *mark, size_t markSize);
int RT_SetListItemLook(int panel, int control, int index, int textColor, int backColor,
                       const char *mark);
int GetValueLengthFromIndex(int panel, int control, int index, int *length);
int GetValueFromIndex(int panel, int control, int index, int *value);
int GetValueFromIndex(int panel, int control, int index, double *value);
int GetValueFromIndex(int panel, int control, int index, char *buffer, size_t bufferSize);
template <size_t N> int GetValueFromIndex(int panel, int control, int index, char (&buffer)[N]) {
    return GetValueFromIndex(panel, control, index, buffer, N);
}
// index -1 (or the item count) appends.
int InsertListItem(int panel, int control, int index, const char *label, int value);
int InsertListItem(int panel, int control, int index, const char *label, double value);
int InsertListItem(int panel, int control, int index, const char *label, const char *value);
int ReplaceListItem(int panel, int control, int index, const char *label, int value);
int ReplaceListItem(int panel, int control, int index, const char *label, double value);
int ReplaceListItem(int panel, int control, int index, const char *label, const char *value);
int DeleteListItem(int panel, int control, int index, int count);
int ClearListCtrl(int panel, int control);

// Text boxes: lines are 0-based; a line ends at a line feed.
int InsertTextBoxLine(int panel, int control, int index, const char *text); // -1 appends
int GetNumTextBoxLines(int panel, int control, int *count);
int GetTextBoxLineLength(int panel, int control, int index, int *length);
int GetTextBoxLine(int panel, int control, int index, char *buffer, size_t bufferSize);
template <size_t N> int GetTextBoxLine(int panel, int control, int index, char (&buffer)[N]) {
    return GetTextBoxLine(panel, control, index, buffer, N);
}
// Character offset of the start of a line; for index == line count, the offset of the end.
int GetTextBoxLineOffset(int panel, int control, int index, int *offset);
int DeleteTextBoxLines(int panel, int control, int firstIndex, int count); // count -1: to the end
int ResetTextBox(int panel, int control, const char *text);
// Sends a key to the active control of the active panel; 0x200 deletes the character before
// the caret (and sends EVENT_VAL_CHANGED like a real key press).
int FakeKeystroke(int keyCode);

// Graphs and strip charts: axis 0 = X, 1 = left Y, 2 = right Y.
int GetNumAxisItems(int panel, int control, int axis, int *count);
int GetAxisItemLabelLength(int panel, int control, int axis, int index, int *length);
// label may be null (only the value is read).
int GetAxisItem(int panel, int control, int axis, int index, char *label, size_t labelSize,
                double *value);
int ReplaceAxisItem(int panel, int control, int axis, int index, const char *label, double value);
int InsertAxisItem(int panel, int control, int axis, int index, const char *label, double value);

// Tables: rows and columns are 1-based; a cell is a Point (x = column, y = row).
struct Point {
    int x;
    int y;
};
Point MakePoint(int x, int y);
int GetNumTableRows(int panel, int control, int *count);
int GetNumTableColumns(int panel, int control, int *count);
int InsertTableRows(int panel, int control, int index, int count, int cellType);
int InsertTableColumns(int panel, int control, int index, int count, int cellType);
int SetTableRowAttribute(int panel, int control, int row, int attribute, const char *value);
int SetTableRowAttribute(int panel, int control, int row, int attribute, int value);
int GetTableRowAttribute(int panel, int control, int row, int attribute, int *value);
int GetTableRowAttribute(int panel, int control, int row, int attribute, char *buffer,
                         size_t bufferSize);
int SetTableColumnAttribute(int panel, int control, int column, int attribute, const char *value);
int SetTableColumnAttribute(int panel, int control, int column, int attribute, int value);
int GetTableColumnAttribute(int panel, int control, int column, int attribute, int *value);
int GetTableColumnAttribute(int panel, int control, int column, int attribute, char *buffer,
                            size_t bufferSize);
int SetTableCellAttribute(int panel, int control, Point cell, int attribute, int value);
int GetTableCellAttribute(int panel, int control, Point cell, int attribute, int *value);
int SetTableCellVal(int panel, int control, Point cell, const char *value);
int SetTableCellVal(int panel, int control, Point cell, int value);
int SetTableCellVal(int panel, int control, Point cell, double value);
int GetTableCellValLength(int panel, int control, Point cell, int *length);
int GetTableCellVal(int panel, int control, Point cell, char *buffer, size_t bufferSize);
template <size_t N> int GetTableCellVal(int panel, int control, Point cell, char (&buffer)[N]) {
    return GetTableCellVal(panel, control, cell, buffer, N);
}
int GetTableCellVal(int panel, int control, Point cell, int *value);
int GetTableCellVal(int panel, int control, Point cell, double *value);

// Pictures.
int DisplayImageFile(int panel, int control, const char *path);
// Reads and decodes a picture file now, for the next DisplayImageFile of the same path, which
// uses it unless the file has changed since (a caller with time to spare, such as a start-up
// waiting for its fonts, reads ahead). 0, RT_ERR_NULL_POINTER, RT_ERR_FILE_NOT_FOUND or
// RT_ERR_IMAGE_FILE (nothing kept).
int RT_PreloadImageFile(const char *path);
int DeleteImage(int panel, int control);

// ---- Dialogs and printing ----------------------------------------------------------------------

// Returns VAL_NO_FILE_SELECTED (0) when cancelled, VAL_EXISTING_FILE_SELECTED (1) or
// VAL_NEW_FILE_SELECTED (2) when chosen (the path is written to pathName), negative on error.
int FileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec,
                    const char *fileTypeList, const char *title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char *pathName, size_t pathNameSize);
template <size_t N>
int FileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec,
                    const char *fileTypeList, const char *title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char (&pathName)[N]) {
    return FileSelectPopup(defaultDirectory, defaultFileSpec, fileTypeList, title, buttonLabel,
                           restrictDirectory, restrictExtension, allowCancel, allowMakeDirectory,
                           pathName, N);
}
// The twelve print attributes (ATTR_PRINT_*): 0, RT_ERR_INVALID_ATTRIBUTE or, for a value
// outside its range, RT_ERR_INVALID_VALUE.
int SetPrintAttributeEx(int attribute, int value);
int GetPrintAttribute(int attribute, int *value);
// fileName "" prints to the printer (with the print dialog when prompt is non-zero); a file name
// ending in .pdf prints into that PDF, another extension into an image file of that type.
// scaling 1 fits the panel to the page, 0 prints it at the scale attribute (1307); area is
// accepted and ignored (the panel's client area is printed). 0 when printed, RT_ERR_CANCELLED
// when the operator cancelled the dialog, RT_ERR_PRINT when printing failed, or a handle error.
// The print attributes (docs/printing.md) set up the printer; after the dialog they hold the
// operator's choice.
int PrintPanel(int panel, const char *fileName, int scaling, int area, int prompt);
// Prints a text file (UTF-8, or Latin-1 when it is not valid UTF-8) with the print attributes,
// without a dialog; outputFile "" prints to the printer, a name prints into that PDF.
// 0, RT_ERR_FILE_NOT_FOUND, RT_ERR_FILE_ACCESS, RT_ERR_IO (over 64 MiB) or RT_ERR_PRINT.
int PrintTextFile(const char *textFile, const char *outputFile);

// Shows a modal message box (used by the toolbox's assertion report).
int MessagePopup(const char *title, const char *message);
