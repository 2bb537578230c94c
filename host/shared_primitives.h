// Set-up and tear-down of the process-wide sections and flags.
#pragma once

// Initialises the six sections, number 0 first, and zeroes the ten flags.
void InitializeSharedPrimitives();
// Deletes the six sections, number 0 first.
void DeleteSharedPrimitives();
