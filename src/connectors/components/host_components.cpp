#include "connectors/components/host_components.h"

#include <memory>
#include <string>

#include "connectors/components/format_main.h"
#include "host/class_identity.h"
#include "host/component_registry.h"

namespace oq::components {

void RegisterHostComponents(DialectMap dialects) {
  auto& registry = ComponentRegistry::instance();
  registry.add(std::string(identity::kDataAccessManagerProgId),
               [dialects = std::move(dialects)]() -> ObjectRef {
                 return std::make_shared<DamMain>(dialects);
               });
  registry.add(std::string(identity::kFormatProgId),
               []() -> ObjectRef { return std::make_shared<FormatMain>(); });
}

}  // namespace oq::components
