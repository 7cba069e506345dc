#pragma once
// The caller's WebSocket listener in tests. Every window built by this test
// program listens on a free port the system picks, never on the program's
// own 11225 (setUpTestProgram), so the tests run beside a running window and
// beside each other.
#include <QtGlobal>

class CrossLineWidget;

// The port the window's listener listens on; 0 until the event loop has
// started it, or when it failed.
quint16 listeningPort(CrossLineWidget &window);
