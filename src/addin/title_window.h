// The title window shown while the library loads.
#pragma once

#include <cstdint>

struct WindowOrigin {
    int32_t left;
    int32_t top;
};

// Where a window of the given size sits when centred on the screen (integer halves).
WindowOrigin CentredOrigin(int32_t screenWidth, int32_t screenHeight, int32_t windowWidth,
                           int32_t windowHeight);

// Shows the title dialog of `module` for two to three seconds and removes it. Nothing happens
// on a system without the dialog.
void ShowTitleWindow(void* module);

// The library's own module handle, kept by the entry routine (0 until then).
extern void* gModuleHandle;
