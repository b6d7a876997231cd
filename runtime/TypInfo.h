// Run-time type information: what a class publishes (properties and methods) and the types of
// its properties, for the component stream and for name paths.
//
// A class declares ORVALIS_CLASS(Self, Parent) in its body and lists what it publishes in its
// source file:
//
//   const TClassInfo& TDXTimer::StaticClassInfo() {
//     static const TClassInfo info = DefineClass<TDXTimer>({
//         Property("ActiveOnly", &TDXTimer::ActiveOnly, &TDXTimer::SetActiveOnly).Default(true),
//         Property("Interval", &TDXTimer::Interval, &TDXTimer::SetInterval).Default(1000),
//         Property("OnTimer", &TDXTimer::FOnTimer, &TDXTimer::FOnTimer),
//     });
//     return info;
//   }
//
// Getters are const or plain member functions or fields; setters are member functions, fields
// or nullptr (read-only; object properties are still read through). The property's type follows
// from the getter: bool, integers, floating-point, std::string, enumerations (which declare
// their names with an EnumTypeInfo overload, below), TSet<E>, pointers to classes and TEvent<>.
// An explicit type may be given first, e.g. ColorTypeInfo() for a TColor held in an Integer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "runtime/Classes.h"

inline constexpr const char* SUnknownProperty = "Eigenschaft %s existiert nicht.";

enum TTypeKind { tkUnknown, tkInteger, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkInt64 };

struct TIdentMapEntry {
  Integer Value;
  std::string_view Name;
};

struct TTypeInfo {
  TTypeKind Kind = tkUnknown;
  std::string Name;
  // tkEnumeration: the value names by ordinal; tkSet: the names of the element ordinals.
  std::vector<std::string> Names;
  // tkInteger: names some values have in the stream (the colour names of TColor).
  std::vector<TIdentMapEntry> Idents;
  // tkClass: the declared class, looked up on demand so that classes may refer to each other.
  const TClassInfo& (*ClassOf)() = nullptr;
  // tkMethod: the parameter list of the event type.
  const std::type_info* MethodSignature = nullptr;

  TClass ClassType() const { return ClassOf ? &ClassOf() : nullptr; }
  // The ordinal of an enumeration or set element name, any case; -1 when unknown.
  Integer OrdinalOf(std::string_view name) const;
};

// The value of a property as the stream sees it: ordinals (integers, enumerations, booleans,
// set bits), floating-point, text, objects and methods.
using TPropValue = std::variant<int64_t, long double, std::string, TObject*, TMethod>;

struct TPropInfo {
  std::string Name;
  const TTypeInfo* PropType = nullptr;
  std::function<TPropValue(TObject*)> Get;
  std::function<void(TObject*, const TPropValue&)> Set;  // empty for a read-only property
  std::function<bool(TObject*)> StoredIf;                // empty: stored as the flag says
  bool StoredFlag = true;
  std::optional<int64_t> DefaultValue;  // ordinals only; none means always written

  TTypeKind Kind() const { return PropType->Kind; }
  bool IsStored(TObject* Instance) const { return StoredIf ? StoredIf(Instance) : StoredFlag; }

  TPropInfo&& Default(int64_t Value) && {
    DefaultValue = Value;
    return std::move(*this);
  }
  TPropInfo&& Stored(bool Value) && {
    StoredFlag = Value;
    return std::move(*this);
  }
  template <class T>
  TPropInfo&& Stored(bool (T::*Predicate)() const) && {
    StoredIf = [Predicate](TObject* instance) { return (static_cast<T*>(instance)->*Predicate)(); };
    return std::move(*this);
  }
};

// An entry of a class's published-method table: a handler the stream binds events to by name.
struct TMethodEntry {
  std::string Name;
  TMethod::TCode Code = nullptr;
  const std::type_info* Signature = nullptr;
};

// A published field of a form class: set to the component of that name when a stream creates
// it for the form.
struct TFieldEntry {
  std::string Name;
  std::function<void(TObject*, TComponent*)> Assign;
};

// ---- Predefined types ----

const TTypeInfo& IntegerTypeInfo();
const TTypeInfo& Int64TypeInfo();
const TTypeInfo& BooleanTypeInfo();
const TTypeInfo& FloatTypeInfo();
const TTypeInfo& StringTypeInfo();
// An Integer whose values may be written as colour names ("clFuchsia").
const TTypeInfo& ColorTypeInfo();

bool ColorToIdent(Integer Color, std::string& Ident);
// Any case; false when the name is not a colour name.
bool IdentToColor(std::string_view Ident, Integer& Color);

// An enumeration type for the declaration of EnumTypeInfo:
//   enum TAlign { alNone, alTop, ... };
//   const TTypeInfo& EnumTypeInfo(TypeTag<TAlign>);   // in the header
//   const TTypeInfo& EnumTypeInfo(TypeTag<TAlign>) {  // in the source
//     static const TTypeInfo info = MakeEnumTypeInfo("TAlign", {"alNone", "alTop", ...});
//     return info;
//   }
template <class E>
struct TypeTag {};
TTypeInfo MakeEnumTypeInfo(std::string Name, std::vector<std::string> Names);
const TTypeInfo& EnumTypeInfo(TypeTag<bool>);

