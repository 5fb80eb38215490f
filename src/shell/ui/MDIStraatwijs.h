#pragma once

namespace shell::ui {

// Starts the desktop program: the main window with its child windows.
// Returns the exit status.
int runWindow(int argc, char** argv);

} // namespace shell::ui
