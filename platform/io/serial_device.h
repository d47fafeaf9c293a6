// One serial device, opened by its path and used blocking: the interface between the serial
// services (serial.cpp: port numbers, time-outs, a lost device and its reopening) and the serial
// module (serial_module.cpp, built as ks_serial.so), which implements it on Qt SerialPort. The
// program loads the module, and Qt SerialPort with it, when it opens its first port.
// Internal to the run-time.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <string>

namespace ks_io {

// Line settings, already checked by OpenComConfig.
struct SerialLine {
    int baudRate = 9600;
    int parity = 0; // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int dataBits = 8;
    int stopBits = 1;
    long long inputQueue = 0; // bytes held in memory; 0: no bound
};

// What the device tells its owner, from the event loop.
struct SerialEvents {
    std::function<void()> arrived; // bytes arrived
    std::function<void()> failed;  // a read or the device failed outside the owner's own calls
};

class SerialDevice {
  public:
    // The device's last error, as far as the owner tells them apart.
    enum class Error { None, Timeout, NotFound, Other };

    virtual ~SerialDevice() = default;

    // Opens the device (closing it first when open) with the line settings. 0,
    // RT_COM_ERR_NO_DEVICE, RT_COM_ERR_OPEN, or RT_COM_ERR_CONFIG (the device is closed again).
    virtual int open(const std::string &device, const SerialLine &line) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual int handle() const = 0; // the file descriptor; -1 when closed
    // Raises or lowers RTS (rts) or DTR; false when the device refuses (the error is cleared).
    virtual bool setModemLine(bool rts, bool raised) = 0;

    // Received bytes: those held in memory, a look at them, and dropping them once read.
    virtual long long bytesAvailable() const = 0;
    virtual QByteArray peek(long long maxBytes) = 0;
    virtual void skip(long long count) = 0;
    // Waits up to ms for new bytes (errno as the wait left it when false).
    virtual bool waitForReadyRead(int ms) = 0;
    // Discards received (input) or unsent bytes; false when the device refuses.
    virtual bool clear(bool input) = 0;

    virtual long long write(const char *data, long long count) = 0;
    virtual long long bytesToWrite() const = 0;
    virtual bool waitForBytesWritten(int ms) = 0;

    virtual Error error() const = 0;
    virtual QString errorString() const = 0;
    virtual void clearError() = 0;
};

// The module's entry point: a new device, closed, that reports through events.
using NewSerialDevice = SerialDevice *(*)(const SerialEvents &events);
inline constexpr char kSerialModuleFile[] = "ks_serial.so";
inline constexpr char kNewSerialDeviceSymbol[] = "ks_new_serial_device";

} // namespace ks_io
