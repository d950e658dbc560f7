// The program's entry on Linux: joins the arguments into the single command line that WinMain
// expects (words separated by one blank, without the program name) and hands over to it.
#include <string>

#include "app/app.h"
#include "win32.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
