// Serial-port services of the run-time. Qt-free interface; ports are numbered 1 and up.
//
// Port n opens the device that a link or device node named COM<n> in the program folder points
// to; without one the platform's rule applies (docs/serial-ports.md: on Linux the n-th of the USB
// adapters, then the built-in ports with a UART). The link is resolved again on every (re)open,
// so it may be re-pointed while the program runs.
//
// The ports are Qt SerialPort devices used blocking from the one UI thread; no threads. Create a
// QCoreApplication (or QApplication) before opening a port: without one the ports still work,
// but Qt warns that its socket notifiers need an event dispatcher. Qt SerialPort lives in the
// serial module, ks_serial.so beside the executable, which the first OpenComConfig that finds a
// device loads; no other call loads it, so a program that never opens a port never loads it.
//
// A device that fails (a USB adapter unplugged, a pseudo-terminal's master closed) is closed and
// reported once on Qt's warning channel. Reads then return RT_COM_ERR_READ after waiting out their
// time-out, so a polling caller never spins; while a read waits it tries (at most twice a second)
// to reopen the same link or device path with the same settings and modem lines, and once that
// succeeds reception resumes, within the same read if time is left, with no call from the
// application.
//
// Every function returns 0 (or the count stated) on success, else a negative code: one of the
// RT_COM_ERR_ codes of toolbox/core/errors.h, or RT_ERR_NULL_POINTER / RT_ERR_INVALID_VALUE for a
// null buffer or a value out of range.
#pragma once

#include <cstddef>

#include "toolbox/core/errors.h"

// Opens port (1 .. 1000) with the line settings: baudRate > 0; parity 0 none, 1 odd, 2 even,
// 3 mark, 4 space; dataBits 5 .. 8; stopBits 1 or 2. deviceName, when not empty, names the device
// (an absolute path, or a name under /dev such as "ttyUSB0") and overrides the port mapping.
// inputQueueSize bounds the bytes held in memory (more waits in the driver; 0 or less: no bound);
// outputQueueSize is accepted and ignored (writes block until sent). An open port is closed and
// opened again. The read time-out starts at 10 s. Returns 0, RT_COM_ERR_PORT_NUMBER,
// RT_COM_ERR_NO_DEVICE, RT_COM_ERR_OPEN or RT_COM_ERR_CONFIG (the port is then closed), or
// RT_ERR_MODULE when the serial module cannot be loaded (RT_ComModuleError says why).
int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
// The device port (1 .. 1000) opens now by the mapping above, links followed to their device (a
// dangling link names itself), written with its size; "" when there is none. 0,
// RT_COM_ERR_PORT_NUMBER, RT_ERR_NULL_POINTER, or RT_ERR_INVALID_VALUE when the path does not fit.
int RT_ComPortDevice(int port, char *buffer, size_t size);
template <size_t N> int RT_ComPortDevice(int port, char (&buffer)[N]) {
    return RT_ComPortDevice(port, buffer, N);
}
// 0, or RT_COM_ERR_PORT_NUMBER / RT_COM_ERR_NOT_OPEN.
int CloseCom(int port);
// Time-out of later reads and writes in seconds (0 or more; longer than a day counts as a day).
// RT_ERR_INVALID_VALUE for a negative or NaN value.
int SetComTime(int port, double timeoutSeconds);
// 3 raise RTS, 4 lower RTS, 5 raise DTR, 6 lower DTR; other codes give RT_ERR_INVALID_VALUE.
// RT_COM_ERR_ESCAPE when the device refuses (a pseudo-terminal has no modem lines); the port
// keeps working and the line state is applied again after a reopen.
int ComSetEscape(int port, int escapeCode);
// Reads until the terminator byte (neither stored nor counted), count bytes, or the time-out.
// Returns the number of bytes stored (0 .. count; bytes that arrived before a time-out are
// returned), or a negative error. Bytes after the terminator stay queued for the next read; when
// count bytes are stored first, the terminator that follows them is left for the next read (which
// then returns 0 at once). A terminator outside 0 .. 255 means none. Bytes already queued are
// taken before any wait. RT_COM_ERR_READ when the device has failed (after the time-out has
// passed); RT_COM_ERR_NOT_OPEN at once for a port that is not open.
int ComRdTerm(int port, char *buffer, int count, int terminator);
// Writes count bytes and waits until they are sent (at least 1 s, else the port's time-out).
// Returns count or RT_COM_ERR_WRITE.
int ComWrt(int port, const char *buffer, int count);
// Discards everything received and not yet read. RT_COM_ERR_READ while the device is lost.
int FlushInQ(int port);
// Discards, without waiting, the received bytes equal to byteValue (0 .. 255) at the head of the
// queue, up to the first other byte, which stays for the next read (a megabyte at most per call).
// So a flood of empty lines (NUL bytes) is dropped at once instead of line by line. Returns the
// number of bytes discarded, RT_ERR_INVALID_VALUE, or RT_COM_ERR_READ while the device is lost.
int RT_ComDiscardLeading(int port, int byteValue);
// Number of received bytes not yet read, or a negative error. On a lost device it first tries to
// reopen it, without waiting (at most twice a second, like a read), so a caller that only reads
// when bytes are queued still gets the device back.
int GetInQLen(int port);
// Calls notify(data) from the event loop whenever bytes arrive on the port (also while a read
// waits for them). The registration belongs to the port number: it stays while the port is
// closed, reopened or lost; a null notify ends it. 0 or RT_COM_ERR_PORT_NUMBER.
int RT_ComSetArrivalNotify(int port, void (*notify)(void *), void *data);

// What a port is doing, for a status display: RT_COM_STATE_CLOSED (never opened, or closed),
// RT_COM_STATE_OPEN, or RT_COM_STATE_LOST (the device failed; reads and GetInQLen reopen it when
// it comes back). A device that has hung up since the last read is found here and marked lost at
// once, and a lost one is tried again at the pace of the reads, so the answer follows the device
// without a read. When device is not null, the device the port opened (a COM<n> link resolved to
// its target) is copied into it, cut to size bytes (size > 0); "" for a closed port. Returns the
// state, RT_COM_ERR_PORT_NUMBER, or RT_ERR_INVALID_VALUE for a device buffer of no size.
enum { RT_COM_STATE_CLOSED = 0, RT_COM_STATE_OPEN = 1, RT_COM_STATE_LOST = 2 };
int RT_ComPortState(int port, char *device, int size);

// After RT_ERR_MODULE: why the serial module could not be loaded, in two lines (what is wrong,
// then the detail that names the module's full path); "" once it has loaded. The text stays
// valid until the next OpenComConfig.
const char *RT_ComModuleError(void);