namespace typinfo_detail {

template <class V>
struct IsSet : std::false_type {};
template <class E>
struct IsSet<TSet<E>> : std::true_type {
  using Element = E;
};

template <class V>
struct IsEvent : std::false_type {};
template <class... Args>
struct IsEvent<TEvent<Args...>> : std::true_type {};

template <class V>
constexpr bool IsObjectPointer =
    std::is_pointer_v<V> && std::is_base_of_v<TObject, std::remove_pointer_t<V>>;

template <class E>
const TTypeInfo& SetTypeInfo() {
  static const TTypeInfo info = [] {
    const TTypeInfo& element = EnumTypeInfo(TypeTag<E>{});
    TTypeInfo set;
    set.Kind = tkSet;
    set.Name = "set of " + element.Name;
    set.Names = element.Names;
    return set;
  }();
  return info;
}

template <class T>
const TTypeInfo& ClassTypeInfo() {
  static const TTypeInfo info = [] {
    TTypeInfo type;
    type.Kind = tkClass;
    type.Name = std::string(T::StaticClassName);
    type.ClassOf = &T::StaticClassInfo;
    return type;
  }();
  return info;
}

template <class Event>
const TTypeInfo& MethodTypeInfo() {
  static const TTypeInfo info = [] {
    TTypeInfo type;
    type.Kind = tkMethod;
    type.Name = "method";
    type.MethodSignature = &Event::Signature();
    return type;
  }();
  return info;
}

}  // namespace typinfo_detail

// The type information of a property value type.
template <class V>
const TTypeInfo& TypeInfoOf() {
  using namespace typinfo_detail;
  if constexpr (std::is_same_v<V, bool>)
    return BooleanTypeInfo();
  else if constexpr (std::is_same_v<V, int64_t> || std::is_same_v<V, uint64_t>)
    return Int64TypeInfo();
  else if constexpr (std::is_integral_v<V>)
    return IntegerTypeInfo();
  else if constexpr (std::is_floating_point_v<V>)
    return FloatTypeInfo();
  else if constexpr (std::is_same_v<V, std::string>)
    return StringTypeInfo();
  else if constexpr (std::is_enum_v<V>)
    return EnumTypeInfo(TypeTag<V>{});
  else if constexpr (IsSet<V>::value)
    return SetTypeInfo<typename IsSet<V>::Element>();
  else if constexpr (IsObjectPointer<V>)
    return ClassTypeInfo<std::remove_pointer_t<V>>();
  else if constexpr (IsEvent<V>::value)
    return MethodTypeInfo<V>();
  else
    static_assert(sizeof(V) == 0, "no published type for this property value");
}

namespace typinfo_detail {

template <class G>
struct AccessorTraits;
template <class C, class R>
struct AccessorTraits<R (C::*)() const> {
  using Class = C;
  using Value = std::remove_cvref_t<R>;
};
template <class C, class R>
struct AccessorTraits<R (C::*)()> {
  using Class = C;
  using Value = std::remove_cvref_t<R>;
};
template <class C, class V>
  requires(!std::is_function_v<V>)
struct AccessorTraits<V C::*> {
  using Class = C;
  using Value = V;
};

template <class T, class G>
decltype(auto) Read(T* object, G getter) {
  if constexpr (std::is_member_function_pointer_v<G>)
    return (object->*getter)();
  else
    return object->*getter;
}

template <class V>
TPropValue ToPropValue(const V& value) {
  if constexpr (std::is_same_v<V, bool> || std::is_integral_v<V> || std::is_enum_v<V>)
    return static_cast<int64_t>(value);
  else if constexpr (IsSet<V>::value)
    return static_cast<int64_t>(value.Bits());
  else if constexpr (std::is_floating_point_v<V>)
    return static_cast<long double>(value);
  else if constexpr (std::is_same_v<V, std::string>)
    return value;
  else if constexpr (IsObjectPointer<V>)
    return static_cast<TObject*>(value);
  else
    return value.Method();
}

// Raises EInvalidCast when the value is not of the property's kind.
[[noreturn]] void InvalidPropValue();

template <class V>
V FromPropValue(const TPropValue& value) {
  if constexpr (std::is_same_v<V, bool> || std::is_integral_v<V> || std::is_enum_v<V> ||
                IsSet<V>::value) {
    const int64_t* ordinal = std::get_if<int64_t>(&value);
    if (!ordinal) InvalidPropValue();
    if constexpr (std::is_same_v<V, bool>)
      return *ordinal != 0;
    else if constexpr (IsSet<V>::value)
      return V::FromBits(static_cast<uint64_t>(*ordinal));
    else
      return static_cast<V>(*ordinal);
  } else if constexpr (std::is_floating_point_v<V>) {
    const long double* number = std::get_if<long double>(&value);
    if (!number) InvalidPropValue();
    return static_cast<V>(*number);
  } else if constexpr (std::is_same_v<V, std::string>) {
    const std::string* text = std::get_if<std::string>(&value);
    if (!text) InvalidPropValue();
    return *text;
  } else if constexpr (IsObjectPointer<V>) {
    TObject* const* object = std::get_if<TObject*>(&value);
    if (!object) InvalidPropValue();
    if (*object == nullptr) return nullptr;
    auto* typed = dynamic_cast<V>(*object);
    if (!typed) InvalidPropValue();
    return typed;
  } else {
    const TMethod* method = std::get_if<TMethod>(&value);
    V event;
    if (!method || !V::FromMethod(*method, event)) InvalidPropValue();
    return event;
  }
}

}  // namespace typinfo_detail

