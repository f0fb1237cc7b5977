// The test modes of the program's Wine-guest variant (never shipped),
// chosen by its command line:
//   desktop     waits until a window can be created: Wine's desktop process
//               is up (under emulation it takes longer than Wine waits for
//               it when a program's first window asks for it)
//   probe       the channel, command by command (channel_probe.h)
//   make NAME   one whole make through the dialog, driven by the make driver
//               (Make clicked, the confirmation answered Yes), reporting at
//               the end what E:\ holds
// The system services are the real ones with the stand-ins of wine_stand_ins.h.
#pragma once

// runDialog runs the application (AfxWinMain). Returns the exit code: for
// a make 0 completed, 1 not completed, 3 the driver gave up; 2 for a
// command line naming no mode.
int RunWineGuestTestMode(const char* commandLine, int (*runDialog)());
