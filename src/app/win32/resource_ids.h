// Identifiers shared by the resource script and the window code.
#pragma once

// The program's icon: four 32-bit images, 16, 32, 48 and 128 pixels square.
#define QN_IDI_APP 101
