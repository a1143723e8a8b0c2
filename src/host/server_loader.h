#pragma once

#include <string>

#include "host/in_process_server.h"
#include "host/object.h"

namespace oq {

// Creates one object of class `classId` served by the component library at `libraryPath`: loads
// the library (once; it then stays loaded for the life of the process, since objects it created
// run its code), asks DllGetClassObject for the class factory, creates the object through it and
// releases the factory. Throws Failure 429, with the reason in the description, when the library
// cannot be loaded, exports no DllGetClassObject, does not serve the class or fails to create it.
ObjectRef CreateFromLibrary(const std::string& libraryPath, const std::string& classId);

// Takes the object out of a handle that a factory's CreateInstance gave: returns the host's own
// counted reference and releases the handle (which must not be used afterwards). A null handle
// gives a null reference.
ObjectRef TakeObject(oq_object* handle);

}  // namespace oq