// A published property read through Getter and written through Setter (or read-only with
// nullptr), of the type Type.
template <class G, class S>
TPropInfo Property(std::string Name, const TTypeInfo& Type, G Getter, S Setter) {
  using namespace typinfo_detail;
  using T = typename AccessorTraits<G>::Class;
  using V = typename AccessorTraits<G>::Value;
  TPropInfo info;
  info.Name = std::move(Name);
  info.PropType = &Type;
  info.Get = [Getter](TObject* instance) {
    return ToPropValue<V>(Read(static_cast<T*>(instance), Getter));
  };
  if constexpr (!std::is_null_pointer_v<S>) {
    info.Set = [Setter](TObject* instance, const TPropValue& value) {
      T* object = static_cast<T*>(instance);
      if constexpr (std::is_member_function_pointer_v<S>)
        (object->*Setter)(FromPropValue<V>(value));
      else
        object->*Setter = FromPropValue<V>(value);
    };
  }
  return info;
}

// As above, the type following from the getter.
template <class G, class S>
TPropInfo Property(std::string Name, G Getter, S Setter) {
  using V = typename typinfo_detail::AccessorTraits<G>::Value;
  return Property(std::move(Name), TypeInfoOf<V>(), Getter, Setter);
}

// A published method: an event handler of the form class that streams bind by name.
template <auto Method>
TMethodEntry PublishedMethod(std::string Name) {
  using Traits = event_detail::MethodTraits<decltype(Method)>;
  using Event = typename Traits::Event;
  Event event(nullptr, &Traits::template Call<Method>);
  TMethod method = event.Method();
  return {std::move(Name), method.Code, method.Signature};
}

// A published field of the form class T holding a component of class C.
template <class T, class C>
TFieldEntry PublishedField(std::string Name, C* T::*Field) {
  return {std::move(Name), [Field](TObject* form, TComponent* component) {
            auto* typed = dynamic_cast<C*>(component);
            if (typed == nullptr) throw EInvalidCast(SInvalidCast);
            static_cast<T*>(form)->*Field = typed;
          }};
}

namespace typinfo_detail {
template <class T>
TComponent* NewComponent(TComponent* owner) {
  return new T(owner);
}
template <class T>
TCollectionItem* NewCollectionItem(TCollection* collection) {
  return new T(collection);
}
}  // namespace typinfo_detail

// The class information of T: its name, its parent's information, how to make one (when T is a
// concrete component or collection item) and what it publishes in addition to its parent.
template <class T>
TClassInfo DefineClass(std::vector<TPropInfo> Properties = {}, std::vector<TMethodEntry> Methods = {},
                       std::vector<TFieldEntry> Fields = {}) {
  TClassInfo info;
  info.Name = T::StaticClassName;
  info.Parent = &T::inherited::StaticClassInfo();
  if constexpr (!std::is_abstract_v<T>) {
    if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*>)
      info.NewComponent = &typinfo_detail::NewComponent<T>;
    if constexpr (std::is_base_of_v<TCollectionItem, T> && std::is_constructible_v<T, TCollection*>)
      info.NewCollectionItem = &typinfo_detail::NewCollectionItem<T>;
  }
  info.Properties = std::move(Properties);
  info.Methods = std::move(Methods);
  info.Fields = std::move(Fields);
  return info;
}

// ---- Looking up what a class publishes ----

// Every published property of the class, the inherited ones first, in declaration order; a
// property the class publishes again replaces the inherited one at its place.
std::vector<const TPropInfo*> GetPropList(TClass AClass);
// The property of that name (any case), or nil.
const TPropInfo* GetPropInfo(TClass AClass, std::string_view PropName);
const TPropInfo* GetPropInfo(const TObject* Instance, std::string_view PropName);

// The published method of that name (any case) bound to Instance; unassigned when none.
TMethod MethodAddress(TObject* Instance, std::string_view Name);
// The name under which Instance publishes Method; empty when none.
std::string MethodName(TObject* Instance, const TMethod& Method);
// The published field of that name (any case) in Instance's class or its parents, or nil.
const TFieldEntry* FindField(const TObject* Instance, std::string_view Name);

// Convenience for tests and tools.
int64_t GetOrdProp(TObject* Instance, std::string_view PropName);
void SetOrdProp(TObject* Instance, std::string_view PropName, int64_t Value);
std::string GetStrProp(TObject* Instance, std::string_view PropName);
void SetStrProp(TObject* Instance, std::string_view PropName, const std::string& Value);
TObject* GetObjectProp(TObject* Instance, std::string_view PropName);
