// The platform seam on Windows: standard output and error, the console
// window and the keys typed in it.
#include <windows.h>

#include <vector>

#include "platform/console_window.h"
#include "platform/line_wrap.h"
#include "platform/output_buffer.h"
#include "platform/platform.h"
#include "platform/system_library.h"
#include "platform/win32_parent.h"

namespace platform {

namespace {

// Console writes stay well below the 64 KB that older consoles accept in one
// call; redirected, a piece becomes at most three times as many UTF-8 bytes.
constexpr std::size_t kOutputPieceChars = 8192;

void WriteAll(HANDLE handle, const char* data, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!::WriteFile(handle, data, size, &written, nullptr) || written == 0) {
            return;
        }
        data += written;
        size -= written;
    }
}

// Standard output or standard error, looked at once. A console gets the text
// as it is. Redirected output is UTF-8 with CR LF line ends, so that no
// character is lost to a code page.
class StandardOutput {
public:
    explicit StandardOutput(DWORD which) : handle_(GetStdHandle(which)) {
        DWORD mode = 0;
        usable_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
        console_ = usable_ && GetConsoleMode(handle_, &mode);
    }

    void Write(const std::wstring& text) const {
        if (!usable_ || text.empty()) {
            return;
        }
        if (console_) {
            WriteToConsole(text);
        } else {
            WriteUtf8(text);
        }
    }

private:
    void WriteToConsole(const std::wstring& text) const {
        const wchar_t* data = text.data();
        DWORD left = static_cast<DWORD>(text.size());
        while (left > 0) {
            DWORD written = 0;
            if (!WriteConsoleW(handle_, data, left, &written, nullptr) || written == 0) {
                return;
            }
            data += written;
            left -= written;
        }
    }

    void WriteUtf8(const std::wstring& text) const {
        std::wstring lines;
        lines.reserve(text.size() + text.size() / 16 + 8);
        for (wchar_t ch : text) {
            if (ch == L'\n') {
                lines.push_back(L'\r');
            }
            lines.push_back(ch);
        }
        const int wide = static_cast<int>(lines.size());
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, lines.data(), wide, nullptr, 0, nullptr, nullptr);
        if (size <= 0) {
            return;
        }
        std::vector<char> utf8(static_cast<std::size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, lines.data(), wide, utf8.data(), size, nullptr, nullptr);
        WriteAll(handle_, utf8.data(), static_cast<DWORD>(size));
    }

    HANDLE handle_;
    bool usable_ = false;
    bool console_ = false;
};

// The width of the console window standard output writes to; 0 when it
// cannot be told.
std::size_t WindowWidth() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        return 0;
    }
    // Rows are as wide as the buffer; a window narrower than that shows less.
    const int window = info.srWindow.Right - info.srWindow.Left + 1;
    const int width = window < info.dwSize.X ? window : info.dwSize.X;
    return width > 0 ? static_cast<std::size_t>(width) : 0;
}

// Standard output gathered into pieces, and wrapped to the window on the
// way out (line_wrap.h) once asked to.
class PendingOutput {
public:
    PendingOutput()
        : wrapper_(0),
          buffer_(kOutputPieceChars,
                  [this](const std::wstring& piece) { output_.Write(wrapper_.Wrap(piece)); }) {}
    ~PendingOutput() { Flush(); }
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    void Append(const std::wstring& text) { buffer_.Append(text); }
    void Flush() {
        buffer_.Flush();
        output_.Write(wrapper_.Flush());
    }
    void WrapTo(std::size_t width) {
        Flush();
        wrapper_ = LineWrapper(width);
    }

private:
    // In this order, so that each outlives what writes to it.
    const StandardOutput output_{STD_OUTPUT_HANDLE};
    LineWrapper wrapper_;
    OutputBuffer buffer_;
};

PendingOutput& Output() {
    static PendingOutput output;
    return output;
}

}  // namespace

void WriteOutput(const std::wstring& text) {
    Output().Append(text);
}

void FlushOutput() {
    Output().Flush();
}

void WrapOutputToWindow() {
    Output().WrapTo(WindowWidth());
}

void WriteError(const std::wstring& text) {
    static const StandardOutput standardError(STD_ERROR_HANDLE);
    FlushOutput();
    standardError.Write(text);
}

namespace {

bool IsConsoleHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// A hidden start (WScript.Shell's Run with 0, Start-Process -WindowStyle
// Hidden, a scheduled task) asks for SW_HIDE in the startup information. The
// console window's own visibility is no signal: with Windows Terminal as the
// default terminal, GetConsoleWindow returns ConPTY's pseudo-window, whose
// visibility has not always followed the real window.
bool StartedHidden() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
}

using GetProcessWindowStationFunction = HWINSTA(WINAPI*)();
using GetUserObjectInformationWFunction = BOOL(WINAPI*)(HANDLE, int, PVOID, DWORD, LPDWORD);

// Whether this process's window station is the interactive one, which alone
// shows windows and takes keys ("Window Stations"). A service's is not, nor
// that of a process it starts, whose console still has a window. user32 is
// loaded only here, where the console already allows a pause.
bool OnInteractiveWindowStation() {
    const auto station =
        SystemFunction<GetProcessWindowStationFunction>(L"user32.dll", "GetProcessWindowStation");
    const auto information = SystemFunction<GetUserObjectInformationWFunction>(
        L"user32.dll", "GetUserObjectInformationW");
    // The station's handle is the process's own, never closed.
    const HWINSTA handle = station == nullptr ? nullptr : station();
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    return handle != nullptr && information != nullptr &&
           information(handle, UOI_FLAGS, &flags, sizeof(flags), &needed) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

bool OwnsConsoleWindow(WindowedProgramJudge isWindowedProgram) {
    DWORD processes[2];
    ConsoleFacts facts;
    facts.consoleProcessCount = GetConsoleProcessList(processes, 2);
    facts.inputIsConsole = IsConsoleHandle(STD_INPUT_HANDLE);
    facts.outputIsConsole = IsConsoleHandle(STD_OUTPUT_HANDLE);
    facts.startedHidden = StartedHidden();
    // A CREATE_NO_WINDOW start has a console but no window. With Windows
    // Terminal as the default terminal, this is ConPTY's pseudo-window.
    facts.hasWindow = GetConsoleWindow() != nullptr;
    if (ConsoleAllowsPause(facts)) {
        facts.interactiveStation = OnInteractiveWindowStation();
        const ParentProcess parent = FindParentProcess();
        facts.parentIsWindowed = parent.found && isWindowedProgram(parent.imageStart);
        facts.parentInSameSession = parent.found && parent.sameSession;
    }
    return ShouldPauseBeforeExit(facts);
}

void WaitForKeyPress() {
    FlushOutput();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    // Keys pressed while the program ran do not count.
    FlushConsoleInputBuffer(input);
    for (;;) {
        INPUT_RECORD record;
        DWORD read = 0;
        // Fails at once when input is not a console: nothing to wait for.
        if (!ReadConsoleInputW(input, &record, 1, &read) || read == 0) {
            return;
        }
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            return;
        }
    }
}


bool ReadConsoleLine(std::wstring& line) {
    FlushOutput();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    line.clear();
    for (;;) {
        wchar_t buffer[256];
        DWORD read = 0;
        // Fails at once when input is not a console.
        if (!ReadConsoleW(input, buffer, 256, &read, nullptr) || read == 0) {
            return !line.empty();
        }
        line.append(buffer, read);
        const std::size_t end = line.find_first_of(L"\r\n");
        if (end != std::wstring::npos) {
            line.resize(end);
            return true;
        }
    }
}

}  // namespace platform
