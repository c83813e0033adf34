// The Linux half of the entry point: arguments are already the file system's
// bytes, UTF-8 in practice, and the streams need nothing.

#include "system/ProgramEntry.h"

int main(int argc, char** argv) { return veskar::programMain(argc, argv); }
