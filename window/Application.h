#pragma once

// Creates the drill window and runs the application until it is closed; the result is the
// process's exit code. A window that can't be created at all is reported once, with code 1.
[[nodiscard]] int runDrill();
