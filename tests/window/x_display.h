// A private X display for the window tests: an Xvfb server started on a display number it picks
// itself (-displayfd), stopped by its process id, and the few things the tests ask of it through
// Xlib: the game's top-level window once it is mapped, what the window shows, and the close request
// a window manager sends when the close button is pressed.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wt {

// The program's full path when it is found in PATH, else empty.
std::string FindProgram(const std::string& name);

class XDisplay {
public:
    // Starts Xvfb with one screen of width x height x 24; Started() says whether it came up.
    XDisplay(int width, int height);
    ~XDisplay();  // closes the connection and stops the server by its process id
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool Started() const { return display_ != nullptr; }
    const std::string& Error() const { return error_; }
    // ":N", the value of DISPLAY for the programs run on it.
    const std::string& Name() const { return name_; }

    // The viewable top-level window whose name is `title`, waited for up to `seconds`; 0 when none
    // appeared.
    unsigned long WaitForWindow(const std::string& title, double seconds);
    // Sends the window the WM_DELETE_WINDOW request of its close button.
    bool RequestClose(unsigned long window);
    // What the window shows now, width x height pixels 0x00RRGGBB from its top-left corner;
    // empty when it cannot be read (the window went away).
    std::vector<uint32_t> Contents(unsigned long window, int width, int height);

private:
    pid_t pid_ = -1;
    void* display_ = nullptr;  // Display*
    std::string name_;
    std::string error_;
};

}  // namespace wt
