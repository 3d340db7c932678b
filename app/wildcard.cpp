// Windows leaves wildcard patterns to the program. Linked into each
// executable so that the MinGW runtime expands "*.txt" in the argument
// vector into the matching names, as a Unix shell would.
#if defined(__MINGW32__)
extern "C" {
int _dowildcard = -1;
}
#endif
