// Defaults: writes the default-associations file of a registration for every
// user. Windows lets no program make itself the default browser; an
// administrator applies this file instead, at each user's sign-in through
// Group Policy or Intune, or to new profiles through DISM.
#include <string>
#include <vector>

#include "commands/commands.h"
#include "output/backup_file.h"
#include "output/text.h"
#include "output/whole_file.h"
#include "platform/platform.h"
#include "registration/inspection.h"

using registration::Association;
using registration::ClientName;
using registration::RegistrationFindings;

namespace {

// ApplicationName is read up to this many bytes, as check reads its values.
constexpr std::size_t kValueBytes = 8192;

constexpr const wchar_t* kFileSuffix = L".defaults.xml";

// Whether XML 1.0 can hold code at all, escaped or not.
bool IsXmlCharacter(std::uint32_t code) {
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

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
        default: AppendUtf8(xml, IsXmlCharacter(code) ? code : 0xFFFD); break;
        }
    }
}

// The file: one Association per file type, then per scheme. once makes each
// a suggestion Windows applies a single time (Windows 11 22H2 and later).
std::string DefaultAssociationsXml(const RegistrationFindings& findings,
                                   const std::wstring& applicationName, bool once) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    xml += once ? "<DefaultAssociations Version=\"1\">\r\n" : "<DefaultAssociations>\r\n";
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
                                      kValueBytes, name);
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

void PrintHowToApply(const std::wstring& target) {
    Print(L"Default associations written to %ls\n", target.c_str());
    Print(L"For new user profiles, run: Dism.exe /Online /Import-DefaultAppAssociations:\"%ls\"\n",
          target.c_str());
    Print(L"For every sign-in, set the Group Policy \"Set a default associations configuration "
          L"file\" (Computer Configuration > Administrative Templates > Windows Components > "
          L"File Explorer) to this file.\n");
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
    const std::string xml = DefaultAssociationsXml(findings, applicationName, options.once);
    if (target.empty() ||
        whole_file::Write(target, xml.data(), xml.size(), whole_file::Existing::Replace) !=
            whole_file::Written::Whole) {
        Print(L"Could not write %ls, so no default-associations file was written.\n",
              target.empty() ? (BackupFileStem(clientName.Text()) + kFileSuffix).c_str()
                             : target.c_str());
        return Outcome::Refused;
    }
    PrintHowToApply(target);
    return Outcome::Done;
}
