/* A host of the oQUARDELINO component, with nothing but what liboquardelino-dev installs: it
 * loads liboquardelino.so by path, creates cMAIN through the class factory and lets it go.
 * Build and run (CMake hosts find the library's path as OQUARDELINO_COMPONENT_PATH):
 *   cc -o load_component load_component.c -ldl
 *   ./load_component /usr/lib/x86_64-linux-gnu/oquardelino/liboquardelino.so
 * A C++ host built with the same compiler then reaches cMAIN's members by name through the
 * std::shared_ptr that oq_object's shared_object points to. */
#include <dlfcn.h>
#include <oquardelino/oquardelino_server.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s PATH/liboquardelino.so\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  oq_get_class_object_fn get_class_object;
  oq_can_unload_now_fn can_unload_now;
  void* symbol = dlsym(library, "DllGetClassObject");
  memcpy(&get_class_object, &symbol, sizeof symbol); /* a data pointer to a function pointer */
  symbol = dlsym(library, "DllCanUnloadNow");
  memcpy(&can_unload_now, &symbol, sizeof symbol);

  oq_class_factory* factory = NULL;
  oq_result result = get_class_object("{F0BEC779-FF07-4CC0-BA67-74DAC1C1954D}", &factory);
  if (result != OQ_S_OK) {
    fprintf(stderr, "no class factory for cMAIN (%d)\n", (int)result);
    return 1;
  }
  oq_object* cmain = NULL;
  result = factory->CreateInstance(factory, NULL, &cmain);
  factory->Release(factory);
  if (result != OQ_S_OK) {
    fprintf(stderr, "cMAIN could not be created (%d)\n", (int)result);
    return 1;
  }
  printf("cMAIN created\n");
  cmain->Release(cmain);
  printf("the library may be unloaded: %s\n", can_unload_now() == OQ_S_OK ? "yes" : "no");
  return 0;
}
