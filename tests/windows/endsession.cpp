// Ends the running yanshubu.exe as Windows does at log-off: each of its
// top-level windows is asked WM_QUERYENDSESSION, then told WM_ENDSESSION.
// Exits 0 when it reached a window of the program, 1 when there was none.
#include <windows.h>

#include <cwchar>

namespace {

bool ofTheProgram(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) {
        return false;
    }
    wchar_t name[MAX_PATH];
    DWORD size = MAX_PATH;
    const bool found = QueryFullProcessImageNameW(process, 0, name, &size) && size >= 12 &&
                       _wcsicmp(name + size - 12, L"yanshubu.exe") == 0;
    CloseHandle(process);
    return found;
}

BOOL CALLBACK endSession(HWND window, LPARAM reached) {
    if (IsWindowVisible(window) && ofTheProgram(window)) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                            5000, &answer);
        SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                            &answer);
        *reinterpret_cast<bool*>(reached) = true;
    }
    return TRUE;
}

} // namespace

int main() {
    bool reached = false;
    EnumWindows(endSession, reinterpret_cast<LPARAM>(&reached));
    return reached ? 0 : 1;
}
