// LeakSanitizer suppressions for libraries outside the project, linked into every test program
// (the sanitizer runtime asks for them; other builds never call this).
// fontconfig leaves parts of its parsed configuration unreachable once Qt's font database is gone;
// whether LeakSanitizer sees them depends on the machine's font caches.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
