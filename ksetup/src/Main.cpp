// The installer's process entry: a GUI program that opens no console.
#include <windows.h>

#include "KS.Program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    KS::ProgramMain();
}
