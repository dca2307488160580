/* Carries only a version resource for the file-information tests. */
int versioned_stub(void) { return 0; }
