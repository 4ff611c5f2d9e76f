#include "Options.h"

namespace vantrel::setup {
namespace {

bool isHelp(const std::wstring& arg) { return arg == L"--help" || arg == L"-h" || arg == L"/?"; }

}  // namespace

bool parseOptions(const std::vector<std::wstring>& args, Options& options, std::wstring& error) {
    bool haveCommand = false;
    for (const std::wstring& arg : args) {
        if (isHelp(arg)) {
            options.command = Command::Help;
            return true;
        }
        if (arg == L"--user") {
            options.currentUser = true;
        } else if ((arg == L"install" || arg == L"uninstall") && !haveCommand) {
            options.command = arg == L"install" ? Command::Install : Command::Uninstall;
            haveCommand = true;
        } else if (arg == L"install" || arg == L"uninstall") {
            error = L"only one command may be given";
            return false;
        } else {
            error = L"unknown argument '" + arg + L"'";
            return false;
        }
    }
    if (!haveCommand) {
        error = L"missing command: install or uninstall";
        return false;
    }
    return true;
}

std::wstring usageText() {
    return L"Usage: vantrel-setup install|uninstall [--user]\r\n"
           L"\r\n"
           L"Registers (install) or unregisters (uninstall) the thumbnail handler in the\r\n"
           L"Vantrel.dll next to this program for Amiga IFF pictures (.iff .ilbm .lbm\r\n"
           L".ham .ham6 .ham8 .sham .ehb .acbm), with an entry in Settings > Apps.\r\n"
           L"Install refuses a Vantrel.dll built for another processor than this system's.\r\n"
           L"\r\n"
           L"  --user   for the current user only (HKEY_CURRENT_USER); without it, for\r\n"
           L"           every user of this machine (HKEY_LOCAL_MACHINE, needs administrator)\r\n"
           L"  --help   show this text\r\n"
           L"\r\n"
           L"Exit status: 0 done, 1 a registry or file error, 2 a usage error.";
}

}  // namespace vantrel::setup
