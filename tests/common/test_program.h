#pragma once
// Set-up of one test program, run by the common main once the application
// object exists and before the first test. The test support library holds a
// default that does nothing, in a file of its own; a test program replaces it
// by defining this function itself (the linker then leaves the default out).
void setUpTestProgram();
