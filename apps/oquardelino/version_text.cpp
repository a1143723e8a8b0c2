#include "version_text.h"

#include <QtGlobal>

#include "careful_host/connection_url.h"
#include "host/class_identity.h"

namespace oq::app {

std::string VersionText() {
  return "oquardelino " + std::to_string(identity::kVersionMajor) + "." +
         std::to_string(identity::kVersionMinor) + "." +
         std::to_string(identity::kVersionRevision) + "\n" + careful::EngineVersions() + "\nQt " +
         qVersion();
}

}  // namespace oq::app
