// Starts the units as the program does, shows a tray icon that only the
// tray registry holds, and leaves through std::exit as the program does.
// The notification-area call is replaced by one that prints what it is
// asked, so the output ends with "NIM_DELETE" when the finalisation at exit
// has taken the icon out of the notification area.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "KS.Startup.h"
#include "Zyl.Platform.Win.h"

int main() {
    KS::InitializeUnits();
    Zyl::ShellNotifyIconCall() = [](DWORD message, NOTIFYICONDATAW*) -> BOOL {
        std::printf("%s\n", message == NIM_ADD ? "NIM_ADD" : message == NIM_DELETE ? "NIM_DELETE" : "other");
        std::fflush(stdout);
        return TRUE;
    };
    Zyl::CreateWinTrayIcon()->SetVisible(true);
    std::exit(0);
}
