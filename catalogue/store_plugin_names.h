// The names the store gives its plug-ins, for plug-ins that reached the system side by a copy rather than a load.
#pragma once
#include "catalogue.h"

// Names the DirectShow plug-ins of a system side's list as a load of the store names them: the class's registered
// name, else STORE_NOT_INSTALLED_FORMAT numbered in the order of the store's keys. Lathmere tools, and plug-ins
// whose key the store does not hold, keep their names. KV_E_OUTOFMEMORY when a name could not be given.
HRESULT NamePlugInsAsStored(PlugInList& list);
