// The class object of the manager (static lifetime).
#pragma once

#include <objbase.h>

namespace vspmanager {

IClassFactory* ManagerClassFactory();

}  // namespace vspmanager
