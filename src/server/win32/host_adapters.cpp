#include "server/win32/host_adapters.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "host/class_identity.h"
#include "host/failure.h"
#include "server/win32/com_text.h"

namespace oq::win32 {

namespace {

std::string Folded(std::string text) {
  std::ranges::transform(text, text.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A field of the host's record set; the host's field object reads the current row itself.
class DispatchField : public Field, public DispatchHolder {
 public:
  DispatchField(IDispatch* object, std::string name)
      : DispatchHolder(object), name_(std::move(name)) {}
  const std::string& Name() const override { return name_; }
  Variant Value() const override {
    ComVariant value;
    caller().Get("Value", value.get());
    return FromVariant(*value);
  }

 private:
  std::string name_;
};

// Text arguments, freed when the call is over however it ends.
struct TextArguments {
  std::vector<VARIANT> args;
  explicit TextArguments(std::initializer_list<std::string_view> texts) {
    args.reserve(texts.size());
    for (const std::string_view text : texts) {
      VARIANT argument;
      V_VT(&argument) = VT_BSTR;
      V_BSTR(&argument) = Bstr(text).Release();
      args.push_back(argument);
    }
  }
  TextArguments(const TextArguments&) = delete;
  TextArguments& operator=(const TextArguments&) = delete;
  ~TextArguments() {
    for (VARIANT& arg : args) ::VariantClear(&arg);
  }
};

IDispatch* RequireObject(const VARIANT& value) {
  if (V_VT(&value) != VT_DISPATCH || V_DISPATCH(&value) == nullptr) {
    throw err::runtime(err::kObjectNotSet);
  }
  return V_DISPATCH(&value);
}

thread_local RecordsetClassScope* t_recordsetScope = nullptr;  // the innermost one

ComRef<IClassFactory> FindRecordsetClass() {
  ComRef<IClassFactory> found;
  CLSID id;
  if (SUCCEEDED(::CLSIDFromProgID(L"ADODB.Recordset", &id))) {
    ::CoGetClassObject(id, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                       reinterpret_cast<void**>(found.Receive()));
  }
  return found;
}

// A new, unopened ADODB.Recordset, or Empty where the class cannot be created here.
void NewRecordsetInto(VARIANT* out) {
  ComRef<IClassFactory> once;
  IClassFactory* factory =
      t_recordsetScope != nullptr ? t_recordsetScope->Class() : (once = FindRecordsetClass()).get();
  IDispatch* created = nullptr;
  if (factory != nullptr && SUCCEEDED(factory->CreateInstance(
                                nullptr, IID_IDispatch, reinterpret_cast<void**>(&created)))) {
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = created;
  }
}

}  // namespace

RecordsetClassScope::RecordsetClassScope() : outer_(t_recordsetScope) { t_recordsetScope = this; }

RecordsetClassScope::~RecordsetClassScope() { t_recordsetScope = outer_; }

IClassFactory* RecordsetClassScope::Class() {
  if (!found_) class_ = FindRecordsetClass();
  found_ = true;
  return class_.get();
}

void DispatchConnection::put_sql(const std::string& text) {
  TextArguments value{text};
  caller().Put("sql", value.args[0]);
}

Variant DispatchConnection::crearrs(Variant& recordset) {
  ComVariant variable;
  if (recordset.isEmpty()) {
    NewRecordsetInto(variable.get());
  } else {
    ToVariant(recordset, variable.get());
  }
  ComVariant result;
  VARIANT reference;
  V_VT(&reference) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&reference) = variable.get();
  std::vector<VARIANT> args{reference};
  try {
    caller().Call("crearrs", DISPATCH_METHOD, args, result.get());
  } catch (const Failure& failure) {
    // A host declared with a typed record-set parameter takes a reference to an object, not to a
    // variant; the refusal comes before its code runs, so the call is simply made again.
    if (failure.number() != err::kTypeMismatch || V_VT(variable.get()) != VT_DISPATCH) throw;
    V_VT(&args[0]) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&args[0]) = &V_DISPATCH(variable.get());
    caller().Call("crearrs", DISPATCH_METHOD, args, result.get());
  }
  const VARIANT& left =
      V_VT(variable.get()) == (VT_BYREF | VT_VARIANT) ? *V_VARIANTREF(variable.get()) : *variable;
  if (V_VT(&left) == VT_DISPATCH) {
    recordset = Variant::Object(V_DISPATCH(&left) != nullptr
                                    ? std::make_shared<DispatchRecordset>(V_DISPATCH(&left))
                                    : nullptr);
  } else {
    recordset = FromVariant(left);
  }
  return FromVariant(*result);
}

Variant DispatchConnection::ejecutar() {
  ComVariant result;
  std::vector<VARIANT> none;
  caller().Call("ejecutar", DISPATCH_METHOD, none, result.get());
  return FromVariant(*result);
}

DispatchRecordset::~DispatchRecordset() = default;

bool DispatchRecordset::NameLess::operator()(std::string_view a, std::string_view b) const {
  // ASCII letters fold to lower case; the C library's tolower, asked for each character of each
  // comparison, cost more than the lookup it serves.
  const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  return std::ranges::lexicographical_compare(
      a, b, [&lower](unsigned char x, unsigned char y) { return lower(x) < lower(y); });
}

Field& DispatchRecordset::Fields(const std::string& name) {
  if (auto known = fields_.find(name); known != fields_.end()) return *known->second;

  ComVariant field;
  bool viaCollection = false;
  {
    ComVariant collection;
    try {
      caller().Get("Fields", collection.get());
      viaCollection = V_VT(collection.get()) == VT_DISPATCH && V_DISPATCH(collection.get());
    } catch (const Failure&) {
      viaCollection = false;  // a Fields that wants the name, asked below
    }
    if (viaCollection) {
      TextArguments nameArgument{name};
      const DispatchCaller items(V_DISPATCH(collection.get()));
      items.Call("", DISPATCH_METHOD | DISPATCH_PROPERTYGET, nameArgument.args, field.get());
    }
  }
  if (!viaCollection) {
    TextArguments nameArgument{name};
    caller().Call("Fields", DISPATCH_METHOD | DISPATCH_PROPERTYGET, nameArgument.args, field.get());
  }
  auto adapter = std::make_unique<DispatchField>(RequireObject(*field), name);
  return *fields_.emplace(name, std::move(adapter)).first->second;
}

bool DispatchRecordset::Eof() const {
  ComVariant value;
  caller().Get("EOF", value.get());
  return FromVariant(*value).isTrue();
}

void DispatchRecordset::MoveFirst() {
  std::vector<VARIANT> none;
  caller().Call("MoveFirst", DISPATCH_METHOD, none);
}

void DispatchRecordset::MoveNext() {
  std::vector<VARIANT> none;
  caller().Call("MoveNext", DISPATCH_METHOD, none);
}

void DispatchRecordset::Close() {
  std::vector<VARIANT> none;
  caller().Call("Close", DISPATCH_METHOD, none);
}

std::string DispatchDataAccessManager::getMidFormatbyEntity(const std::string& entity,
                                                            const std::string& text,
                                                            const std::string& start,
                                                            const std::string& length) {
  TextArguments args{entity, text, start, length};
  ComVariant result;
  caller().Call("getMidFormatbyEntity", DISPATCH_METHOD | DISPATCH_PROPERTYGET, args.args,
                result.get());
  ComVariant asText;
  if (FAILED(::VariantChangeType(asText.get(), result.get(), 0, VT_BSTR))) {
    throw err::runtime(err::kTypeMismatch);
  }
  return FromBstr(V_BSTR(asText.get()));
}

Variant DispatchFormat::EsNumero(const Field& field) {
  const auto* host = dynamic_cast<const DispatchHolder*>(&field);
  if (host == nullptr) throw err::runtime(err::kTypeMismatch);
  VARIANT argument;
  V_VT(&argument) = VT_DISPATCH;
  V_DISPATCH(&argument) = host->dispatch();
  std::vector<VARIANT> args{argument};
  ComVariant result;
  caller().Call("EsNumero", DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, result.get());
  return FromVariant(*result);
}

ObjectRef AdaptCreated(const std::string& progId, IDispatch* object) {
  if (object == nullptr) return nullptr;
  const std::string name = Folded(progId);
  if (name == Folded(std::string(identity::kDataAccessManagerProgId))) {
    return std::make_shared<DispatchDataAccessManager>(object);
  }
  if (name == Folded(std::string(identity::kFormatProgId))) {
    return std::make_shared<DispatchFormat>(object);
  }
  return std::make_shared<DispatchObject>(object);
}

}  // namespace oq::win32
