// Repair: points each registration under a root whose programs have gone,
// as when Windows gave a USB stick another drive letter, at the same paths
// on the drive where they are now. Nothing of a registration is written
// unless every program it misses is found on one drive and its backup was
// written first; what cannot be repaired gets one line and stays as it was.
#include "commands/commands.h"
#include "output/text.h"
#include "platform/platform.h"
#include "programs/replaceable.h"
#include "registration/backup.h"
#include "registration/clients.h"
#include "registration/relocation.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;
using registration::ClientName;
using registration::Relocation;
using registration::ValueRewrite;

namespace {

// "HKCU\path (name)", as check names a value.
std::wstring ValueName(RootKey root, const ValueRewrite& rewrite) {
    return std::wstring(RootWord(root)) + L"\\" + rewrite.keyPath + L" (" +
           (rewrite.name == nullptr ? L"default" : rewrite.name) + L")";
}

// "A was" or "A and B were", for the programs that have gone.
std::wstring Gone(const Relocation& plan) {
    return ListOf(plan.gone) + (plan.gone.size() == 1 ? L" was" : L" were");
}

std::wstring DriveList(const std::wstring& letters) {
    std::vector<std::wstring> drives;
    for (wchar_t letter : letters) {
        drives.push_back(std::wstring(1, letter) + L":");
    }
    return ListOf(drives);
}

// A registration that check finds broken, but not only by programs that
// have moved.
void PrintOtherProblems(RootKey root, const ClientName& name) {
    Print(L"%ls has problems repair does not mend; Marovendel.exe check %ls %ls names them.\n",
          name.c_str(), RootWord(root), CommandLineWord(name.Text()).c_str());
}

// The one line for a registration that is not rewritten.
void PrintNotRepaired(RootKey root, const ClientName& name, const Relocation& plan) {
    switch (plan.kind) {
    case Relocation::Kind::OnSeveral:
        Print(L"%ls: %ls found on %ls; drop the one you use onto Marovendel.exe.\n", name.c_str(),
              Gone(plan).c_str(), DriveList(plan.search.drives).c_str());
        break;
    case Relocation::Kind::Nowhere:
        if (root == RootKey::LocalMachine && plan.search.own != L'\0') {
            // A stick that merely holds the same path must not become every
            // user's browser, so only Marovendel's own drive was looked at.
            const std::wstring own = DriveList(std::wstring(1, plan.search.own));
            Print(L"%ls: %ls not found on %ls, the drive Marovendel runs from; %ls\n",
                  name.c_str(), Gone(plan).c_str(), own.c_str(), MovedBrowserAdvice(root));
        } else {
            Print(L"%ls: %ls found on no drive; %ls\n", name.c_str(), Gone(plan).c_str(),
                  MovedBrowserAdvice(root));
        }
        break;
    case Relocation::Kind::Unreadable:
        Print(L"The registration of %ls under %ls could not be read, so nothing was changed.\n",
              name.c_str(), RootWord(root));
        break;
    default:
        PrintOtherProblems(root, name);
        break;
    }
}

// Writes one value with its type kept; false, with its line, when it could
// not be written.
bool WriteRewrite(RootKey root, const ValueRewrite& rewrite) {
    std::vector<std::uint8_t> bytes = registry::ToUtf16Bytes(rewrite.text);
    bytes.insert(bytes.end(), {0, 0});  // the terminator
    Key key;
    registry::Status status = registry::OpenKey(root, rewrite.keyPath, Access::Write, key);
    if (status == kSuccess) {
        status = registry::SetValue(key, rewrite.name, rewrite.type, bytes);
    }
    if (status != kSuccess) {
        Print(L"Failed to write %ls.\n", ValueName(root, rewrite).c_str());
        return false;
    }
    return true;
}

// "E:\…\foo.exe is now F:\…\foo.exe", for each moved program.
std::wstring Moves(const Relocation& plan) {
    std::vector<std::wstring> moves;
    for (const MovedProgram& moved : plan.search.moved) {
        moves.push_back(moved.from + L" is now " + moved.to);
    }
    return ListOf(moves);
}

// Backs up, then rewrites every value of the plan; true when all were
// written.
bool Rewrite(RootKey root, const ClientName& name, const Relocation& plan,
             const RepairOptions& options) {
    registration::Backup backup;
    if (!options.noBackup) {
        registration::BackupExtent extent;
        extent.trees = plan.trees;
        backup = registration::BackUpRegistration(root, name, extent, false);
        if (!backup.written) {
            Print(L"%ls: nothing was changed, as its backup could not be written.\n", name.c_str());
            return false;
        }
    }
    std::size_t failed = 0;
    for (const ValueRewrite& rewrite : plan.rewrites) {
        failed += WriteRewrite(root, rewrite) ? 0 : 1;
    }
    if (failed < plan.rewrites.size()) {
        platform::NotifyAssociationsChanged();
    }
    const std::wstring backupNote = backup.path.empty() ? L"" : L"; backup in " + backup.path;
    if (failed > 0) {
        const std::wstring restore = backup.path.empty()
                                         ? L", and no backup was made."
                                         : L"; " + backup.path + L" restores them as they were.";
        Print(L"%ls was not repaired: %u of %u values could not be written%ls\n", name.c_str(),
              static_cast<unsigned>(failed), static_cast<unsigned>(plan.rewrites.size()),
              restore.c_str());
        return false;
    }
    Print(L"%ls: %ls%ls\n", name.c_str(), Moves(plan).c_str(), backupNote.c_str());
    if (root == RootKey::LocalMachine) {
        for (const MovedProgram& moved : plan.search.moved) {
            WarnIfStandardUsersCouldChange(L"\"" + moved.to + L"\"");
        }
    }
    return true;
}

}  // namespace

Outcome RepairBrowsers(RootKey root, const RepairOptions& options) {
    // The drive a program has gone from may now be an empty card reader,
    // which would ask for a disk as soon as its programs are looked for.
    const platform::QuietDriveErrors quiet;
    bool read = true;
    const std::vector<registration::RegisteredClient> clients =
        registration::RegisteredClients(root, read);
    if (!read) {
        Print(L"The browsers registered under %ls could not all be read.\n", RootWord(root));
    }
    bool whole = read;
    bool anyBroken = false;
    for (const registration::RegisteredClient& client : clients) {
        const registration::RegistrationFindings findings =
            registration::InspectRegistration(root, client.name);
        if (findings.problems.empty()) {
            continue;
        }
        anyBroken = true;
        if (findings.missingPrograms.empty()) {
            // Its programs exist, so it is left alone; check tells the rest.
            PrintOtherProblems(root, client.name);
            whole = false;
            continue;
        }
        const Relocation plan = registration::PlanRelocation(root, client.name, findings);
        if (plan.kind == Relocation::Kind::Found) {
            whole = Rewrite(root, client.name, plan, options) && whole;
        } else {
            PrintNotRepaired(root, client.name, plan);
            whole = false;
        }
    }
    if (!anyBroken && read) {
        Print(L"Every registered browser under %ls starts a program that exists.\n",
              RootWord(root));
    }
    return whole ? Outcome::Done : Outcome::Failed;
}
