#pragma once

/* liboquardelino: the component as a shared library that any host loads by path or finds through
 * the per-user component registry. It exports exactly these four entry points, with C linkage; the
 * types and result codes are those of host/in_process_server.h.
 *
 * A host creates cMAIN like this (the whole program, which builds against the installed headers
 * alone, is share/doc/liboquardelino-dev/examples/load_component.c):
 *
 *   void* library = dlopen(".../liboquardelino.so", RTLD_NOW | RTLD_LOCAL);
 *   oq_get_class_object_fn get;
 *   void* symbol = dlsym(library, "DllGetClassObject");
 *   memcpy(&get, &symbol, sizeof symbol);
 *   oq_class_factory* factory = NULL;
 *   if (get("{F0BEC779-FF07-4CC0-BA67-74DAC1C1954D}", &factory) == OQ_S_OK) {
 *     oq_object* cmain = NULL;
 *     if (factory->CreateInstance(factory, NULL, &cmain) == OQ_S_OK) {
 *       ... use cmain->shared_object, then:
 *       cmain->Release(cmain);
 *     }
 *     factory->Release(factory);
 *   }
 *
 * A C++ host built with the same compiler and standard library copies the std::shared_ptr that
 * shared_object points to and reaches cMAIN's members by name or dispatch id through it.
 *
 * The library carries its own copy of the component: its own session state per thread, its own
 * in-process component factories and its own forms port. A host therefore reaches cMAIN through
 * the virtual members of oq::AutomationObject (whose code is the library's), not through cMAIN's
 * plain member functions (whose code would be the host's own copy, acting on the host's state).
 * "DataAccessManager.DAMMain", which GetDataAccessManager creates, must be creatable from inside
 * the library, that is, registered in the per-user component registry.
 * A failure of a member reaches the host as a thrown oq::Failure. */

#include "host/in_process_server.h"

#if defined(__GNUC__)
#define OQ_SERVER_EXPORT __attribute__((visibility("default")))
#else
#define OQ_SERVER_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The class factory of cMAIN when `class_id` is cMAIN's class id (any case): OQ_S_OK and
 * `*factory` holds a reference the caller gives back with Release. For any other id
 * OQ_CLASS_E_CLASSNOTAVAILABLE; OQ_E_POINTER for a null argument. `*factory` is NULL on failure. */
OQ_SERVER_EXPORT oq_result DllGetClassObject(const char* class_id, oq_class_factory** factory);

/* OQ_S_OK when no cMAIN object, no factory reference and no LockServer lock is alive, so the
 * library may be unloaded; OQ_S_FALSE otherwise. */
OQ_SERVER_EXPORT oq_result DllCanUnloadNow(void);

/* Writes into the per-user component registry the type library (id, name "oQUARDELINO", version
 * 1.0, this library's path) and the class (class id, "oQUARDELINO.cMAIN", "Apartment", this
 * library's path, the type library id). OQ_S_OK, or OQ_SELFREG_E_TYPELIB / OQ_SELFREG_E_CLASS when
 * the registry cannot be written (entries already written stay). */
OQ_SERVER_EXPORT oq_result DllRegisterServer(void);

/* Removes the class, the names that point at it and the type library. Entries that are not there
 * are not an error. OQ_S_OK, or OQ_SELFREG_E_CLASS / OQ_SELFREG_E_TYPELIB as above. */
OQ_SERVER_EXPORT oq_result DllUnregisterServer(void);

#ifdef __cplusplus
}
#endif
