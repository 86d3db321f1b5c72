// A still screen that shows what the framework can do while the exercise's own screens are
// being built: the first board with its five cards and the bell, the skin's buttons with their
// hover and pressed pictures, and an exit button that ends the program.
#pragma once

#include "gui/dialog.h"

class IMWindow;

// Builds the screen as a child of the window and returns it.
IMDialog* ShowDemoScreen(IMWindow* window);
