// Where a registration's moved programs are now, and the values that change.
#include "registration/relocation.h"

#include "output/text.h"
#include "platform/platform.h"
#include "programs/command_program.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;
using registry::RootKey;
using registry::Status;

namespace registration {

namespace {

// A value a repair may rewrite, and the tree a backup must hold for it
// (empty: the client's own, which every backup holds).
struct Candidate {
    std::wstring tree;
    std::wstring keyPath;
    const wchar_t* name;  // null: the default value
};

bool Contains(const std::vector<std::wstring>& items, const std::wstring& item) {
    for (const std::wstring& known : items) {
        if (EqualsIgnoringCase(known, item)) {
            return true;
        }
    }
    return false;
}

// The classes the associations name, each once.
std::vector<std::wstring> NamedClasses(const RegistrationFindings& findings) {
    std::vector<std::wstring> classes;
    for (const auto* found : {&findings.urlAssociations, &findings.fileAssociations}) {
        for (const Association& association : *found) {
            if (!Contains(classes, association.progId)) {
                classes.push_back(association.progId);
            }
        }
    }
    return classes;
}

std::vector<Candidate> Candidates(const ClientName& clientName,
                                  const RegistrationFindings& findings) {
    const std::wstring client = ClientKeyPath(clientName);
    const std::wstring& capabilities = findings.capabilitiesPath;
    const bool ownCapabilities =
        EqualsIgnoringCase(capabilities, client) ||
        EqualsIgnoringCase(capabilities.substr(0, client.size() + 1), client + L"\\");
    std::vector<Candidate> candidates;
    candidates.push_back({L"", OpenCommandPath(client), nullptr});
    candidates.push_back({L"", client + L"\\DefaultIcon", nullptr});
    candidates.push_back({ownCapabilities ? L"" : capabilities, capabilities, L"ApplicationIcon"});
    for (const std::wstring& progId : NamedClasses(findings)) {
        const std::wstring path = ClassKeyPath(progId);
        candidates.push_back({path, OpenCommandPath(path), nullptr});
        candidates.push_back({path, path + L"\\DefaultIcon", nullptr});
    }
    return candidates;
}

// A string value's text and type, REG_SZ or REG_EXPAND_SZ, each read through
// the one typed string read.
Status ReadTypedString(const Key& key, const wchar_t* name, std::wstring& text,
                       std::uint32_t& type) {
    type = registry::kRegSz;
    Status status = registry::ReadString(key, name, registry::kAcceptSz, kValueBytes, text);
    if (status == registry::kUnsupportedType) {
        type = registry::kRegExpandSz;
        status = registry::ReadString(key, name, registry::kAcceptExpandSz, kValueBytes, text);
    }
    return status;
}

// Adds what the candidate becomes when it names a moved program; false when
// it exists but cannot be read. A missing key or value, or one of another
// type, holds no path to rewrite.
bool AddRewrite(Relocation& plan, RootKey root, const Candidate& candidate) {
    Key key;
    Status status = registry::OpenKey(root, candidate.keyPath, Access::Read, key);
    ValueRewrite rewrite;
    rewrite.keyPath = candidate.keyPath;
    rewrite.name = candidate.name;
    std::wstring text;
    if (status == kSuccess) {
        status = ReadTypedString(key, candidate.name, text, rewrite.type);
    }
    if (status == registry::kFileNotFound || status == registry::kUnsupportedType) {
        return true;
    }
    if (status != kSuccess) {
        return false;
    }
    rewrite.text = WithMovedDrive(text, plan.search.moved);
    if (rewrite.text != text) {
        plan.rewrites.push_back(rewrite);
        if (!candidate.tree.empty() && !Contains(plan.trees, candidate.tree)) {
            plan.trees.push_back(candidate.tree);
        }
    }
    return true;
}

// Whether every missing command gets a rewrite that starts a program. A
// command that names its drive through a variable is not rewritten.
bool RewritesMendAll(const Relocation& plan, const RegistrationFindings& findings) {
    for (const MissingProgram& missing : findings.missingPrograms) {
        bool mended = false;
        for (const ValueRewrite& rewrite : plan.rewrites) {
            mended = mended || (!rewrite.name && EqualsIgnoringCase(rewrite.keyPath,
                                                                    missing.commandKeyPath) &&
                                FindCommandProgram(platform::ExpandEnvironment(rewrite.text))
                                    .exists);
        }
        if (!mended) {
            return false;
        }
    }
    return true;
}

bool OnlyProgramsMoved(RootKey root, const RegistrationFindings& findings) {
    if (findings.missingPrograms.empty() ||
        findings.problems.size() > findings.missingPrograms.size()) {
        return false;
    }
    for (const MissingProgram& missing : findings.missingPrograms) {
        if (missing.root != root) {
            return false;  // an HKCU client's class under HKLM is not its own to rewrite
        }
    }
    return true;
}

}  // namespace

Relocation PlanRelocation(RootKey root, const ClientName& clientName,
                          const RegistrationFindings& findings) {
    const platform::QuietDriveErrors quiet;
    Relocation plan;
    if (findings.missingPrograms.empty()) {
        return plan;
    }
    std::vector<std::wstring> commands;
    for (const MissingProgram& missing : findings.missingPrograms) {
        if (!Contains(plan.gone, missing.program)) {
            plan.gone.push_back(missing.program);
            commands.push_back(missing.command);
        }
    }
    if (!OnlyProgramsMoved(root, findings)) {
        plan.kind = Relocation::Kind::OtherProblems;
        return plan;
    }
    plan.search = FindMovedPrograms(commands, root == RootKey::LocalMachine);
    // Commands that differ only in their arguments start the same program.
    std::vector<MovedProgram> moved;
    for (const MovedProgram& program : plan.search.moved) {
        bool known = false;
        for (const MovedProgram& earlier : moved) {
            known = known || EqualsIgnoringCase(earlier.from, program.from);
        }
        if (!known) {
            moved.push_back(program);
        }
    }
    plan.search.moved = moved;
    if (plan.search.found != DriveSearch::Found::OnOne) {
        plan.kind = plan.search.found == DriveSearch::Found::Nowhere ? Relocation::Kind::Nowhere
                                                                     : Relocation::Kind::OnSeveral;
        return plan;
    }
    for (const Candidate& candidate : Candidates(clientName, findings)) {
        if (!AddRewrite(plan, root, candidate)) {
            plan.kind = Relocation::Kind::Unreadable;
            return plan;
        }
    }
    plan.kind = RewritesMendAll(plan, findings) ? Relocation::Kind::Found
                                                : Relocation::Kind::OtherProblems;
    return plan;
}

}  // namespace registration
