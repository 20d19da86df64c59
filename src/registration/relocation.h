// A registration whose programs have gone, as from a USB stick that Windows
// gave another drive letter, pointed at the drive where they are now: which
// drive, and which values change. Found without changing anything; check
// names the repair it finds, and repair writes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "programs/moved_program.h"
#include "registration/findings.h"
#include "registration/layout.h"
#include "registry/registry.h"

namespace registration {

// A string value that a repair rewrites, and the text it gets. Its type,
// REG_SZ or REG_EXPAND_SZ, stays.
struct ValueRewrite {
    std::wstring keyPath;
    const wchar_t* name = nullptr;  // null: the default value
    std::uint32_t type = registry::kRegSz;
    std::wstring text;
};

struct Relocation {
    enum class Kind {
        Whole,          // no program is missing
        OtherProblems,  // something besides moved programs is wrong, or a
                        // command names its drive only through a variable
        Unreadable,     // a value to rewrite could not be read
        Nowhere,        // a program is on no drive that was looked at
        OnSeveral,      // on two or more drives, none of them Marovendel's
        Found,          // on one drive: rewrites say what changes
    };
    Kind kind = Kind::Whole;
    std::vector<std::wstring> gone;  // each missing program once, as its command names it
    DriveSearch search;
    // Found: the values that change, client's first, and the key trees they
    // lie in besides the client's, which its backup must hold as well.
    std::vector<ValueRewrite> rewrites;
    std::vector<std::wstring> trees;
};

// How the registration of clientName under root, inspected as findings, can
// be pointed at where its programs are now. Only values under root that name
// a moved program or its folder change: the client's and each class's open
// command and DefaultIcon, and ApplicationIcon.
Relocation PlanRelocation(registry::RootKey root, const ClientName& clientName,
                          const RegistrationFindings& findings);

}  // namespace registration
