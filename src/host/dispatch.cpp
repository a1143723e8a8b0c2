#include "host/dispatch.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "host/cMAIN.h"
#include "host/failure.h"

namespace oq::dispatch {

namespace {

constexpr std::array<Member, 8> kMembers{{
    {"Numero_Interno", InvokeKind::kPropertyPut, kNumeroInterno,
     Parameter{"p_Numero", ValueType::kString, true}, std::nullopt},
    {"GetDataAccessManager", InvokeKind::kMethod, kGetDataAccessManager,
     Parameter{"p_DAM", ValueType::kVariant, true}, std::nullopt},
    {"Mostrar", InvokeKind::kMethod, kMostrar, std::nullopt, std::nullopt},
    {"setConexionAInternos", InvokeKind::kMethod, kSetConexionAInternos,
     Parameter{"p_Conn", ValueType::kObject, true}, std::nullopt},
    {"setFechaActualDeInternos", InvokeKind::kMethod, kSetFechaActualDeInternos,
     Parameter{"p_Conn", ValueType::kString, true}, std::nullopt},
    {"setConexionANcm", InvokeKind::kMethod, kSetConexionANcm,
     Parameter{"p_Conn", ValueType::kObject, true}, std::nullopt},
    {"pLenMaxInterno", InvokeKind::kPropertyGet, kPLenMaxInterno, std::nullopt, ValueType::kLong},
    {"pLenMaxInterno", InvokeKind::kPropertyPut, kPLenMaxInterno,
     Parameter{"lLenMaxInterno", ValueType::kLong, false}, std::nullopt},
}};

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

// The entry for `id` that `kind` asks for. A client that passes both method and get (as a
// late-bound read does) finds either.
const Member& Resolve(DispId id, InvokeKind kind) {
  for (const Member& member : kMembers) {
    if (member.id == id && Includes(kind, member.kind)) return member;
  }
  throw err::runtime(err::kMemberNotSupported);
}

std::string AsText(const Variant& value) {
  if (value.isString()) return value.asString();
  if (value.isEmpty()) return std::string();
  throw err::runtime(err::kTypeMismatch);
}

ObjectRef AsObject(const Variant& value) {
  if (value.isObject()) return value.asObject();
  throw err::runtime(err::kTypeMismatch);
}

std::int32_t AsLong(const Variant& value) {
  // Automation coerces no text and no Null to a number at this boundary.
  if (!value.isEmpty() && !value.isNumeric()) throw err::runtime(err::kTypeMismatch);
  const std::int64_t number = value.toInt64();
  if (number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::int32_t>::max()) {
    throw err::runtime(err::kOverflow);
  }
  return static_cast<std::int32_t>(number);
}

}  // namespace

const std::array<Member, 8>& Members() { return kMembers; }

DispId GetIDsOfNames(std::string_view name) {
  for (const Member& member : kMembers) {
    if (SameName(member.name, name)) return member.id;
  }
  throw err::runtime(err::kMemberNotSupported);
}

Variant Invoke(cMAIN& object, DispId id, InvokeKind kind, std::vector<Variant>& args) {
  const Member& member = Resolve(id, kind);
  if (args.size() != (member.parameter ? 1u : 0u)) throw err::runtime(err::kWrongArgumentCount);

  // Arguments are converted before the member runs, so a refused argument changes nothing.
  switch (member.id) {
    case kNumeroInterno:
      object.put_Numero_Interno(AsText(args[0]));
      return Variant();
    case kGetDataAccessManager:
      object.GetDataAccessManager(args[0]);
      return Variant();
    case kMostrar:
      object.Mostrar();
      return Variant();
    case kSetConexionAInternos:
      object.setConexionAInternos(AsObject(args[0]));
      return Variant();
    case kSetFechaActualDeInternos:
      object.setFechaActualDeInternos(AsText(args[0]));
      return Variant();
    case kSetConexionANcm:
      object.setConexionANcm(AsObject(args[0]));
      return Variant();
    case kPLenMaxInterno:
      if (member.kind == InvokeKind::kPropertyGet)
        return Variant::Long(object.get_pLenMaxInterno());
      object.put_pLenMaxInterno(AsLong(args[0]));
      return Variant();
    default:
      throw err::runtime(err::kMemberNotSupported);
  }
}

Variant InvokeByName(cMAIN& object, std::string_view name, InvokeKind kind,
                     std::vector<Variant>& args) {
  return Invoke(object, GetIDsOfNames(name), kind, args);
}

}  // namespace oq::dispatch
