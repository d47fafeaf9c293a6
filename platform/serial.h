// Serial-port services of the run-time. Qt-free interface; ports are numbered 1 and up.
//
// Port n opens the device that a link or device node named COM<n> in the program folder points
// to; without one the platform's rule applies (README, "Connecting a tester").
#pragma once

enum {
    RT_COM_ERR_PORT_NUMBER = -2,  // port number outside 1 .. 1000
    RT_COM_ERR_NO_DEVICE = -3,    // no device for that port number
    RT_COM_ERR_OPEN = -4,         // the device exists but cannot be opened (busy, permission)
    RT_COM_ERR_CONFIG = -5,       // line settings refused
    RT_COM_ERR_NOT_OPEN = -6,     // the port is not open
    RT_COM_ERR_READ = -7,         // the device failed or disappeared during a read
    RT_COM_ERR_WRITE = -8,
    RT_COM_ERR_ESCAPE = -9,       // the device refused an RTS/DTR change (the port stays usable)
};
// The serial codes lie in -2 .. -9 so that a port failure shown to the operator stays distinct
// from the UI run-time's codes.

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int CloseCom(int port);
int SetComTime(int port, double timeoutSeconds);
// 3 raise RTS, 4 lower RTS, 5 raise DTR, 6 lower DTR.
int ComSetEscape(int port, int escapeCode);
// Reads until the terminator byte (neither stored nor counted), count bytes, or the time-out.
// Returns the number of bytes stored, or a negative error. Bytes after the terminator stay
// queued for the next read.
int ComRdTerm(int port, char *buffer, int count, int terminator);
int ComWrt(int port, const char *buffer, int count);
int FlushInQ(int port);
int GetInQLen(int port);
