// Compiled into the programs on the offscreen backend in sanitizer builds
// only (PATHWICK_SANITIZE): LeakSanitizer reads this hook at start.
//
// OSMesa keeps the buffers that OSMesaMakeCurrent binds after their context
// is destroyed; without this every drawing test fails under LeakSanitizer.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }
