#include "runtime/TypInfo.h"

#include <algorithm>

namespace {

bool SameIdent(std::string_view a, std::string_view b) { return AnsiUpperCase(a) == AnsiUpperCase(b); }

TTypeInfo MakeTypeInfo(TTypeKind kind, std::string name) {
  TTypeInfo info;
  info.Kind = kind;
  info.Name = std::move(name);
  return info;
}

// The colour names of TColor, as the stream writes them.
const std::vector<TIdentMapEntry> kColorIdents = {
    {0x00000000, "clBlack"},
    {0x00000080, "clMaroon"},
    {0x00008000, "clGreen"},
    {0x00008080, "clOlive"},
    {0x00800000, "clNavy"},
    {0x00800080, "clPurple"},
    {0x00808000, "clTeal"},
    {0x00808080, "clGray"},
    {0x00C0C0C0, "clSilver"},
    {0x000000FF, "clRed"},
    {0x0000FF00, "clLime"},
    {0x0000FFFF, "clYellow"},
    {0x00FF0000, "clBlue"},
    {0x00FF00FF, "clFuchsia"},
    {0x00FFFF00, "clAqua"},
    {0x00FFFFFF, "clWhite"},
    {0x00C0DCC0, "clMoneyGreen"},
    {0x00F0CAA6, "clSkyBlue"},
    {0x00F0FBFF, "clCream"},
    {0x00A4A0A0, "clMedGray"},
    {static_cast<Integer>(0x8000000A), "clActiveBorder"},
    {static_cast<Integer>(0x80000002), "clActiveCaption"},
    {static_cast<Integer>(0x8000000C), "clAppWorkSpace"},
    {static_cast<Integer>(0x80000001), "clBackground"},
    {static_cast<Integer>(0x8000000F), "clBtnFace"},
    {static_cast<Integer>(0x80000014), "clBtnHighlight"},
    {static_cast<Integer>(0x80000010), "clBtnShadow"},
    {static_cast<Integer>(0x80000012), "clBtnText"},
    {static_cast<Integer>(0x80000009), "clCaptionText"},
    {0x20000000, "clDefault"},
    {static_cast<Integer>(0x8000001B), "clGradientActiveCaption"},
    {static_cast<Integer>(0x8000001C), "clGradientInactiveCaption"},
    {static_cast<Integer>(0x80000011), "clGrayText"},
    {static_cast<Integer>(0x8000000D), "clHighlight"},
    {static_cast<Integer>(0x8000000E), "clHighlightText"},
    {static_cast<Integer>(0x8000000B), "clInactiveBorder"},
    {static_cast<Integer>(0x80000003), "clInactiveCaption"},
    {static_cast<Integer>(0x80000013), "clInactiveCaptionText"},
    {static_cast<Integer>(0x80000018), "clInfoBk"},
    {static_cast<Integer>(0x80000017), "clInfoText"},
    {static_cast<Integer>(0x80000004), "clMenu"},
    {static_cast<Integer>(0x80000007), "clMenuText"},
    {0x1FFFFFFF, "clNone"},
    {static_cast<Integer>(0x80000000), "clScrollBar"},
    {static_cast<Integer>(0x80000015), "cl3DDkShadow"},
    {static_cast<Integer>(0x80000016), "cl3DLight"},
    {static_cast<Integer>(0x80000005), "clWindow"},
    {static_cast<Integer>(0x80000006), "clWindowFrame"},
    {static_cast<Integer>(0x80000008), "clWindowText"},
};

const TPropInfo& RequireProp(TObject* instance, std::string_view name) {
  const TPropInfo* prop = GetPropInfo(instance, name);
  if (prop == nullptr) throw EConvertError(SUnknownProperty, {name});
  return *prop;
}

}  // namespace

bool TClassInfo::InheritsFrom(const TClassInfo* AClass) const {
  for (const TClassInfo* info = this; info != nullptr; info = info->Parent)
    if (info == AClass) return true;
  return false;
}

const TClassInfo& TObject::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo root;
    root.Name = StaticClassName;
    return root;
  }();
  return info;
}

Integer TTypeInfo::OrdinalOf(std::string_view name) const {
  for (size_t i = 0; i < Names.size(); ++i)
    if (SameIdent(Names[i], name)) return static_cast<Integer>(i);
  return -1;
}

const TTypeInfo& IntegerTypeInfo() {
  static const TTypeInfo info = MakeTypeInfo(tkInteger, "Integer");
  return info;
}

const TTypeInfo& Int64TypeInfo() {
  static const TTypeInfo info = MakeTypeInfo(tkInt64, "Int64");
  return info;
}

const TTypeInfo& BooleanTypeInfo() {
  static const TTypeInfo info = MakeEnumTypeInfo("Boolean", {"False", "True"});
  return info;
}

const TTypeInfo& EnumTypeInfo(TypeTag<bool>) { return BooleanTypeInfo(); }

const TTypeInfo& FloatTypeInfo() {
  static const TTypeInfo info = MakeTypeInfo(tkFloat, "Extended");
  return info;
}

const TTypeInfo& StringTypeInfo() {
  static const TTypeInfo info = MakeTypeInfo(tkString, "string");
  return info;
}

