// The tester's end of the wire for the application tests: a pseudo-terminal whose far side the
// application opens as a serial port, and helpers that send NUL-terminated lines and records.
#pragma once

#include <string>
#include <vector>

class PtyWriter {
  public:
    PtyWriter();
    ~PtyWriter();
    PtyWriter(const PtyWriter &) = delete;
    PtyWriter &operator=(const PtyWriter &) = delete;

    bool ok() const { return master_ >= 0; }
    // Device path of the far side, the one the application opens.
    const std::string &devicePath() const { return slavePath_; }
    // Sends bytes as they are.
    void sendRaw(const std::string &bytes);
    // Sends one line followed by the NUL terminator.
    void sendLine(const std::string &line);
    // Sends a start line, the value lines and (when withStop) the stop line.
    void sendRecord(const std::vector<std::string> &valueLines, bool withStop = true);

  private:
    int master_ = -1;
    int slaveKeep_ = -1; // keeps the terminal alive while the application has it closed
    std::string slavePath_;
};
