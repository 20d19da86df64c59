// What a double-click on Marovendel.exe shows.
#pragma once

#include "commands/commands.h"

// The browsers registered for the current user, each to open in Default
// apps, check or remove, and the drag hint; it reads typed lines until Enter
// alone. Only for a window Marovendel owns.
Outcome ShowHomeScreen();
