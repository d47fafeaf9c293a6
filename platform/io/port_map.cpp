// Port numbers to serial devices on Linux. See platform/serial.h and docs/serial-ports.md.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/io/io_internal.h"
#include "platform/io/serial.h"
#include "platform/io/testing_io.h"

namespace {

std::map<int, std::string> &testPortMap() {
    static std::map<int, std::string> map;
    return map;
}

std::vector<std::string> listFolder(const std::string &folder) {
    std::vector<std::string> names;
    DIR *dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::string canonical(const std::string &path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// Splits "ttyUSB12" into ("ttyUSB", 12); -1 when the name has no trailing number.
std::pair<std::string, long> splitNumber(const std::string &name) {
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])))
        --digits;
    if (digits == name.size() || name.size() - digits > 6) return {name, -1};
    return {name.substr(0, digits), std::strtol(name.c_str() + digits, nullptr, 10)};
}

bool naturalLess(const std::string &a, const std::string &b) {
    return splitNumber(a) < splitNumber(b);
}

bool hasPrefix(const std::string &name, const char *prefix) {
    return name.rfind(prefix, 0) == 0;
}

// A UART is present when the serial core reports a port type other than 0 (unknown).
bool uartPresent(const std::string &sysRoot, const std::string &name) {
    std::ifstream typeFile(sysRoot + "/class/tty/" + name + "/type");
    int type = 0;
    return (typeFile >> type) && type != 0;
}

} // namespace

void RT_TestMapPort(int port, const char *devicePath) {
    if (devicePath == nullptr)
        testPortMap().erase(port);
    else
        testPortMap()[port] = devicePath;
}

namespace ks_io {

std::vector<std::string> platformSerialDevices(const std::string &devRoot,
                                               const std::string &sysRoot) {
    std::vector<std::string> devices;
    std::set<std::string> reached;

    const std::string byId = devRoot + "/serial/by-id";
    std::vector<std::string> links = listFolder(byId);
    std::sort(links.begin(), links.end());
    for (const std::string &link : links) {
        devices.push_back(byId + "/" + link);
        reached.insert(canonical(byId + "/" + link));
    }

    std::vector<std::string> usb, builtin;
    for (const std::string &name : listFolder(devRoot)) {
        if (hasPrefix(name, "ttyACM") || hasPrefix(name, "ttyUSB")) {
            if (splitNumber(name).second >= 0) usb.push_back(name);
        } else if (hasPrefix(name, "ttyS") && splitNumber(name).first == "ttyS" &&
                   splitNumber(name).second >= 0) {
            builtin.push_back(name);
        }
    }
    std::sort(usb.begin(), usb.end(), naturalLess);
    std::sort(builtin.begin(), builtin.end(), naturalLess);
    for (const std::string &name : usb) {
        const std::string path = devRoot + "/" + name;
        if (reached.count(canonical(path)) == 0) devices.push_back(path);
    }
    for (const std::string &name : builtin)
        if (uartPresent(sysRoot, name)) devices.push_back(devRoot + "/" + name);
    return devices;
}

std::string portPath(int port, const char *deviceName) {
    if (deviceName != nullptr && deviceName[0] != '\0')
        return deviceName[0] == '/' ? std::string(deviceName) : "/dev/" + std::string(deviceName);

    const auto mapped = testPortMap().find(port);
    if (mapped != testPortMap().end()) return mapped->second;

    const std::string dir = programDir();
    if (!dir.empty()) {
        const std::string link = dir + "/COM" + std::to_string(port);
        struct stat st {};
        if (::lstat(link.c_str(), &st) == 0) return link;
    }

    const std::vector<std::string> devices = platformSerialDevices();
    if (port >= 1 && static_cast<size_t>(port) <= devices.size())
        return devices[static_cast<size_t>(port) - 1];
    return std::string();
}

} // namespace ks_io

int RT_ComPortDevice(int port, char *buffer, size_t size) {
    if (buffer == nullptr || size == 0) return RT_ERR_NULL_POINTER;
    buffer[0] = '\0';
    if (port < 1 || port > ks_io::kMaxComPort) return RT_COM_ERR_PORT_NUMBER;
    std::string path = ks_io::portPath(port, nullptr);
    // A link names the device it points to; one that dangles names itself.
    if (char *resolved = ::realpath(path.c_str(), nullptr)) {
        path = resolved;
        std::free(resolved);
    }
    if (path.size() >= size) return RT_ERR_INVALID_VALUE;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return 0;
}
