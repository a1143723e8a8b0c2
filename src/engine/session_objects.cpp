#include "engine/session_objects.h"

#include "host/basGLOBAL.h"
#include "host/failure.h"

namespace oq {

namespace {

// The session items are plain object references; the copy procedures reach their members by
// name, so an item of the wrong kind is a missing member (438) rather than a type mismatch.
template <typename T>
std::shared_ptr<T> SessionItemAs(const ObjectRef& item) {
  if (!item) throw err::runtime(err::kObjectNotSet);
  std::shared_ptr<T> typed = std::dynamic_pointer_cast<T>(item);
  if (!typed) throw err::runtime(err::kMemberNotSupported);
  return typed;
}

}  // namespace

std::shared_ptr<HostConnection> InternosConnection() {
  return SessionItemAs<HostConnection>(basGLOBAL::State().internos);
}

std::shared_ptr<HostConnection> NcmConnection() {
  return SessionItemAs<HostConnection>(basGLOBAL::State().ncm);
}

std::shared_ptr<DataAccessManager> SessionDataAccessManager() {
  return SessionItemAs<DataAccessManager>(basGLOBAL::State().dataAccessManager);
}

}  // namespace oq
