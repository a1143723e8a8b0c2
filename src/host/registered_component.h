#pragma once

#include <string>

#include "host/object.h"

namespace oq {

// Creates `progId` through the platform's own registry of components, for a name that no factory
// of this process serves. On Linux that is the per-user component registry and the library it
// names; on Windows the system's class registry. Throws Failure 429 "ActiveX component can't
// create object", with the reason in the description, when the name or its class is not there;
// a class that refuses to make the object gives its own failure.
ObjectRef CreateRegisteredComponent(const std::string& progId);

}  // namespace oq
