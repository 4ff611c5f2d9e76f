// The command line of vantrel-setup.exe: install|uninstall [--user].
#pragma once

#include <string>
#include <vector>

namespace vantrel::setup {

enum class Command { Install, Uninstall, Help };

struct Options {
    Command command = Command::Help;
    bool currentUser = false;
};

// Fills options from the arguments after the program name; on a usage error
// returns false and says what is wrong in error.
bool parseOptions(const std::vector<std::wstring>& args, Options& options, std::wstring& error);

std::wstring usageText();

}  // namespace vantrel::setup
