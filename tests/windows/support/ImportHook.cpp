#include "tests/windows/support/ImportHook.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vantrel::test {
namespace {

const unsigned char* base(HMODULE module) { return reinterpret_cast<const unsigned char*>(module); }

const IMAGE_IMPORT_DESCRIPTOR* firstImport(HMODULE module) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base(module) + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    return reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base(module) + imports.VirtualAddress);
}

void** findInDescriptor(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR& descriptor, const char* function) {
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base(module) + descriptor.OriginalFirstThunk);
    auto* slots = reinterpret_cast<void**>(const_cast<unsigned char*>(base(module)) + descriptor.FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base(module) + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) return slots;
    }
    return nullptr;
}

void writeSlot(void** slot, void* value) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), protection, &protection);
}

}  // namespace

void** findImportSlot(HMODULE module, const char* dll, const char* function) {
    for (const auto* d = firstImport(module); d != nullptr && d->Name != 0; ++d) {
        const char* name = reinterpret_cast<const char*>(base(module) + d->Name);
        if (lstrcmpiA(name, dll) == 0) return findInDescriptor(module, *d, function);
    }
    return nullptr;
}

ImportHook::ImportHook(HMODULE module, const char* dll, const char* function, void* replacement)
    : slot_(findImportSlot(module, dll, function)) {
    if (slot_ == nullptr) {
        ADD_FAILURE() << "the module does not import " << dll << "!" << function;
        return;
    }
    original_ = *slot_;
    writeSlot(slot_, replacement);
}

ImportHook::~ImportHook() {
    if (slot_ != nullptr) writeSlot(slot_, original_);
}

}  // namespace vantrel::test
