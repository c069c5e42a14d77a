#pragma once
// The program from start to end: the window, its dialogs and the shell
// logic, run on a display back end until the window closes.

#include "shell/rendering_backend.h"
#include "shell/shell.h"

namespace slk {

// Start-up options of a normal run: the arguments joined with single blanks
// into one path, "psicon/standard.ico" looked for beside the program, then
// in the current folder, then in the installed data folder, the settings in
// the user's configuration folder.
StartupOptions StartupOptionsFromArguments(int argc, char** argv);

// Before the QApplication: the X back end sends repainted rectangles
// through the connection instead of shared memory. The window repaints a
// few small rectangles some forty times a second, and shared memory made
// each one wait for the server's completion event: more CPU in this
// process and in the server alike. Left alone when QT_XCB_NO_MITSHM is
// already set, or SLOTKEEPER_XCB_MITSHM=1 asks for shared memory.
void PrepareQtPlatform();

// Needs a QApplication. Returns the program's exit code: 0 also after a
// failed start, whose message has been shown.
int RunProgram(RenderingBackend& backend, const StartupOptions& options);

}  // namespace slk
