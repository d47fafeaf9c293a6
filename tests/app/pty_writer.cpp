#include "pty_writer.h"

void PtyWriter::sendRecord(const std::vector<std::string> &valueLines, bool withStop) {
    std::string bytes = std::string("START  : record") + '\0';
    for (const auto &line : valueLines)
        bytes += line + '\0';
    if (withStop) bytes += std::string("STOP   : ") + '\0';
    send(bytes);
}
