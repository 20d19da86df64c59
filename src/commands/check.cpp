// Check: prints what the inspection of a registration found, one line per
// part that would keep the browser out of Default apps or keep a link from
// opening, a verdict with the advice that repairs it, and then what Windows
// opens web links and pages with now.
#include <vector>

#include "commands/commands.h"
#include "output/text.h"
#include "platform/platform.h"
#include "registration/findings.h"
#include "registration/relocation.h"

using registration::Association;
using registration::ClientName;
using registration::RegistrationFindings;

namespace {

// The class the browser's capabilities name for association; its own
// <Name>URL when they name none.
std::wstring ClaimedClass(const RegistrationFindings& findings, const ClientName& clientName,
                          const std::wstring& association) {
    for (const auto* found : {&findings.urlAssociations, &findings.fileAssociations}) {
        for (const Association& claimed : *found) {
            if (EqualsIgnoringCase(claimed.name, association)) {
                return claimed.progId;
            }
        }
    }
    return registration::ProgId(clientName);
}

// What Windows opens each association with now, asked once each.
class CurrentDefaults {
public:
    const platform::CurrentDefault& Of(const std::wstring& association) {
        for (const auto& known : answers_) {
            if (EqualsIgnoringCase(known.first, association)) {
                return known.second;
            }
        }
        answers_.emplace_back(association, platform::QueryCurrentDefault(association));
        return answers_.back().second;
    }

private:
    std::vector<std::pair<std::wstring, platform::CurrentDefault>> answers_;
};

// How many of the types the capabilities name Windows opens with this
// browser, naming the others. Nothing when Windows could tell none of them.
void PrintTypeCount(const RegistrationFindings& findings, const ClientName& clientName,
                    CurrentDefaults& defaults) {
    std::vector<std::wstring> elsewhere;
    std::vector<std::wstring> unknown;
    std::size_t total = 0;
    for (const auto* found : {&findings.urlAssociations, &findings.fileAssociations}) {
        for (const Association& claimed : *found) {
            const platform::CurrentDefault& current = defaults.Of(claimed.name);
            if (!current.known) {
                unknown.push_back(claimed.name);
            } else if (!EqualsIgnoringCase(current.progId, claimed.progId)) {
                elsewhere.push_back(claimed.name);
            }
            ++total;
        }
    }
    if (unknown.size() == total) {
        return;
    }
    Print(L"Windows opens %u of %u types with %ls",
          static_cast<unsigned>(total - elsewhere.size() - unknown.size()),
          static_cast<unsigned>(total), clientName.c_str());
    if (!elsewhere.empty()) {
        Print(L"; %ls %ls with something else", ListOf(elsewhere).c_str(),
              elsewhere.size() == 1 ? L"opens" : L"open");
    }
    if (!unknown.empty()) {
        Print(L"; what opens %ls is unknown", ListOf(unknown).c_str());
    }
    Print(L".\n");
}

// What Windows opens the web with now, as it decides it: information, not
// problems. When the browser checked out sound but does not open http, the
// last line names the command that opens its Default apps page.
void PrintCurrentDefaults(const RegistrationFindings& findings, RootKey root,
                          const ClientName& clientName) {
    CurrentDefaults defaults;
    bool othersOpenHttp = false;
    for (const wchar_t* association : {L"http", L"https", L".html"}) {
        const platform::CurrentDefault& current = defaults.Of(association);
        const std::wstring claimed = ClaimedClass(findings, clientName, association);
        if (!current.known) {
            std::wstring reason = current.reason;
            if (!reason.empty() && reason.back() == L'.') {
                reason.pop_back();
            }
            Print(L"What Windows opens %ls with is unknown: %ls.\n", association, reason.c_str());
        } else if (EqualsIgnoringCase(current.progId, claimed)) {
            Print(L"Windows opens %ls with %ls (%ls).\n", association, clientName.c_str(),
                  current.progId.c_str());
        } else {
            Print(L"Windows opens %ls with %ls, not with %ls.\n", association,
                  current.progId.c_str(), clientName.c_str());
            othersOpenHttp = othersOpenHttp || std::wstring(association) == L"http";
        }
    }
    PrintTypeCount(findings, clientName, defaults);
    if (findings.problems.empty() && othersOpenHttp) {
        Print(L"%ls is not the default for http; Marovendel.exe settings %ls %ls opens its "
              L"Default apps page.\n",
              clientName.c_str(), RootWord(root), CommandLineWord(clientName.Text()).c_str());
    }
}

// The drive ("F:") where repair would point a registration whose programs
// have gone, or empty when it would not.
std::wstring RepairDrive(RootKey root, const ClientName& clientName,
                         const RegistrationFindings& findings) {
    const registration::Relocation plan = registration::PlanRelocation(root, clientName, findings);
    return plan.kind == registration::Relocation::Kind::Found ? plan.search.drives + L":"
                                                              : std::wstring();
}

}  // namespace

Outcome CheckBrowser(RootKey root, const ClientName& clientName) {
    const RegistrationFindings findings = registration::InspectRegistration(root, clientName);
    if (!findings.registered) {
        PrintNotRegistered(root, clientName.Text());
        return Outcome::Refused;
    }
    for (const std::wstring& line : findings.problems) {
        Print(L"%ls", line.c_str());
    }
    const std::size_t problems = findings.problems.size();
    if (problems == 0) {
        Print(L"%ls is registered correctly under %ls.\n", clientName.c_str(), RootWord(root));
    } else if (!findings.programMissing) {
        Print(L"%ls has %d problem(s) under %ls; register it again to repair.\n",
              clientName.c_str(), static_cast<int>(problems), RootWord(root));
    } else if (const std::wstring drive = RepairDrive(root, clientName, findings); !drive.empty()) {
        Print(L"%ls has %d problem(s) under %ls; its program is on %ls now, and Marovendel.exe "
              L"repair %ls points the registration there.\n",
              clientName.c_str(), static_cast<int>(problems), RootWord(root), drive.c_str(),
              RootWord(root));
    } else {
        // A portable browser that moved, as on a USB stick under another
        // drive letter: its new place is what repairs it.
        Print(L"%ls has %d problem(s) under %ls; %ls\n", clientName.c_str(),
              static_cast<int>(problems), RootWord(root), MovedBrowserAdvice(root));
    }
    PrintCurrentDefaults(findings, root, clientName);
    return problems == 0 ? Outcome::Done : Outcome::Failed;
}
