#pragma once

/* The binary contract between a component library (an in-process server) and the program that
 * loads it. It is plain C so that any loader can find and call the entry points by name; only the
 * object a factory creates is C++ (see oq_object).
 *
 * A library exports, with C linkage:
 *   oq_result DllGetClassObject(const char* class_id, oq_class_factory** factory);
 *   oq_result DllCanUnloadNow(void);
 *   oq_result DllRegisterServer(void);
 *   oq_result DllUnregisterServer(void);
 * Class ids are texts in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", compared
 * without regard to case.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results: 0 and 1 succeed, negative values fail. The numbers are those of the platform's
 * HRESULTs, written as signed decimals so that C and C++ share them without casts. */
typedef int32_t oq_result;
#define OQ_S_OK 0
#define OQ_S_FALSE 1
#define OQ_E_NOINTERFACE (-2147467262)             /* 0x80004002 */
#define OQ_E_POINTER (-2147467261)                 /* 0x80004003 */
#define OQ_E_FAIL (-2147467259)                    /* 0x80004005 */
#define OQ_E_UNEXPECTED (-2147418113)              /* 0x8000FFFF */
#define OQ_E_OUTOFMEMORY (-2147024882)             /* 0x8007000E */
#define OQ_E_INVALIDARG (-2147024809)              /* 0x80070057 */
#define OQ_CLASS_E_CLASSNOTAVAILABLE (-2147221231) /* 0x80040111 */
#define OQ_SELFREG_E_TYPELIB (-2147220992)         /* 0x80040200 */
#define OQ_SELFREG_E_CLASS (-2147220991)           /* 0x80040201 */

/* The interface ids CreateInstance accepts besides a class's own default interface. */
#define OQ_IID_IUNKNOWN "{00000000-0000-0000-C000-000000000046}"
#define OQ_IID_IDISPATCH "{00020400-0000-0000-C000-000000000046}"

/* One created object, owned by this handle until Release. For a C++ host built with the same
 * compiler and standard library, `shared_object` points to a std::shared_ptr<oq::Object>: the host
 * copies that pointer (taking its own counted reference) and then releases the handle. The
 * object's code lives in the library, so a library that has created objects stays loaded. */
typedef struct oq_object {
  void* shared_object;
  void (*Release)(struct oq_object* self); /* frees the handle and its reference */
} oq_object;

/* A class factory, as DllGetClassObject hands it out with one reference for the caller.
 * - CreateInstance: creates one object of the factory's class and stores a new handle in
 *   `*object`. `interface_id` may be NULL (the default interface), IUnknown, IDispatch or the
 *   class's default interface; any other gives OQ_E_NOINTERFACE. On failure `*object` is NULL.
 * - LockServer: a non-zero `lock` keeps the library loaded (DllCanUnloadNow answers S_FALSE)
 *   until a matching call with zero.
 * - Release: gives back the caller's reference; the factory must not be used afterwards.
 * `size` is sizeof(oq_class_factory) as the library was built, for a loader to check. */
typedef struct oq_class_factory {
  uint32_t size;
  oq_result (*CreateInstance)(struct oq_class_factory* self, const char* interface_id,
                              oq_object** object);
  oq_result (*LockServer)(struct oq_class_factory* self, int32_t lock);
  void (*Release)(struct oq_class_factory* self);
} oq_class_factory;

/* The entry points' types, for a loader that finds them with dlsym. */
typedef oq_result (*oq_get_class_object_fn)(const char* class_id, oq_class_factory** factory);
typedef oq_result (*oq_can_unload_now_fn)(void);
typedef oq_result (*oq_register_server_fn)(void);
typedef oq_result (*oq_unregister_server_fn)(void);

#ifdef __cplusplus
}
#endif
