// The sanitizer build checks for leaks at exit. fontconfig keeps an allocation
// from its first font match that it never frees, which is not ours to fix.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
