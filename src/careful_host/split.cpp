#include "careful_host/split.h"

#include "careful_host/exit_status.h"
#include "careful_host/interrupts.h"
#include "careful_host/main_session.h"
#include "careful_host/preview_output.h"
#include "careful_host/reports.h"
#include "careful_host/request_checks.h"
#include "connectors/common/transaction_control.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/data_access_manager.h"
#include "platform/regional_settings.h"

namespace oq::careful {

namespace {

std::optional<CreatedInterno> Made(const std::vector<CreatedInterno>& created,
                                   const std::string& number) {
  for (const CreatedInterno& interno : created) {
    if (interno.interno == number) return interno;
  }
  return std::nullopt;
}

}  // namespace

SplitResult RunSplit(const SplitRequest& request, std::ostream* log, std::ostream* boxes,
                     std::ostream& notes) {
  try {
    CheckNewNumber(request.con, std::nullopt, request.numberAsTyped);
    CheckNewNumber(request.sin, std::nullopt, request.numberAsTyped);
  } catch (const ArgumentError& e) {
    throw Refusal(e.what());
  }
  if (request.con == request.sin) throw Refusal("--con and --sin must be two numbers");
  const SessionDatabases databases = OpenChecked(
      request.internosUrl, request.ncmUrl, {request.source, true, request.dateSql, true},
      [&notes](const std::string& line) { notes << "oquardelino split: " << line << '\n'; });
  SplitResult split;
  try {
    const ObjectRef dam = CreateObject(std::string(identity::kDataAccessManagerProgId));
    split.preview =
        BuildPreview(*databases.internos, *databases.ncm, dynamic_cast<DataAccessManager&>(*dam),
                     request.source, UserDecimalSeparator());
  } catch (const std::exception& e) {
    throw CheckRefusal(e.what());
  }

  CopyRequest copy;
  static_cast<SessionValues&>(copy) = request;
  copy.newNumber = request.con;
  copy.option = "con-lapi";
  copy.keepPartial = request.keepPartial;
  copy.progress = request.progress;
  copy.morePresses = {{"sin-lapi", request.sin}};
  copy.command = "split";
  InstallInterruptHandlers();
  auto* control = dynamic_cast<connectors::TransactionControl*>(databases.internos.get());
  split.copy = RunCopySession(databases, control, copy, log, boxes, notes);
  split.con = Made(split.copy.created, request.con);
  split.sin = Made(split.copy.created, request.sin);
  split.status = split.copy.status;
  if (split.status == kExitOk && split.preview.neither.items > 0) split.status = kExitItemsLeftOut;
  return split;
}

void PrintReconciliation(std::ostream& out, const SplitResult& split) {
  const Preview& preview = split.preview;
  const double con = split.con ? split.con->fob : 0, sin = split.sin ? split.sin->fob : 0;
  out << "FOB con " << FobText(con) << " + FOB sin " << FobText(sin) << " = " << FobText(con + sin)
      << "; source fobdivisas " << SourceFobShown(preview) << '\n';
  if (preview.neither.items == 0) {
    out << "Every item is in one of the two copies.\n";
    return;
  }
  out << preview.neither.items << " items in neither copy, FOB " << FobText(preview.neither.fob)
      << ":\n";
  for (const PreviewItem& item : preview.items) {
    if (item.conKeeps || item.sinKeeps) continue;
    out << "  item " << item.id << " (ncm '" << item.ncm << "', FOB " << FobText(item.fob)
        << "): " << WhyNeither(item) << '\n';
  }
}

nlohmann::ordered_json SplitJson(const SplitResult& split) {
  const auto made = [](const std::optional<CreatedInterno>& interno) {
    return interno ? CreatedJson(*interno) : nlohmann::ordered_json();
  };
  nlohmann::ordered_json out;
  out["status"] = split.status;
  out["con"] = made(split.con);
  out["sin"] = made(split.sin);
  out["fobdivisas"] = FobdivisasJson(split.preview);
  out["neither"] = nlohmann::ordered_json::array();
  for (const PreviewItem& item : split.preview.items) {
    if (item.conKeeps || item.sinKeeps) continue;
    out["neither"].push_back(
        {{"id", item.id}, {"ncm", item.ncm}, {"fob", item.fob}, {"reason", WhyNeither(item)}});
  }
  out["log"] = split.copy.log;
  out["messages"] = MessagesJson(split.copy.messages);
  return out;
}

}  // namespace oq::careful

namespace oq::careful {

std::optional<CommandError> SplitError(const SplitResult& split) {
  if (split.status != kExitItemsLeftOut) return CopyError(split.copy);
  return CommandError{error_code::kItemsLeftOut,
                      std::to_string(split.preview.neither.items) +
                          " items are in neither copy: look at them (\"neither\")"};
}

}  // namespace oq::careful
