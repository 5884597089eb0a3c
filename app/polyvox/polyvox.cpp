// Polyvox, the English resource library: the program loads it by name from its
// folder when the English interface is chosen and does not start without it.
// It names the language it carries; the English twins of the texts themselves
// sit beside the Chinese ones in the program's tables.

extern "C" __attribute__((visibility("default"))) const char* polyvox_language() {
    return "English";
}
