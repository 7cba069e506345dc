// The set-up of a test program that needs none. Alone in its file, so that a
// test program defining its own keeps this one out of the link.
#include "test_program.h"

void setUpTestProgram() {}
