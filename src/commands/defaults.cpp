// Defaults: writes the default-associations file of a registration for every
// user. Windows lets no program make itself the default browser; an
// administrator applies this file instead, at each user's sign-in through
// Group Policy or Intune, or to new profiles through DISM.
#include <string>
#include <vector>

#include "commands/commands.h"
#include "output/backup_file.h"
#include "output/default_associations.h"
#include "output/text.h"
#include "output/whole_file.h"
#include "platform/platform.h"
#include "registration/findings.h"

using registration::Association;
using registration::ClientName;
using registration::RegistrationFindings;

namespace {

constexpr const wchar_t* kFileSuffix = L".defaults.xml";

// text as the inside of a quoted XML attribute, in UTF-8. Tabs and line ends
// are written as references, since a parser turns them into spaces
// otherwise; a character XML cannot hold becomes U+FFFD.
void AppendAttribute(std::string& xml, const std::wstring& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::uint32_t code = NextCodePoint(text, i);
        switch (code) {
        case '&': xml += "&amp;"; break;
        case '<': xml += "&lt;"; break;
        case '>': xml += "&gt;"; break;
        case '"': xml += "&quot;"; break;
        case '\'': xml += "&apos;"; break;
        case '\t': xml += "&#9;"; break;
        case '\n': xml += "&#10;"; break;
        case '\r': xml += "&#13;"; break;
        default:
            AppendUtf8(xml, default_associations::IsXmlCharacter(code) ? code : 0xFFFD);
            break;
        }
    }
}

// The file: one Association per file type, then per scheme. A version (0:
// none) makes each a suggestion Windows applies a single time per version
// (Windows 11 22H2 and later).
std::string DefaultAssociationsXml(const RegistrationFindings& findings,
                                   const std::wstring& applicationName, std::uint32_t version) {
    const bool once = version != 0;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    xml += once ? "<DefaultAssociations Version=\"" + std::to_string(version) + "\">\r\n"
                : "<DefaultAssociations>\r\n";
    for (const auto* associations : {&findings.fileAssociations, &findings.urlAssociations}) {
        for (const Association& association : *associations) {
            xml += "  <Association Identifier=\"";
            AppendAttribute(xml, association.name);
            xml += "\" ProgId=\"";
            AppendAttribute(xml, association.progId);
            xml += "\" ApplicationName=\"";
            AppendAttribute(xml, applicationName);
            xml += once ? "\" Suggested=\"true\" />\r\n" : "\" />\r\n";
        }
    }
    return xml + "</DefaultAssociations>\r\n";
}

// The capabilities' ApplicationName, or the client's name where they hold
// none; false when it is there but cannot be read.
bool ReadApplicationName(const RegistrationFindings& findings, const ClientName& clientName,
                         std::wstring& name) {
    registry::Key capabilities;
    registry::Status status = registry::OpenKey(RootKey::LocalMachine, findings.capabilitiesPath,
                                                registry::Access::Read, capabilities);
    name.clear();
    if (status == registry::kSuccess) {
        status = registry::ReadString(capabilities, L"ApplicationName", registry::kAcceptAnyString,
                                      registration::kValueBytes, name);
    }
    if (status != registry::kSuccess) {
        name.clear();
    }
    if (name.empty()) {
        name = clientName.Text();
    }
    // A value of another type is there and was read; it just names nothing.
    return status == registry::kSuccess || status == registry::kFileNotFound ||
           status == registry::kUnsupportedType;
}

// Where the file goes: the path given, made full, or <stem>.defaults.xml
// beside Marovendel.exe. Empty when Marovendel's own folder is unknown.
std::wstring TargetPath(const ClientName& clientName, const std::wstring& given) {
    if (!given.empty()) {
        return platform::FullPath(given);
    }
    std::wstring directory;
    if (!platform::GetExecutableDirectory(directory)) {
        return std::wstring();
    }
    return directory + L"\\" + BackupFileStem(clientName.Text()) + kFileSuffix;
}

// The entries the file will hold, as an earlier file is compared with them.
std::vector<default_associations::Entry> EntriesOf(const RegistrationFindings& findings,
                                                   const std::wstring& applicationName) {
    std::vector<default_associations::Entry> entries;
    for (const auto* associations : {&findings.fileAssociations, &findings.urlAssociations}) {
        for (const Association& association : *associations) {
            entries.push_back(default_associations::EntryOf(association.name, association.progId,
                                                            applicationName));
        }
    }
    return entries;
}

