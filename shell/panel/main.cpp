// Zentrada.exe: the agent with its control panel and tray icon.
#include <windows.h>

#include "shell/panel/agent_app.h"

namespace {

zentrada::shell::CAgentApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return theApp.Run(GetCommandLineA()); }
