#include "ProgramProcess.h"

#include "Bridge.h"
#include "MessageLoop.h"

#include <string>

namespace
{
    const wchar_t* const programTitle = L"Flintmoor V1.0.1";

    struct WindowSearch
    {
        DWORD processId;
        const wchar_t* title;
        HWND found;
    };

    bool isVisibleWithTitle (HWND window, const wchar_t* title)
    {
        wchar_t text[128] = {};
        GetWindowTextW (window, text, 128);
        return IsWindowVisible (window) && wcscmp (text, title) == 0;
    }
}

ProgramProcess::ProgramProcess (const juce::String& linuxPath, const juce::File& folder,
                                const juce::StringArray& arguments)
{
    juce::String commandLine ("\"" + bridge::linuxFile (linuxPath).getFullPathName() + "\"");

    for (const auto& argument : arguments)
        commandLine << " \"" << argument << "\"";

    std::wstring line (commandLine.toWideCharPointer());
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;

    if (! CreateProcessW (nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.getFullPathName().toWideCharPointer(), &startup, &info))
        info = {};
}

ProgramProcess::~ProgramProcess()
{
    if (! started())
        return;

    if (! hasEnded (0))
    {
        TerminateProcess (info.hProcess, 1);
        hasEnded (10000);
    }

    CloseHandle (info.hThread);
    CloseHandle (info.hProcess);
}

bool ProgramProcess::hasEnded (int timeoutMs)
{
    return started() && WaitForSingleObject (info.hProcess, (DWORD) timeoutMs) == WAIT_OBJECT_0;
}

DWORD ProgramProcess::exitCode()
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess (info.hProcess, &code);
    return code;
}

HWND ProgramProcess::findWindow (const wchar_t* title) const
{
    WindowSearch search { info.dwProcessId, title, nullptr };

    EnumWindows ([] (HWND window, LPARAM context) -> BOOL
                 {
                     auto& s = *reinterpret_cast<WindowSearch*> (context);
                     DWORD owner = 0;
                     GetWindowThreadProcessId (window, &owner);

                     if (owner == s.processId && isVisibleWithTitle (window, s.title))
                     {
                         s.found = window;
                         return FALSE;
                     }

                     return TRUE;
                 },
                 reinterpret_cast<LPARAM> (&search));

    return search.found;
}

HWND ProgramProcess::waitForWindow (const wchar_t* title, int timeoutMs)
{
    HWND window = nullptr;
    waitUntil ([&] { return (window = findWindow (title)) != nullptr; }, timeoutMs);
    return window;
}

int countProgramWindows()
{
    int count = 0;

    EnumWindows ([] (HWND window, LPARAM counter) -> BOOL
                 {
                     if (isVisibleWithTitle (window, programTitle))
                         ++*reinterpret_cast<int*> (counter);

                     return TRUE;
                 },
                 reinterpret_cast<LPARAM> (&count));

    return count;
}
