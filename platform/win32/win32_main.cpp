// The entry the system calls: it keeps what the window will need and runs
// the program. The command line is not read: the program has no options.
#include "app/shell.h"
#include "platform/win32/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  shindan::program_instance = instance;
  shindan::program_show_command = show_command;
  // 0 when start-up failed, 1 once the loop has met the quit message.
  return shindan::run_program() == shindan::start_result::quit ? 1 : 0;
}
