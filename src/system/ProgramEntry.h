#pragma once
// Every program's own entry. The platform's half holds the real entry point
// (main on Linux, wmain on Windows), gets the process ready and calls it with
// the command line in UTF-8. On Windows that also means standard input and
// output in binary mode (LF stays LF, a Ctrl-Z byte is just a byte) and a
// console that shows UTF-8 while the program runs.

namespace veskar {

int programMain(int argc, char** argv);

} // namespace veskar
