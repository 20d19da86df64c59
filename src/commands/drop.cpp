// The drop: in Explorer, a browser's program or a shortcut to it dragged onto
// Marovendel.exe arrives as the only argument, a full path. It is registered
// for the current user, named after its version record, and its own page in
// Settings > Default apps is opened, so that one gesture makes the browser a
// choice for links.
#include <utility>
#include <vector>

#include "commands/commands.h"
#include "output/text.h"
#include "platform/platform.h"
#include "programs/portable_package.h"
#include "programs/program_image.h"
#include "registration/clients.h"

using registration::ClientName;
using registration::RegisteredClient;

namespace {

constexpr const wchar_t* kExpected = L"drop a browser's .exe or its shortcut onto Marovendel.exe";

bool EndsWithIgnoringCase(const std::wstring& text, const wchar_t* suffix) {
    const std::wstring tail = suffix;
    return text.size() >= tail.size() &&
           EqualsIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

std::wstring FileNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The program a drop stands for, and the arguments its shortcut passes.
struct DroppedProgram {
    std::wstring program;
    std::wstring arguments;
    std::wstring workingDirectory;  // the shortcut's "Start in"
};

bool IsBatchFile(const std::wstring& path) {
    return EndsWithIgnoringCase(path, L".bat") || EndsWithIgnoringCase(path, L".cmd");
}

// A batch file that starts a browser with its flags cannot be given a link:
// cmd reads the & of a URL's query as the start of a new command.
void RefuseBatchFile(const std::wstring& path) {
    Print(L"%ls is a batch file, which cannot receive a link safely: cmd reads & in a URL as a "
          L"new command; make a shortcut to the browser's .exe with the flags it needs, and "
          L"drop that onto Marovendel.exe.\n",
          path.c_str());
}

// A program for a processor that Windows on this one emulates only in other
// builds: which ones, and which this is.
void PrintOtherBuild(const std::wstring& program, std::uint16_t machine, std::uint16_t native,
                     std::uint32_t build) {
    const program_image::BuildRange builds = *program_image::BuildsThatRun(machine, native);
    const std::wstring which =
        build < builds.from ? L"from " + program_image::BuildName(builds.from) + L" on"
                            : L"only before " + program_image::BuildName(builds.until);
    Print(L"%ls is built for %ls, which %ls Windows runs %ls, and this Windows is %ls; %ls.\n",
          program.c_str(), program_image::MachineName(machine).c_str(),
          program_image::MachineName(native).c_str(), which.c_str(),
          program_image::BuildName(build).c_str(), kExpected);
}

// Whether the PE header shows a windowed program this Windows can start;
// otherwise says why it is no browser. The console forms register anything,
// but the drop is the gesture for browsers.
bool IsBrowserProgram(const std::wstring& program) {
    using program_image::Verdict;
    const program_image::Header header =
        program_image::ReadHeader(platform::ReadFileStart(program, program_image::kHeaderBytes));
    const std::uint16_t native = platform::NativeMachine();
    const std::uint32_t build = platform::QueryWindowsVersion().build;
    switch (program_image::Judge(header, native, build)) {
    case Verdict::Browser:
        return true;
    case Verdict::NotAProgram:
        Print(L"%ls is not a program or a shortcut to one; %ls.\n", program.c_str(), kExpected);
        break;
    case Verdict::ConsoleProgram:
        Print(L"%ls is a console program, not a browser; %ls.\n", program.c_str(), kExpected);
        break;
    case Verdict::OtherProcessor: {
        const std::wstring windows =
            native == 0 ? L"this Windows" : L"this Windows (" + program_image::MachineName(native) + L")";
        Print(L"%ls is built for %ls, which %ls cannot run; %ls.\n", program.c_str(),
              program_image::MachineName(header.machine).c_str(), windows.c_str(), kExpected);
        break;
    }
    case Verdict::OtherBuild:
        PrintOtherBuild(program, header.machine, native, build);
        break;
    }
    return false;
}

// Reads what was dropped; false, after saying what Marovendel expects, when
// it is neither a program nor a shortcut to one, or is Marovendel itself.
bool ReadDrop(const std::wstring& dropped, DroppedProgram& out) {
    platform::Shortcut shortcut;
    if (EndsWithIgnoringCase(dropped, L".exe")) {
        out.program = dropped;
    } else if (IsBatchFile(dropped)) {
        RefuseBatchFile(dropped);
        return false;
    } else if (EndsWithIgnoringCase(dropped, L".lnk") && platform::ReadShortcut(dropped, shortcut) &&
               IsBatchFile(shortcut.target)) {
        RefuseBatchFile(shortcut.target);
        return false;
    } else if (EndsWithIgnoringCase(dropped, L".lnk") && platform::ReadShortcut(dropped, shortcut) &&
               EndsWithIgnoringCase(shortcut.target, L".exe")) {
        if (!platform::IsExistingFile(shortcut.target)) {
            Print(L"%ls starts %ls, which does not exist; %ls.\n", dropped.c_str(),
                  shortcut.target.c_str(), kExpected);
            return false;
        }
        out.program = platform::FullPath(shortcut.target);
        out.arguments = shortcut.arguments;
        out.workingDirectory = shortcut.workingDirectory;
    } else {
        Print(L"%ls is not a program or a shortcut to one; %ls.\n", dropped.c_str(), kExpected);
        return false;
    }
    if (platform::IsRunningExecutable(out.program)) {
        Print(L"%ls is Marovendel itself; %ls.\n", out.program.c_str(), kExpected);
        return false;
    }
    return IsBrowserProgram(out.program);
}

// The name the program's version record gives it, else its file name
// without the extension.
std::optional<ClientName> NameOf(const std::wstring& program) {
    if (std::optional<ClientName> described =
            ClientName::Cleaned(platform::ProgramDisplayName(program))) {
        return described;
    }
    const std::wstring file = FileNameOf(program);
    const std::size_t dot = file.find_last_of(L'.');
    std::optional<ClientName> stem = ClientName::Cleaned(file.substr(0, dot));
    return stem ? stem : ClientName::Cleaned(file);
}

// text as one word of a command line: quoted, with the backslashes before a
// quote doubled and the quote escaped, as CommandLineToArgvW reads it back.
std::wstring QuoteArgument(const std::wstring& text) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t ch : text) {
        if (ch == L'\\') {
            ++backslashes;
        } else {
            if (ch == L'"') {
                quoted.append(backslashes + 1, L'\\');
            }
            backslashes = 0;
        }
        quoted += ch;
    }
    quoted.append(backslashes, L'\\');
    return quoted + L"\"";
}

