// A stand-in for the new program an update package brings: it leaves
// "program-ran.txt" in its working directory and ends.
#include <windows.h>

int WINAPI WinMain (HINSTANCE, HINSTANCE, LPSTR, int)
{
    const auto file = CreateFileW (L"program-ran.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);

    if (file == INVALID_HANDLE_VALUE)
        return 1;

    DWORD written = 0;
    WriteFile (file, "ran", 3, &written, nullptr);
    CloseHandle (file);
    return 0;
}
