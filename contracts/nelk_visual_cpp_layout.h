// The object layout a Windows host sees, for compilers that would lay the interfaces out another
// way. A Windows host is built with Visual C++, which gives a class's virtual destructor ONE
// vtable slot (the "deleting destructor", which takes a flags word: bit 0 set means free the
// memory too) and, on 32-bit x86, calls member functions with thiscall. So a host deletes a
// component through slot 0 and calls `callback` through slot 1; a component reaches `hostSend`
// through slot 1 of the host object.
//
// mingw-w64's g++ and clang in GNU mode give a virtual destructor two slots. Where they build for
// Windows (NELK_VISUAL_CPP_LAYOUT), nelk_host and nelk_client_callback therefore declare slot 0
// themselves, NELK_DELETING_DESTRUCTOR below, and put their virtual destructor after the
// operation, where no Visual C++ host looks. Source that derives from the interfaces, overrides
// the destructor, calls the operation or deletes through it stays the same; a host built by such
// a compiler deletes through slot 0 (nelk_test_kit::deleteComponent) so that components built by
// Visual C++ are deleted too. Visual C++ itself, and every other platform, use the plain
// declarations.
#pragma once

#if defined(_WIN32) && !defined(_MSC_VER)
#define NELK_VISUAL_CPP_LAYOUT 1
#else
#define NELK_VISUAL_CPP_LAYOUT 0
#endif

// The calling convention of the interfaces' operations: Visual C++'s for member functions.
#if NELK_VISUAL_CPP_LAYOUT && defined(__i386__)
#define NELK_THISCALL __attribute__((thiscall))
#else
#define NELK_THISCALL
#endif

// Slot 0 of an interface under NELK_VISUAL_CPP_LAYOUT: Visual C++'s deleting destructor. Runs the
// whole destructor chain through the virtual destructor, and with bit 0 of `flags` set frees the
// object as `delete` does, inside the module that made it. Returns the object's address, as
// Visual C++'s does (callers ignore it). Not final, so that a call of it stays a call through slot
// 0 (the object may come from Visual C++); a class overrides only the destructor, never this.
#define NELK_DELETING_DESTRUCTOR(type)                                   \
    virtual void* NELK_THISCALL deletingDestructor(unsigned int flags) { \
        void* const address = this;                                      \
        if ((flags & 1u) != 0) {                                         \
            delete this;                                                 \
        } else {                                                         \
            this->~type();                                               \
        }                                                                \
        return address;                                                  \
    }
