// OwnUnwindTables: makes a strategy DLL's C++ exceptions work in any host process.
//
// A strategy DLL carries its own copy of the GCC runtime, unwinder included, and its exceptions
// never leave it. At load, though, the runtime's start-up code hands the DLL's unwind tables to
// the shared GCC runtime (libgcc_s_dw2-1.dll) whenever another module of the process has already
// loaded that DLL. The DLL's own unwinder then knows none of its frames, and the first exception,
// even one thrown and caught inside the DLL, ends the whole process. This unit runs after that
// start-up code and, in that case, registers the tables with the DLL's own unwinder as well.
#if defined(_WIN32) && defined(__GNUC__) && defined(__i386__) && !defined(__SEH__) && \
    !defined(__USING_SJLJ_EXCEPTIONS__)

#include <windows.h>

#include <cstdint>

extern "C" {
// The unwinder's interface (libgcc), as linked into this DLL.
struct TouchlineDwarfEhBases {
    void* tbase;
    void* dbase;
    void* func;
};
const void* _Unwind_Find_FDE(void* pc, TouchlineDwarfEhBases* bases);
void __register_frame_info(const void* begin, void* object);
void* __deregister_frame_info(const void* begin);

extern IMAGE_DOS_HEADER __ImageBase;
}

namespace {

using FindFde = const void* (*)(void*, TouchlineDwarfEhBases*);

// The unwinder's bookkeeping for one table, which it fills in: seven words on 32-bit x86.
alignas(8) void* registration[16];

// The loaded section of this DLL that holds the given address, or null.
const void* sectionStart(const void* inside) {
    const auto* base = reinterpret_cast<const unsigned char*>(&__ImageBase);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + __ImageBase.e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    const auto offset =
        static_cast<std::uintptr_t>(static_cast<const unsigned char*>(inside) - base);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (offset >= section->VirtualAddress &&
            offset < section->VirtualAddress + section->Misc.VirtualSize) {
            return base + section->VirtualAddress;
        }
    }
    return nullptr;
}

class OwnUnwindTables {
public:
    OwnUnwindTables() {
        void* pc = reinterpret_cast<void*>(&sectionStart);
        TouchlineDwarfEhBases bases;
        if (_Unwind_Find_FDE(pc, &bases) != nullptr) return;  // the usual case

        // The shared runtime has the tables: it tells where they start, the start of the
        // section holding this DLL's unwind entries.
        HMODULE shared = GetModuleHandleA("libgcc_s_dw2-1.dll");
        if (shared == nullptr) return;
        auto findShared = reinterpret_cast<FindFde>(
            reinterpret_cast<void*>(GetProcAddress(shared, "_Unwind_Find_FDE")));
        if (findShared == nullptr) return;
        const void* entry = findShared(pc, &bases);
        if (entry == nullptr) return;
        table_ = sectionStart(entry);
        if (table_ != nullptr) __register_frame_info(table_, registration);
    }

    ~OwnUnwindTables() {
        if (table_ != nullptr) __deregister_frame_info(table_);
    }

    OwnUnwindTables(const OwnUnwindTables&) = delete;
    OwnUnwindTables& operator=(const OwnUnwindTables&) = delete;

private:
    const void* table_ = nullptr;
};

// Static constructors run after the start-up code's registration.
const OwnUnwindTables ownUnwindTables;

}  // namespace

#endif
