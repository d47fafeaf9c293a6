#include "tests/support/pdf_text.h"

#include "tests/support/command.h"
#include "tests/support/files.h"

namespace ks_test {

std::optional<std::string> pdfText(const std::string &pdf) {
    const std::string text = pdf + ".txt";
    if (runCommand("pdftotext '" + pdf + "' '" + text + "'").status != 0) return std::nullopt;
    return readFile(text);
}

} // namespace ks_test
