// The serial module (ks_serial.so): a serial device on Qt SerialPort, behind the interface of
// platform/io/serial_device.h. The only code of the program that uses Qt SerialPort.
#include "platform/io/serial_device.h"

#include <QSerialPort>

#include <type_traits>

#include "toolbox/core/errors.h"

namespace ks_io {
namespace {

class QtSerialDevice final : public SerialDevice {
  public:
    explicit QtSerialDevice(const SerialEvents &events) {
        if (events.arrived)
            QObject::connect(&port_, &QSerialPort::readyRead, &port_, events.arrived);
        if (!events.failed) return;
        // Queued, so the owner looks at the device after Qt's own handling of the error; a
        // device destroyed meanwhile takes the call with it.
        QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                         [this, failed = events.failed](QSerialPort::SerialPortError error) {
                             if (error == QSerialPort::ReadError ||
                                 error == QSerialPort::ResourceError)
                                 QMetaObject::invokeMethod(&port_, failed, Qt::QueuedConnection);
                         });
    }

    int open(const std::string &device, const SerialLine &line) override {
        if (port_.isOpen()) port_.close();
        port_.clearError();
        port_.setPortName(QString::fromLocal8Bit(device.c_str()));
        if (!port_.open(QIODevice::ReadWrite)) {
            const auto error = port_.error();
            port_.clearError();
            return error == QSerialPort::DeviceNotFoundError ? RT_COM_ERR_NO_DEVICE
                                                             : RT_COM_ERR_OPEN;
        }
        if (!port_.setBaudRate(line.baudRate) || !port_.setParity(toParity(line.parity)) ||
            !port_.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits)) ||
            !port_.setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) ||
            !port_.setFlowControl(QSerialPort::NoFlowControl)) {
            port_.close();
            port_.clearError();
            return RT_COM_ERR_CONFIG;
        }
        port_.setReadBufferSize(line.inputQueue);
        return 0;
    }
    void close() override { port_.close(); }
    bool isOpen() const override { return port_.isOpen(); }
    int handle() const override { return static_cast<int>(port_.handle()); }
    bool setModemLine(bool rts, bool raised) override {
        if (rts ? port_.setRequestToSend(raised) : port_.setDataTerminalReady(raised)) return true;
        port_.clearError();
        return false;
    }

    long long bytesAvailable() const override { return port_.bytesAvailable(); }
    QByteArray peek(long long maxBytes) override { return port_.peek(maxBytes); }
    void skip(long long count) override { port_.skip(count); }
    bool waitForReadyRead(int ms) override { return port_.waitForReadyRead(ms); }
    bool clear(bool input) override {
        return port_.clear(input ? QSerialPort::Input : QSerialPort::Output);
    }

    long long write(const char *data, long long count) override { return port_.write(data, count); }
    long long bytesToWrite() const override { return port_.bytesToWrite(); }
    bool waitForBytesWritten(int ms) override { return port_.waitForBytesWritten(ms); }

    Error error() const override {
        switch (port_.error()) {
        case QSerialPort::NoError:
            return Error::None;
        case QSerialPort::TimeoutError:
            return Error::Timeout;
        case QSerialPort::DeviceNotFoundError:
            return Error::NotFound;
        default:
            return Error::Other;
        }
    }
    QString errorString() const override { return port_.errorString(); }
    void clearError() override { port_.clearError(); }

  private:
    static QSerialPort::Parity toParity(int parity) {
        static const QSerialPort::Parity table[] = {
            QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
            QSerialPort::MarkParity, QSerialPort::SpaceParity};
        return parity >= 0 && parity <= 4 ? table[parity] : QSerialPort::NoParity;
    }

    QSerialPort port_;
};

} // namespace
} // namespace ks_io

extern "C" __attribute__((visibility("default"))) ks_io::SerialDevice *
ks_new_serial_device(const ks_io::SerialEvents &events) {
    return new ks_io::QtSerialDevice(events);
}
static_assert(std::is_same_v<decltype(&ks_new_serial_device), ks_io::NewSerialDevice>,
              "the entry point must have the type the loader casts it to");
