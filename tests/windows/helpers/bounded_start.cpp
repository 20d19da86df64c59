// Starts a program as a script, a service or a windowed launcher may, and
// ends it, with every process it started, when it has not ended by itself in
// time:
//   bounded_start <seconds> <no-window|plain> <program> [<arguments>]
// no-window starts it with CREATE_NO_WINDOW, as .NET's CreateNoWindow and
// Python's creationflags do: a console of its own that has no window. plain
// passes no flag; this program has no console, so a console program gets a
// console window of its own. This program is a windowed one, so the started
// program's parent is no console program either way.
// Exits with the program's exit status; 124 when it was still running after
// <seconds> and was ended; 125 when it could not be started; 126 on a usage
// error.
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr int kEndedByUs = 124;
constexpr int kNotStarted = 125;
constexpr int kUsage = 126;

// Closes the handle it holds.
struct Handle {
    HANDLE value = nullptr;
    explicit Handle(HANDLE handle) : value(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (value != nullptr) {
            CloseHandle(value);
        }
    }
};

// One argument as CommandLineToArgvW and the C runtime read it back: quoted
// only when it is empty or holds a blank or a quote, so that cmd still sees
// its switches.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// A job that ends every process in it when its last handle closes.
HANDLE KillingJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job != nullptr &&
        !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

int Run(DWORD seconds, DWORD flags, int argc, wchar_t** argv) {
    std::wstring commandLine = Quoted(argv[0]);
    for (int i = 1; i < argc; ++i) {
        commandLine += L" " + Quoted(argv[i]);
    }
    Handle job(KillingJob());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    // Suspended until it is in the job, so that nothing it starts escapes.
    if (job.value == nullptr ||
        !CreateProcessW(argv[0], &commandLine[0], nullptr, nullptr, FALSE, flags | CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &started)) {
        return kNotStarted;
    }
    Handle process(started.hProcess);
    Handle thread(started.hThread);
    if (!AssignProcessToJobObject(job.value, process.value)) {
        TerminateProcess(process.value, kNotStarted);
        return kNotStarted;
    }
    ResumeThread(thread.value);
    if (WaitForSingleObject(process.value, seconds * 1000) != WAIT_OBJECT_0) {
        TerminateJobObject(job.value, kEndedByUs);
        return kEndedByUs;
    }
    DWORD status = kNotStarted;
    GetExitCodeProcess(process.value, &status);
    return static_cast<int>(status);
}

}  // namespace

extern "C" int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        return kUsage;
    }
    const DWORD seconds = std::wcstoul(argv[1], nullptr, 10);
    DWORD flags = 0;
    if (std::wcscmp(argv[2], L"no-window") == 0) {
        flags = CREATE_NO_WINDOW;
    } else if (std::wcscmp(argv[2], L"plain") != 0 || seconds == 0) {
        return kUsage;
    }
    return Run(seconds, flags, argc - 3, argv + 3);
}