const TTypeInfo& ColorTypeInfo() {
  static const TTypeInfo info = [] {
    TTypeInfo color = MakeTypeInfo(tkInteger, "TColor");
    color.Idents = kColorIdents;
    return color;
  }();
  return info;
}

bool ColorToIdent(Integer Color, std::string& Ident) {
  for (const TIdentMapEntry& entry : kColorIdents)
    if (entry.Value == Color) {
      Ident = entry.Name;
      return true;
    }
  return false;
}

bool IdentToColor(std::string_view Ident, Integer& Color) {
  for (const TIdentMapEntry& entry : kColorIdents)
    if (SameIdent(entry.Name, Ident)) {
      Color = entry.Value;
      return true;
    }
  return false;
}

TTypeInfo MakeEnumTypeInfo(std::string Name, std::vector<std::string> Names) {
  TTypeInfo info = MakeTypeInfo(tkEnumeration, std::move(Name));
  info.Names = std::move(Names);
  return info;
}

void typinfo_detail::InvalidPropValue() { throw EInvalidCast(SInvalidCast); }

std::vector<const TPropInfo*> GetPropList(TClass AClass) {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* info = AClass; info != nullptr; info = info->Parent) chain.push_back(info);
  std::vector<const TPropInfo*> list;
  for (auto info = chain.rbegin(); info != chain.rend(); ++info) {
    for (const TPropInfo& prop : (*info)->Properties) {
      auto same = std::find_if(list.begin(), list.end(),
                               [&](const TPropInfo* p) { return SameIdent(p->Name, prop.Name); });
      if (same != list.end())
        *same = &prop;
      else
        list.push_back(&prop);
    }
  }
  return list;
}

const TPropInfo* GetPropInfo(TClass AClass, std::string_view PropName) {
  for (const TClassInfo* info = AClass; info != nullptr; info = info->Parent)
    for (const TPropInfo& prop : info->Properties)
      if (SameIdent(prop.Name, PropName)) return &prop;
  return nullptr;
}

const TPropInfo* GetPropInfo(const TObject* Instance, std::string_view PropName) {
  return GetPropInfo(Instance->ClassType(), PropName);
}

TMethod MethodAddress(TObject* Instance, std::string_view Name) {
  for (const TClassInfo* info = Instance->ClassType(); info != nullptr; info = info->Parent)
    for (const TMethodEntry& entry : info->Methods)
      if (SameIdent(entry.Name, Name)) return {entry.Code, Instance, entry.Signature};
  return {};
}

std::string MethodName(TObject* Instance, const TMethod& Method) {
  if (Method.Data != Instance) return "";
  for (const TClassInfo* info = Instance->ClassType(); info != nullptr; info = info->Parent)
    for (const TMethodEntry& entry : info->Methods)
      if (entry.Code == Method.Code) return entry.Name;
  return "";
}

const TFieldEntry* FindField(const TObject* Instance, std::string_view Name) {
  for (const TClassInfo* info = Instance->ClassType(); info != nullptr; info = info->Parent)
    for (const TFieldEntry& entry : info->Fields)
      if (SameIdent(entry.Name, Name)) return &entry;
  return nullptr;
}

int64_t GetOrdProp(TObject* Instance, std::string_view PropName) {
  return std::get<int64_t>(RequireProp(Instance, PropName).Get(Instance));
}

void SetOrdProp(TObject* Instance, std::string_view PropName, int64_t Value) {
  RequireProp(Instance, PropName).Set(Instance, Value);
}

std::string GetStrProp(TObject* Instance, std::string_view PropName) {
  return std::get<std::string>(RequireProp(Instance, PropName).Get(Instance));
}

void SetStrProp(TObject* Instance, std::string_view PropName, const std::string& Value) {
  RequireProp(Instance, PropName).Set(Instance, Value);
}

TObject* GetObjectProp(TObject* Instance, std::string_view PropName) {
  return std::get<TObject*>(RequireProp(Instance, PropName).Get(Instance));
}

// ---- Registry of classes by name ----

namespace {
std::vector<TClass>& RegisteredClasses() {
  static std::vector<TClass> classes;
  return classes;
}
}  // namespace

void RegisterClass(TClass AClass) {
  TClass known = GetClass(AClass->Name);
  if (known == AClass) return;
  if (known != nullptr) throw EFilerError(SDuplicateClass, {AClass->Name});
  RegisteredClasses().push_back(AClass);
}

void RegisterClasses(std::initializer_list<TClass> Classes) {
  for (TClass aClass : Classes) RegisterClass(aClass);
}

void UnRegisterClass(TClass AClass) {
  auto& classes = RegisteredClasses();
  classes.erase(std::remove(classes.begin(), classes.end(), AClass), classes.end());
}

TClass GetClass(std::string_view ClassName) {
  for (TClass aClass : RegisteredClasses())
    if (SameIdent(aClass->Name, ClassName)) return aClass;
  return nullptr;
}

TClass FindClass(std::string_view ClassName) {
  TClass found = GetClass(ClassName);
  if (found == nullptr) throw EClassNotFound(SClassNotFound, {ClassName});
  return found;
}

TComponent* CreateComponent(std::string_view ClassName, TComponent* AOwner) {
  TClass found = FindClass(ClassName);
  if (found->NewComponent == nullptr) throw EClassNotFound(SClassNotFound, {ClassName});
  return found->NewComponent(AOwner);
}
