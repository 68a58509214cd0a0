// Resource ids of Kelmo.dll, shared by its resource script and the code that loads them.
#pragma once

// The icon of the viewer and of the runner (platform/win32/kelmo.ico).
#define KELMO_ICON_ID 101
