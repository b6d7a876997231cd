// The root of the class library: TObject with its class information, method pointers (events)
// and small sets. Kept apart from Classes.h so that streams and lists can derive from TObject
// without pulling in components.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

class TObject;
class TComponent;
class TCollection;
class TCollectionItem;
struct TPropInfo;
struct TMethodEntry;
struct TFieldEntry;

// What the class library knows about a class at run time: its name, its parent, how to make an
// instance by class reference (components from their owner, collection items from their
// collection), its published properties and methods, and the published fields through which a
// form reaches the components a stream creates for it (declared in TypInfo.h; each table holds
// only the class's own entries, the inherited ones live with the parent).
struct TClassInfo {
  std::string_view Name;
  const TClassInfo* Parent = nullptr;
  TComponent* (*NewComponent)(TComponent* AOwner) = nullptr;
  TCollectionItem* (*NewCollectionItem)(TCollection* ACollection) = nullptr;
  std::vector<TPropInfo> Properties;
  std::vector<TMethodEntry> Methods;
  std::vector<TFieldEntry> Fields;

  bool InheritsFrom(const TClassInfo* AClass) const;
};

// A class reference (the language's "class of TObject").
using TClass = const TClassInfo*;

// Declares the class information members of a class; its StaticClassInfo() is defined in the
// class's source file with DefineClass<...>() (TypInfo.h), which also lists what it publishes.
// Leaves the access at public.
#define ORVALIS_CLASS(Self, Parent)                                                   \
 public:                                                                              \
  using inherited = Parent;                                                           \
  static constexpr std::string_view StaticClassName = #Self;                          \
  static const TClassInfo& StaticClassInfo();                                         \
  const TClassInfo& ClassInfo() const override { return Self::StaticClassInfo(); }

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static constexpr std::string_view StaticClassName = "TObject";
  static const TClassInfo& StaticClassInfo();
  virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }

  TClass ClassType() const { return &ClassInfo(); }
  std::string ClassName() const { return std::string(ClassInfo().Name); }
  TClass ClassParent() const { return ClassInfo().Parent; }
  bool InheritsFrom(TClass AClass) const { return ClassInfo().InheritsFrom(AClass); }
  // The language's "is": an instance of AClass or of a class derived from it.
  template <class T>
  bool Is() const {
    return InheritsFrom(&T::StaticClassInfo());
  }

  // Destroys the object; objects are made with new, as every class of the library is.
  void Free() { delete this; }
};

// Frees the object (nothing for nil) and clears the reference.
template <class T>
void FreeAndNil(T*& object) {
  T* doomed = object;
  object = nullptr;
  delete doomed;
}

// ---- Method pointers ----

// A method bound to its object, as the stream and the published-method table carry it without
// knowing its parameters. Signature identifies the parameter list, so a method can only be put
// into an event of the same kind.
struct TMethod {
  using TCode = void (*)();
  TCode Code = nullptr;
  TObject* Data = nullptr;
  const std::type_info* Signature = nullptr;

  bool Assigned() const { return Code != nullptr; }
  friend bool operator==(const TMethod& a, const TMethod& b) {
    return a.Code == b.Code && a.Data == b.Data;
  }
};

// An event: a method of some object with the parameters Args. Two events are equal when they
// name the same method of the same object; a default event is unassigned. Make one with
// MakeEvent<&TForm1::Handler>(form).
template <class... Args>
class TEvent {
 public:
  using TThunk = void (*)(TObject*, Args...);

  TEvent() = default;
  TEvent(std::nullptr_t) {}
  TEvent(TObject* data, TThunk thunk) : FData(data), FThunk(thunk) {}

  explicit operator bool() const { return FThunk != nullptr; }
  bool Assigned() const { return FThunk != nullptr; }
  TObject* Data() const { return FData; }

  void operator()(Args... args) const { FThunk(FData, static_cast<Args>(args)...); }

  friend bool operator==(const TEvent& a, const TEvent& b) {
    return a.FThunk == b.FThunk && a.FData == b.FData;
  }

  static const std::type_info& Signature() { return typeid(TThunk); }
  TMethod Method() const {
    return {reinterpret_cast<TMethod::TCode>(FThunk), FData, &Signature()};
  }
  // The event for a method of the same kind; false when its parameters differ.
  static bool FromMethod(const TMethod& method, TEvent& event) {
    if (!method.Assigned()) {
      event = TEvent();
      return true;
    }
    if (method.Signature == nullptr || *method.Signature != Signature()) return false;
    event = TEvent(method.Data, reinterpret_cast<TThunk>(method.Code));
    return true;
  }

 private:
  TObject* FData = nullptr;
  TThunk FThunk = nullptr;
};

namespace event_detail {
template <class M>
struct MethodTraits;
template <class C, class... Args>
struct MethodTraits<void (C::*)(Args...)> {
  using Class = C;
  using Event = TEvent<Args...>;
  template <auto Method>
  static void Call(TObject* self, Args... args) {
    (static_cast<C*>(self)->*Method)(static_cast<Args>(args)...);
  }
};
}  // namespace event_detail

// The event calling Method on object; one thunk per method, so equal methods compare equal.
template <auto Method>
auto MakeEvent(typename event_detail::MethodTraits<decltype(Method)>::Class* object) {
  using Traits = event_detail::MethodTraits<decltype(Method)>;
  return typename Traits::Event(object, &Traits::template Call<Method>);
}

using TNotifyEvent = TEvent<TObject*>;

// ---- Sets ----

// A set of enumeration values with ordinals 0..63, bit n for the value of ordinal n.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> values) {
    for (E value : values) Include(value);
  }
  static constexpr TSet FromBits(uint64_t bits) {
    TSet set;
    set.FBits = bits;
    return set;
  }

  constexpr uint64_t Bits() const { return FBits; }
  constexpr bool Contains(E value) const { return (FBits & Bit(value)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr void Include(E value) { FBits |= Bit(value); }
  constexpr void Exclude(E value) { FBits &= ~Bit(value); }

  constexpr TSet operator+(TSet other) const { return FromBits(FBits | other.FBits); }
  constexpr TSet operator-(TSet other) const { return FromBits(FBits & ~other.FBits); }
  constexpr TSet operator*(TSet other) const { return FromBits(FBits & other.FBits); }
  constexpr bool operator==(const TSet&) const = default;

 private:
  static constexpr uint64_t Bit(E value) { return uint64_t{1} << static_cast<unsigned>(value); }
  uint64_t FBits = 0;
};
