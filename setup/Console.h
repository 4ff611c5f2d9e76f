// Text output for console programs: wide strings reach a console as they are
// and a pipe or file as UTF-8.
#pragma once

#include <string>

namespace vantrel::setup {

void printLine(const std::wstring& line);
void printError(const std::wstring& line);

// The number in decimal digits.
std::wstring decimal(unsigned long value);

}  // namespace vantrel::setup
