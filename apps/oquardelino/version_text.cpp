#include "version_text.h"

#include <sqlite3.h>

#include "host/class_identity.h"
#ifdef OQ_HAVE_POSTGRES
#include <libpq-fe.h>
#endif
#include <QtGlobal>

namespace oq::app {

std::string VersionText() {
  std::string text = "oquardelino " + std::to_string(identity::kVersionMajor) + "." +
                     std::to_string(identity::kVersionMinor) + "." +
                     std::to_string(identity::kVersionRevision) + "\nSQLite " +
                     sqlite3_libversion();
#ifdef OQ_HAVE_POSTGRES
  // libpq gives major * 10000 + minor from version 10 on.
  const int pq = PQlibVersion();
  text += "\nlibpq " + std::to_string(pq / 10000) + "." + std::to_string(pq % 10000);
#endif
  text += std::string("\nQt ") + qVersion();
  return text;
}

}  // namespace oq::app
