#include "pty_writer.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

PtyWriter::PtyWriter() {
    int master = -1, slave = -1;
    char name[256] = "";
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    termios raw{};
    if (tcgetattr(slave, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
    }
    master_ = master;
    slaveKeep_ = slave;
    slavePath_ = name;
}

PtyWriter::~PtyWriter() {
    if (master_ >= 0) close(master_);
    if (slaveKeep_ >= 0) close(slaveKeep_);
}

void PtyWriter::sendRaw(const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

void PtyWriter::sendLine(const std::string &line) {
    std::string bytes = line;
    bytes.push_back('\0');
    sendRaw(bytes);
}

void PtyWriter::sendRecord(const std::vector<std::string> &valueLines, bool withStop) {
    std::string bytes = std::string("START  : record") + '\0';
    for (const auto &line : valueLines)
        bytes += line + '\0';
    if (withStop) bytes += std::string("STOP   : ") + '\0';
    sendRaw(bytes);
}
