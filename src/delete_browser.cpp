// Removal of a registration. Not built yet: the delete command is accepted and
// reports that nothing was removed until the removal lands.
#include "marovendel.h"

bool DeleteBrowser(RootKey /*root*/, const std::wstring& /*clientName*/, bool /*noBackup*/) {
    return false;
}
