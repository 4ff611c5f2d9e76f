// The identifiers the module answers to: the handler's class, and the
// platform's interface identifiers it compares. Shared with the setup tool,
// which registers the same class.
#pragma once

#include <guiddef.h>

namespace vantrel {

// The thumbnail handler's class, the only class the module serves.
inline constexpr GUID handlerClsid = {0xED61F10D, 0x555F, 0x4513, {0x84, 0x99, 0x57, 0xB9, 0x01, 0xD9, 0x89, 0x85}};
inline constexpr wchar_t handlerClsidString[] = L"{ED61F10D-555F-4513-8499-57B901D98985}";

inline constexpr GUID iidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID iidClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID iidInitializeWithFile = {0xB7D14566, 0x0509, 0x4CCE, {0xA7, 0x1F, 0x0A, 0x55, 0x42, 0x33, 0xBD, 0x9B}};
inline constexpr GUID iidThumbnailProvider = {0xE357FCCD, 0xA995, 0x4576, {0xB0, 0x1F, 0x23, 0x46, 0x30, 0x15, 0x4E, 0x96}};

// Field by field, so that no library comparison routine is needed.
inline bool sameGuid(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) return false;
    }
    return true;
}

}  // namespace vantrel
