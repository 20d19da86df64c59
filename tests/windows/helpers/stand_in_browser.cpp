// A windowed program that does nothing: copies of it stand in for browsers
// when dropped, since the drop reads only a program's PE header.
#include <windows.h>

extern "C" int wmain() {
    return 0;
}
