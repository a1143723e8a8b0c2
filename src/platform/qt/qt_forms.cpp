#include "platform/qt/qt_forms.h"

#include "host/forms.h"
#include "platform/qt/qt_form_view.h"
#include "platform/qt/qt_platform_port.h"

namespace oq::qt {

void InstallQtMainForm(std::shared_ptr<PlatformPort> platform,
                       std::function<void(frmMAIN&)> prepare) {
  SetMainFormFactory([platform, prepare]() -> std::shared_ptr<ModalForm> {
    std::shared_ptr<PlatformPort> port = platform;
    if (!port) port = std::make_shared<QtPlatformPort>();
    auto form = std::make_shared<frmMAIN>(std::move(port), std::make_shared<QtFormView>());
    if (prepare) prepare(*form);
    return form;
  });
}

}  // namespace oq::qt
