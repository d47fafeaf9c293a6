// The far end of a pseudo-terminal, playing the tester: the code under test opens the device
// side as a serial port, the test sends and receives through the controlling side.
#pragma once

#include <cstddef>
#include <string>

namespace ks_test {

class PtyPeer {
  public:
    // Released: only the code under test holds the device side, so closing the peer is what a
    // receiver sees as the device vanishing. Held: the peer keeps the device side open too, so
    // the line stays up while the code under test closes and reopens its port.
    enum class Device { Released, Held };

    explicit PtyPeer(Device device = Device::Released); // throws when no terminal can be had
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    // The device path the code under test opens.
    const std::string &devicePath() const { return devicePath_; }
    // Sends the bytes as they are; throws when the terminal refuses them.
    void send(const std::string &bytes);
    // Waits until at least `bytes` wait unread on the device side (a Held peer only). The terminal
    // hands written bytes over a moment after send() returns, so a reader in this thread that
    // looks at its queue at once may find nothing yet. False after `seconds`.
    bool waitUntilQueued(size_t bytes, double seconds);
    // Reads what the other end sent until `last` arrives or `seconds` pass.
    std::string receiveUntil(const std::string &last, double seconds);
    // Closes both ends the peer holds.
    void close();

  private:
    int controller_ = -1;
    int heldDevice_ = -1;
    std::string devicePath_;
};

} // namespace ks_test
