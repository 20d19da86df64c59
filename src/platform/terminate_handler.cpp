// The exe's own terminate handler, in place of libstdc++'s default one.
//
// The default handler prints the demangled type of the exception that ended
// the program, and with it the static link pulls in the whole C++ demangler
// and the narrow printf machinery: about 60 KB of a 440 KB exe. Marovendel
// throws nothing itself; the one exception that can end it is std::bad_alloc
// from a failed allocation, and then it stops the way the default handler
// stops after its message, with abort(). Nothing goes to standard error, as
// everywhere else in the program.
//
// Defining the handler here makes the linker take this one and leave the
// library's member out; it is linked only into the MinGW build of the exe.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
