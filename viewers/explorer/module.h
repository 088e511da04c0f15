// What the module's exports and its COM objects share: the count of live
// objects (handlers and held class factories) and of server locks, which
// DllCanUnloadNow reads.
#pragma once

namespace qavren::explorer {

void ObjectCreated();
void ObjectDestroyed();

}  // namespace qavren::explorer
