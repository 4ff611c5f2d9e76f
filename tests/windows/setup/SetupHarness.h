// What the tests of vantrel-setup.exe and of the Shell's path share: running a
// program with its output captured, a private folder holding the programs under
// test, and reading and writing the registry's 64-bit view.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::test {

inline constexpr const wchar_t* kThumbnailProviderIid = L"{E357FCCD-A995-4576-B01F-234630154E96}";
inline const std::vector<std::wstring> kPictureExtensions = {L".iff",  L".ilbm", L".lbm", L".ham", L".ham6",
                                                             L".ham8", L".sham", L".ehb", L".acbm"};

std::wstring classKeyPath();                                  // Software\Classes\CLSID\{handler}
std::wstring thumbnailKeyPath(const std::wstring& extension);  // Software\Classes\<ext>\ShellEx\{thumbnail}
std::wstring extensionKeyPath(const std::wstring& extension);  // Software\Classes\<ext>
std::wstring uninstallKeyPath();  // Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel

struct ProcessResult {
    DWORD exitCode = 0;
    std::string output;  // standard output
    std::string errors;  // standard error
};

// Runs program with the given argument text and waits for it.
ProcessResult runProgram(const std::wstring& program, const std::wstring& arguments);

// A new folder in the temporary folder, removed with everything in it.
class StageFolder {
public:
    StageFolder();
    ~StageFolder();
    StageFolder(const StageFolder&) = delete;
    StageFolder& operator=(const StageFolder&) = delete;

    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }
    void copyIn(const std::wstring& source, const std::wstring& name) const;
    void write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const;

private:
    std::wstring path_;
};

// A build path with forward slashes as Windows programs want it.
std::wstring windowsPath(const std::wstring& path);

bool keyExists(HKEY root, const std::wstring& path);
std::optional<std::wstring> readString(HKEY root, const std::wstring& path, const wchar_t* name);
std::optional<DWORD> readDword(HKEY root, const std::wstring& path, const wchar_t* name);
void writeString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value);
void deleteTree(HKEY root, const std::wstring& path);

// Deletes every extension key, the class key and the uninstall entry, whoever
// wrote them.
void clearHandlerKeys(HKEY root);

// Wine's COM reads classes only from HKEY_LOCAL_MACHINE\Software\Classes and
// its user runs with administrator rights.
bool runningOnWine();

}  // namespace vantrel::test