// What the file at target holds, when there is one; false when one is there
// but cannot be read, and then its Version is unknown.
bool ReadEarlierFile(const std::wstring& target,
                     std::optional<default_associations::Earlier>& earlier) {
    if (target.empty() || !platform::IsExistingFile(target)) {
        return true;
    }
    std::vector<std::uint8_t> bytes;
    if (!platform::ReadWholeFile(target, bytes)) {
        return false;
    }
    earlier = default_associations::ReadEarlier(std::string(bytes.begin(), bytes.end()));
    return true;
}

void PrintHowToApply(const std::wstring& target) {
    Print(L"Default associations written to %ls\n", target.c_str());
    Print(L"For new user profiles, run: Dism.exe /Online /Import-DefaultAppAssociations:\"%ls\"\n",
          target.c_str());
    Print(L"For every sign-in, set the Group Policy \"Set a default associations configuration "
          L"file\" (Computer Configuration > Administrative Templates > Windows Components > "
          L"File Explorer) to this file.\n");
    // The policy's own help text, DISM's and the Policy CSP's pages.
    Print(L"The Group Policy applies only on PCs joined to a domain. Outside a domain, DISM's "
          L"import reaches only profiles created after it, and the MDM policy "
          L"ApplicationDefaults/DefaultAssociationsConfiguration needs a PC joined to Microsoft "
          L"Entra.\n");
}

// The Version line of a -once file of entries.
void PrintVersion(std::uint32_t version, const std::optional<default_associations::Earlier>& earlier,
                  const std::vector<default_associations::Entry>& entries) {
    const auto number = static_cast<unsigned long>(version);
    if (!earlier || !earlier->version) {
        Print(L"Version %lu: Windows applies these associations once to each user, as a suggestion "
              L"they can change.\n",
              number);
    } else if (version == *earlier->version &&
               default_associations::AssociatesDifferently(*earlier, entries)) {
        // The highest a DWORD holds cannot rise.
        Print(L"Version %lu, as before, the highest a Version can be: Windows does not apply the "
              L"changed associations to users who applied it already.\n",
              number);
    } else if (version == *earlier->version) {
        Print(L"Version %lu, as before: the associations are unchanged, so Windows does not apply "
              L"them again.\n",
              number);
    } else {
        Print(L"Version %lu, one higher than before: the associations changed, so Windows applies "
              L"them once more to each user.\n",
              number);
    }
}

}  // namespace

Outcome WriteDefaultAssociations(RootKey root, const ClientName& clientName,
                                 const DefaultsOptions& options) {
    const std::wstring word = CommandLineWord(clientName.Text());
    if (root != RootKey::LocalMachine) {
        Print(L"The default-associations file sets the defaults of every user at sign-in, so it is "
              L"made from a registration for all users: Marovendel.exe defaults HKLM %ls\n",
              word.c_str());
        return Outcome::Refused;
    }
    const RegistrationFindings findings = registration::InspectRegistration(root, clientName);
    if (!findings.registered) {
        PrintNotRegistered(root, clientName.Text());
        return Outcome::Refused;
    }
    if (findings.problems.size() > findings.clientCommandProblems) {
        Print(L"%ls is not registered correctly under HKLM, so no default-associations file was "
              L"written; Marovendel.exe check HKLM %ls names the problems.\n",
              clientName.c_str(), word.c_str());
        return Outcome::Refused;
    }
    std::wstring applicationName;
    if (!ReadApplicationName(findings, clientName, applicationName)) {
        Print(L"The ApplicationName of %ls under HKLM could not be read, so no default-associations "
              L"file was written.\n",
              clientName.c_str());
        return Outcome::Failed;
    }
    const std::wstring target = TargetPath(clientName, options.file);
    std::optional<default_associations::Earlier> earlier;
    if (options.once && !ReadEarlierFile(target, earlier)) {
        Print(L"Could not read the Version of %ls, so no default-associations file was written.\n",
              target.c_str());
        return Outcome::Refused;
    }
    const std::vector<default_associations::Entry> entries = EntriesOf(findings, applicationName);
    const std::uint32_t version =
        options.once ? default_associations::NewVersion(earlier, entries) : 0;
    const std::string xml = DefaultAssociationsXml(findings, applicationName, version);
    if (target.empty() ||
        whole_file::Write(target, xml.data(), xml.size(), whole_file::Existing::Replace) !=
            whole_file::Written::Whole) {
        Print(L"Could not write %ls, so no default-associations file was written.\n",
              target.empty() ? (BackupFileStem(clientName.Text()) + kFileSuffix).c_str()
                             : target.c_str());
        return Outcome::Refused;
    }
    PrintHowToApply(target);
    if (options.once) {
        PrintVersion(version, earlier, entries);
    }
    return Outcome::Done;
}