// Whether inner lies in the portable package whose launcher is launcher.
bool IsLaunchedBy(const std::wstring& inner, const std::wstring& launcher) {
    const std::optional<std::wstring> found = portable_package::LauncherOf(platform::FullPath(inner));
    return found && EqualsIgnoringCase(platform::FullPath(*found), launcher);
}

// The clients under HKCU, other than name, that open the browser inside the
// package launcher starts, whatever they are called. read is false when the
// clients could not all be read.
std::vector<RegisteredClient> InnerRegistrations(const ClientName& name,
                                                 const std::wstring& launcher, bool& read) {
    std::vector<RegisteredClient> inner;
    for (RegisteredClient& client : registration::RegisteredClients(RootKey::CurrentUser, read)) {
        if (!EqualsIgnoringCase(client.name.Text(), name.Text()) && client.program &&
            client.program->exists && IsLaunchedBy(client.program->path, launcher)) {
            inner.push_back(std::move(client));
        }
    }
    return inner;
}

// Removes the registrations of the browser inside a package once its
// launcher is registered, so that Default apps lists the package once. The
// removal writes its backup first, as delete -all does.
Outcome ReplaceInnerRegistrations(const std::vector<RegisteredClient>& inner,
                                  const ClientName& name, const std::wstring& launcher) {
    Outcome outcome = Outcome::Done;
    for (const RegisteredClient& client : inner) {
        Print(L"%ls was registered for %ls, which %ls (registered as %ls) starts; removing it.\n",
              client.name.c_str(), client.program->path.c_str(), launcher.c_str(), name.c_str());
        DeleteOptions options;
        options.all = true;
        if (DeleteBrowser(RootKey::CurrentUser, client.name, options) != Outcome::Done) {
            outcome = Outcome::Failed;
        }
    }
    return outcome;
}

