// The tester's end of the wire for the application tests: a pseudo-terminal whose device side
// the application opens as a serial port, and a helper that sends a record of NUL-terminated
// lines.
#pragma once

#include <string>
#include <vector>

#include "tests/support/pty_peer.h"

class PtyWriter : public ks_test::PtyPeer {
  public:
    // The device side stays held, so the line survives the application closing its port.
    PtyWriter() : PtyPeer(Device::Held) {}

    // Sends a start line, the value lines and (when withStop) the stop line.
    void sendRecord(const std::vector<std::string> &valueLines, bool withStop = true);
};
