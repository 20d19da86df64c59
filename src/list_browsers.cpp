// Listing of registered browser clients. Not built yet: the list command is
// accepted and prints nothing until the listing lands.
#include "marovendel.h"

void ListBrowsers(const wchar_t* /*scope*/) {}