// Whether the name is free for program: nobody has it, the same program has
// it, the browser inside the package program launches has it, or a program
// that no longer exists had it (the browser has moved). A name held by
// another program that exists is refused, and so is one whose holder cannot
// be read: it might be another browser's.
Outcome ClaimName(const ClientName& name, const std::wstring& program,
                  const std::wstring& executablePath, const wchar_t* marovendel) {
    const registration::ClientProgram holder =
        registration::RegisteredProgram(RootKey::CurrentUser, name);
    if (!holder.readable) {
        Print(L"The registration of %ls under HKCU could not be read, so nothing was changed.\n",
              name.c_str());
        return Outcome::Failed;
    }
    if (!holder.program || EqualsIgnoringCase(platform::FullPath(holder.program->path), program)) {
        return Outcome::Done;
    }
    const std::wstring& other = holder.program->path;
    if (IsLaunchedBy(other, program)) {
        Print(L"%ls was registered for %ls, which its launcher %ls starts; registering the "
              L"launcher in its place.\n",
              name.c_str(), other.c_str(), program.c_str());
        return Outcome::Done;
    }
    if (holder.program->exists) {
        Print(L"%ls is already registered for %ls, so nothing was changed; to register %ls "
              L"under a name of your choice, run: %ls HKCU \"Your name\" %ls\n",
              name.c_str(), other.c_str(), program.c_str(), QuoteArgument(marovendel).c_str(),
              QuoteArgument(executablePath).c_str());
        return Outcome::Refused;
    }
    Print(L"%ls was registered for %ls, which no longer exists; registering %ls in its place.\n",
          name.c_str(), other.c_str(), program.c_str());
    return Outcome::Done;
}

// A link starts the browser in whatever folder the shell is in, not in the
// shortcut's "Start in" folder, so relative paths in its arguments (a
// profile folder, say) would name other places, and a fresh profile opens.
void WarnAboutStartFolder(const DroppedProgram& dropped) {
    if (dropped.arguments.empty() || dropped.workingDirectory.empty()) {
        return;
    }
    platform::WriteError(L"Warning: the shortcut starts the browser in " +
                         dropped.workingDirectory + L", but links start it elsewhere, so relative "
                         L"paths in its arguments (" + dropped.arguments +
                         L") will point elsewhere; give full paths in the shortcut.\n");
}

}  // namespace

Outcome RegisterDroppedFile(const std::wstring& droppedPath, const wchar_t* marovendel) {
    DroppedProgram dropped;
    if (!ReadDrop(platform::FullPath(droppedPath), dropped)) {
        return Outcome::Refused;
    }
    const std::optional<ClientName> name = NameOf(dropped.program);
    if (!name) {
        Print(L"%ls is not a program or a shortcut to one; %ls.\n", droppedPath.c_str(), kExpected);
        return Outcome::Refused;
    }
    // A raw build, outside any package, keeps its profile only when told
    // where it is.
    std::wstring arguments = dropped.arguments;
    std::optional<portable_package::ProfileFlag> profile;
    if (!portable_package::LauncherOf(dropped.program)) {
        profile = portable_package::ProfileFlagFor(dropped.program, arguments);
    }
    if (profile) {
        arguments += (arguments.empty() ? L"" : L" ") + profile->argument;
    }
    // Stored as a user would type it: the path alone, or quoted with the
    // shortcut's arguments after it.
    const std::wstring executablePath =
        arguments.empty() ? dropped.program : QuoteArgument(dropped.program) + L" " + arguments;
    const Outcome claimed = ClaimName(*name, dropped.program, executablePath, marovendel);
    if (claimed != Outcome::Done) {
        return claimed;
    }
    if (profile) {
        Print(L"%ls keeps its profile in %ls; the command passes %ls.\n", dropped.program.c_str(),
              profile->folder.c_str(), profile->argument.c_str());
    }
    bool clientsRead = true;
    const auto inner = InnerRegistrations(*name, dropped.program, clientsRead);
    if (!clientsRead) {
        Print(L"The browsers registered under HKCU could not all be read, so one inside the "
              L"package of %ls may still be registered.\n",
              dropped.program.c_str());
    }
    RegistrationOptions options;
    options.all = true;  // every type a browser opens, and Explorer's Open with lists
    options.icon = dropped.program;  // an icon path takes no arguments
    const Outcome registered = RegisterBrowser(RootKey::CurrentUser, *name, executablePath, options);
    WarnAboutStartFolder(dropped);
    const Outcome replaced = registered == Outcome::Done
                                 ? ReplaceInnerRegistrations(inner, *name, dropped.program)
                                 : Outcome::Done;
    const Outcome opened = OpenDefaultAppsSettings(RootKey::CurrentUser, *name);
    return clientsRead && registered == Outcome::Done && replaced == Outcome::Done &&
                   opened == Outcome::Done
               ? Outcome::Done
               : Outcome::Failed;
}
