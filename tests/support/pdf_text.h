// The text of a PDF the code under test printed, as pdftotext finds it.
#pragma once

#include <optional>
#include <string>

namespace ks_test {

// Writes the text beside the PDF (<pdf>.txt) and returns it; nothing when pdftotext is missing or
// cannot read the file.
std::optional<std::string> pdfText(const std::string &pdf);

} // namespace ks_test
