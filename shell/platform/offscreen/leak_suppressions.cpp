// Compiled into the programs on the offscreen backend in sanitizer builds
// only (PATHWICK_SANITIZE): LeakSanitizer reads these hooks at start.
//
// OSMesa keeps the buffers that OSMesaMakeCurrent binds after their context
// is destroyed; without this every drawing test fails under LeakSanitizer.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }

// The summary of suppressions used would otherwise end every run's stderr,
// which the tests compare with the program's own messages.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
