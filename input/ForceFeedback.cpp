#include "input/ForceFeedback.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "dxbase/ScopeExit.h"
#include "input/DXInput.h"
#include "runtime/ComponentStream.h"
#include "runtime/Lists.h"

namespace {

constexpr Integer kMaxLevel = 10000;
constexpr Integer kEndless = -1;
constexpr DWORD kEndlessDuration = 0xFFFFFFFF;
constexpr DWORD kMicrosecondsPerMillisecond = 1000;
constexpr DWORD kEffectRecordSize = 56;
constexpr DWORD kEnvelopeSize = 20;
constexpr DWORD kAxisX = 0;
constexpr DWORD kAxisY = 4;
// Every parameter but the axes, which stay as the effect was made with.
constexpr DWORD kChangedParameters = DIEP_ALLPARAMS_DX5 & ~DIEP_AXES;

// The stored block's resource name and the name its streaming component carries.
constexpr const char* kResourceName = "QuorvexForceFeedbackEffect";
constexpr const char* kStreamedComponentName = "_1";

DWORD Microseconds(Integer milliseconds) {
  return static_cast<DWORD>(milliseconds) * kMicrosecondsPerMillisecond;
}

TPoint ClampPoint(TPoint value) {
  return {std::clamp<LONG>(value.x, -kMaxLevel, kMaxLevel),
          std::clamp<LONG>(value.y, -kMaxLevel, kMaxLevel)};
}

}  // namespace

const TTypeInfo& EnumTypeInfo(TypeTag<TForceFeedbackEffectType>) {
  static const TTypeInfo info = MakeEnumTypeInfo(
      "TForceFeedbackEffectType", {"etNone", "etConstantForce", "etPeriodic", "etCondition"});
  return info;
}

// ---- TForceFeedbackEffect ----

const TClassInfo& TForceFeedbackEffect::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TForceFeedbackEffect>();
  return info;
}

TForceFeedbackEffect::TForceFeedbackEffect(TForceFeedbackEffect* Parent) : FParent(Parent) {
  if (FParent == nullptr) {
    FName = "Effects";
    return;
  }
  FRoot = FParent->FRoot;
  FParent->FChildren.push_back(this);
}

TForceFeedbackEffect::~TForceFeedbackEffect() {
  Clear();
  if (FParent) RemoveFromBack(FParent->FChildren, this);
}

void TForceFeedbackEffect::Clear() {
  while (!FChildren.empty()) delete FChildren.back();
}

TForceFeedbackEffect* TForceFeedbackEffect::Items(Integer Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(SListIndexError, {Index});
  return FChildren[Index];
}

bool TForceFeedbackEffect::Contains(const TForceFeedbackEffect* Node) const {
  for (; Node; Node = Node->FParent)
    if (Node == this) return true;
  return false;
}

void TForceFeedbackEffect::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TForceFeedbackEffect*>(Source);
  if (source == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  if (source == this) return;
  if (Contains(source) || source->Contains(this)) {
    // Clearing this node would free a source inside it, and copying an ancestor into its own
    // descendant would never end: copy by way of a tree of its own.
    TForceFeedbackEffects copy(nullptr);
    copy.Assign(source);
    Assign(&copy);
    return;
  }
  Clear();
  SetEffectType(etNone);
  SetName(source->Name());
  SetAttackLevel(source->AttackLevel());
  SetAttackTime(source->AttackTime());
  SetConstant(source->Constant());
  SetCondition(source->Condition());
  SetEffectType(source->EffectType());
  SetFadeLevel(source->FadeLevel());
  SetFadeTime(source->FadeTime());
  SetPeriod(source->Period());
  SetPower(source->Power());
  SetTime(source->Time());
  SetStartDelayTime(source->StartDelayTime());
  SetEffectType(source->EffectType());
  for (TForceFeedbackEffect* child : source->FChildren) (new TForceFeedbackEffect(this))->Assign(child);
}

TCustomInput* TForceFeedbackEffect::Input() const { return FRoot ? FRoot->Input() : nullptr; }

// ---- Life of the DirectInput effects ----

void TForceFeedbackEffect::Initialize() {
  CreateEffect();
  for (TForceFeedbackEffect* child : FChildren) child->Initialize();
}

void TForceFeedbackEffect::Finalize() {
  ScopeExit finalizeChildren([this] {
    for (TForceFeedbackEffect* child : FChildren) child->Finalize();
  });
  Stop();
  ReleaseEffects();
}

void TForceFeedbackEffect::Acquire() {
  if (Playing() && FTime == kEndless) Start();
  for (TForceFeedbackEffect* child : FChildren) child->Initialize();
}

void TForceFeedbackEffect::Start() {
  for (TForceFeedbackEffect* child : FChildren) child->Start();
  if (!HasAnyEffect()) CreateEffect();
  if (!HasAnyEffect()) return;
  StartObject(FObject1);
  StartObject(FObject2);
  FPlaying = true;
}

void TForceFeedbackEffect::StartObject(TForceFeedbackEffectObject& Object) {
  if (!Object.Interface) return;
  const HRESULT result = Object.Interface->Start(1, 0);
  if (result != DIERR_INPUTLOST && result != DIERR_NOTACQUIRED) return;
  if (TCustomInput* input = Input()) input->Acquire();
  // Acquiring makes the children's effects anew, so the effect may be another one now, or none.
  if (Object.Interface) Object.Interface->Start(1, 0);
}

void TForceFeedbackEffect::Stop() {
  if (Playing()) {
    FPlaying = false;
    for (TForceFeedbackEffectObject* object : {&FObject1, &FObject2})
      if (object->Interface) object->Interface->Stop();
  }
  for (TForceFeedbackEffect* child : FChildren) child->Stop();
}

bool TForceFeedbackEffect::Playing() {
  if (!FPlaying) return false;
  if (FTime == kEndless) return true;
  for (TForceFeedbackEffectObject* object : {&FObject1, &FObject2}) {
    DWORD status = 0;
    if (object->Interface && object->Interface->GetEffectStatus(&status) == DI_OK &&
        (status & DIEGES_PLAYING))
      return true;
  }
  FPlaying = false;
  return false;
}

bool TForceFeedbackEffect::HasAnyEffect() const { return FObject1.Interface || FObject2.Interface; }

bool TForceFeedbackEffect::HasInterface() const { return FEffectType != etNone && HasAnyEffect(); }

void TForceFeedbackEffect::ReleaseEffects() {
  FObject1.Interface.Reset();
  FObject2.Interface.Reset();
}

BOOL TForceFeedbackEffect::EnumEffectCallback(const DIEFFECTINFO* Effect, void* Context) {
  auto* self = static_cast<TForceFeedbackEffect*>(Context);
  self->FEffectGuid = Effect->guid;
  self->FEffectFound = true;
  return DIENUM_STOP;
}

void TForceFeedbackEffect::CreateEffect() {
  ReleaseEffects();
  TCustomInput* input = Input();
  if (input == nullptr || input->Device2() == nullptr || !input->ForceFeedbackDevice() ||
      !input->ForceFeedback() || FEffectType == etNone)
    return;
  MakeEffect();
  IDirectInputDevice2* device = input->Device2();
  if (FEffectType == etConstantForce) {
    device->CreateEffect(GUID_ConstantForce, &FObject1.Effect,
                         FObject1.Interface.ReleaseAndGetAddressOf(), nullptr);
  } else if (FEffectType == etPeriodic || FEffectType == etCondition) {
    // The first effect of the kind the device offers.
    FEffectFound = false;
    device->EnumEffects(&TForceFeedbackEffect::EnumEffectCallback, this,
                        FEffectType == etPeriodic ? DIEFT_PERIODIC : DIEFT_CONDITION);
    if (FEffectFound)
      for (TForceFeedbackEffectObject* object : {&FObject1, &FObject2})
        if (object->Effect.dwSize != 0)
          device->CreateEffect(FEffectGuid, &object->Effect,
                               object->Interface.ReleaseAndGetAddressOf(), nullptr);
  }
  // Only an effect that was made can go on playing; starting nothing would come back here.
  if (HasAnyEffect() && Playing() && FTime == kEndless) Start();
}

void TForceFeedbackEffect::ApplyParameters() {
  if (!HasInterface()) return;
  MakeEffect();
  const DWORD flags = kChangedParameters | (Playing() ? DIEP_START : 0);
  for (TForceFeedbackEffectObject* object : {&FObject1, &FObject2})
    if (object->Interface) object->Interface->SetParameters(&object->Effect, flags);
}

void TForceFeedbackEffect::MakeEffect() {
  FObject1.Effect = {};
  FObject2.Effect = {};
  const auto magnitude = static_cast<LONG>(
      Round(std::sqrt(static_cast<Extended>(FConstant.x) * FConstant.x +
                      static_cast<Extended>(FConstant.y) * FConstant.y)));
  switch (FEffectType) {
    case etConstantForce:
    case etPeriodic:
      FObject1.Axes[0] = kAxisX;
      FObject1.Axes[1] = kAxisY;
      FObject1.Directions[0] = -FConstant.x;
      FObject1.Directions[1] = -FConstant.y;
      if (FEffectType == etConstantForce) {
        FObject1.TypeSpecific.Constant = {magnitude};
        FillEffect(FObject1, 2, sizeof(DICONSTANTFORCE));
      } else {
        FObject1.TypeSpecific.Periodic = {static_cast<DWORD>(magnitude), 0, 0, Microseconds(FPeriod)};
        FillEffect(FObject1, 2, sizeof(DIPERIODIC));
      }
      break;
    case etCondition: {
      // One condition per axis, each with its own effect.
      const LONG offsets[2] = {FConstant.x, FConstant.y};
      const LONG coefficients[2] = {FCondition.x, FCondition.y};
      TForceFeedbackEffectObject* objects[2] = {&FObject1, &FObject2};
      for (Integer axis = 0; axis < 2; ++axis) {
        TForceFeedbackEffectObject& object = *objects[axis];
        object.Axes[0] = axis == 0 ? kAxisX : kAxisY;
        object.Directions[0] = object.Directions[1] = 0;
        object.TypeSpecific.Condition = {offsets[axis], coefficients[axis], -coefficients[axis], 0, 0, 0};
        FillEffect(object, 1, sizeof(DICONDITION));
      }
      break;
    }
    case etNone:
      break;
  }
}

void TForceFeedbackEffect::FillEffect(TForceFeedbackEffectObject& Object, DWORD AxesCount,
                                      DWORD TypeSpecificSize) {
  Object.AxesCount = AxesCount;
  const bool endless = FTime < 0;
  // Attack and fade fit within the effect's own time.
  const Integer attackTime = endless ? FAttackTime : std::min(FAttackTime, FTime);
  Object.Envelope = {kEnvelopeSize, static_cast<DWORD>(FAttackLevel), Microseconds(attackTime),
                     endless ? 0 : static_cast<DWORD>(FFadeLevel),
                     endless ? 0 : Microseconds(std::min(FFadeTime, FTime))};
  DIEFFECT& effect = Object.Effect;
  effect.dwSize = kEffectRecordSize;
  effect.dwFlags = DIEFF_OBJECTOFFSETS | DIEFF_CARTESIAN;
  effect.dwDuration = FTime == kEndless ? kEndlessDuration : Microseconds(FTime);
  effect.dwSamplePeriod = 0;
  effect.dwGain = static_cast<DWORD>(FPower);
  effect.dwTriggerButton = DIEB_NOTRIGGER;
  effect.dwTriggerRepeatInterval = 0;
  effect.cAxes = AxesCount;
  effect.rgdwAxes = Object.Axes;
  effect.rglDirection = Object.Directions;
  effect.lpEnvelope = &Object.Envelope;
  effect.cbTypeSpecificParams = TypeSpecificSize;
  effect.lpvTypeSpecificParams = &Object.TypeSpecific;
}

// ---- Writers ----

bool TForceFeedbackEffect::Store(Integer& Field, Integer Value) {
  if (Field == Value) return false;
  Field = Value;
  return true;
}

void TForceFeedbackEffect::SetAttackLevel(Integer Value) {
  if (Store(FAttackLevel, std::clamp(Value, 0, kMaxLevel))) ApplyParameters();
}

void TForceFeedbackEffect::SetAttackTime(Integer Value) {
  if (Store(FAttackTime, std::max(Value, 0))) ApplyParameters();
}

void TForceFeedbackEffect::SetFadeLevel(Integer Value) {
  if (Store(FFadeLevel, std::clamp(Value, 0, kMaxLevel))) ApplyParameters();
}

void TForceFeedbackEffect::SetFadeTime(Integer Value) {
  if (Store(FFadeTime, std::max(Value, 0))) ApplyParameters();
}

void TForceFeedbackEffect::SetPeriod(Integer Value) {
  if (Store(FPeriod, std::max(Value, 0))) ApplyParameters();
}

void TForceFeedbackEffect::SetPower(Integer Value) {
  if (Store(FPower, std::clamp(Value, 0, kMaxLevel))) ApplyParameters();
}

void TForceFeedbackEffect::SetCondition(TPoint Value) {
  Value = ClampPoint(Value);
  if (Value.x == FCondition.x && Value.y == FCondition.y) return;
  FCondition = Value;
  ApplyParameters();
}

void TForceFeedbackEffect::SetConstant(TPoint Value) {
  Value = ClampPoint(Value);
  if (Value.x == FConstant.x && Value.y == FConstant.y) return;
  FConstant = Value;
  ApplyParameters();
}

void TForceFeedbackEffect::SetEffectType(TForceFeedbackEffectType Value) {
  if (FEffectType == Value) return;
  FEffectType = Value;
  Stop();
  CreateEffect();
}

void TForceFeedbackEffect::SetTime(Integer Value) {
  if (Value < 0 && Value != kEndless) Value = 0;
  if (!Store(FTime, Value)) return;
  Stop();
  ApplyParameters();
}

void TForceFeedbackEffect::SetStartDelayTime(Integer Value) {
  if (!Store(FStartDelayTime, std::max(Value, 0))) return;
  Stop();
  ApplyParameters();
}

// ---- TForceFeedbackEffects ----

const TClassInfo& TForceFeedbackEffects::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TForceFeedbackEffects>();
  return info;
}

TForceFeedbackEffects::TForceFeedbackEffects(TCustomInput* Input)
    : TForceFeedbackEffect(nullptr),
      FComponent(new TForceFeedbackEffectComponent(nullptr)),
      FInput(Input) {
  FRoot = this;
}

TForceFeedbackEffects::~TForceFeedbackEffects() { delete FComponent; }

void TForceFeedbackEffects::DefineProperties(TFiler& Filer) {
  TForceFeedbackEffect::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "Effects", [this](TStream& stream) { ReadEffects(stream); },
      [this](TStream& stream) { WriteEffects(stream); }, true);
}

void TForceFeedbackEffects::ReadEffects(TStream& Stream) {
  Clear();
  std::unique_ptr<TCollection> collection(
      new TCollection(&TForceFeedbackEffectItem::StaticClassInfo()));
  FComponent->SetEffects(collection.get());
  ScopeExit detach([this] {
    FComponent->SetEffects(nullptr);
    // Components a stream brings along belong to no tree.
    FComponent->DestroyComponents();
  });
  ReadComponentRes(Stream, FComponent);
  // The stored root; a block without one raises the list's index error.
  Assign(collection->Items(0));
}

void TForceFeedbackEffects::WriteEffects(TStream& Stream) {
  std::unique_ptr<TCollection> collection(
      new TCollection(&TForceFeedbackEffectItem::StaticClassInfo()));
  FComponent->SetEffects(collection.get());
  ScopeExit detach([this] { FComponent->SetEffects(nullptr); });
  collection->Add()->Assign(this);
  FComponent->SetName(kStreamedComponentName);
  WriteComponentRes(Stream, kResourceName, FComponent);
}

// ---- Streaming classes ----

const TClassInfo& TForceFeedbackEffectItem::StaticClassInfo() {
  using Item = TForceFeedbackEffectItem;
  static const TClassInfo info = DefineClass<Item>({
      Property("Name", &Item::Name, &Item::Name),
      Property("EffectType", &Item::EffectType, &Item::EffectType),
      Property("AttackLevel", &Item::AttackLevel, &Item::AttackLevel).Default(0),
      Property("AttackTime", &Item::AttackTime, &Item::AttackTime).Default(0),
      Property("ConditionX", &Item::ConditionX, &Item::ConditionX).Default(0),
      Property("ConditionY", &Item::ConditionY, &Item::ConditionY).Default(0),
      Property("ConstantX", &Item::ConstantX, &Item::ConstantX).Default(0),
      Property("ConstantY", &Item::ConstantY, &Item::ConstantY).Default(0),
      Property("FadeLevel", &Item::FadeLevel, &Item::FadeLevel).Default(0),
      Property("FadeTime", &Item::FadeTime, &Item::FadeTime).Default(0),
      Property("Period", &Item::Period, &Item::Period),
      Property("Power", &Item::Power, &Item::Power),
      Property("Time", &Item::Time, &Item::Time),
      Property("StartDelayTime", &Item::StartDelayTime, &Item::StartDelayTime),
      Property("Effects", &Item::Effects, nullptr),
  });
  return info;
}

TForceFeedbackEffectItem::TForceFeedbackEffectItem(TCollection* Collection)
    : TCollectionItem(Collection),
      FEffects(new TCollection(&TForceFeedbackEffectItem::StaticClassInfo())) {}

TForceFeedbackEffectItem::~TForceFeedbackEffectItem() { delete FEffects; }

void TForceFeedbackEffectItem::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TForceFeedbackEffect*>(Source);
  if (source == nullptr) throw EInvalidCast(SInvalidCast);
  Name = source->Name();
  EffectType = source->EffectType();
  AttackLevel = source->AttackLevel();
  AttackTime = source->AttackTime();
  ConditionX = source->Condition().x;
  ConditionY = source->Condition().y;
  ConstantX = source->Constant().x;
  ConstantY = source->Constant().y;
  FadeLevel = source->FadeLevel();
  FadeTime = source->FadeTime();
  Period = source->Period();
  Power = source->Power();
  Time = source->Time();
  StartDelayTime = source->StartDelayTime();
  for (Integer i = 0; i < source->Count(); ++i) FEffects->Add()->Assign(source->Items(i));
}

void TForceFeedbackEffectItem::AssignTo(TPersistent* Dest) {
  auto* dest = dynamic_cast<TForceFeedbackEffect*>(Dest);
  if (dest == nullptr) {
    TCollectionItem::AssignTo(Dest);
    return;
  }
  dest->SetEffectType(etNone);
  dest->SetName(Name);
  dest->SetAttackLevel(AttackLevel);
  dest->SetAttackTime(AttackTime);
  dest->SetCondition({ConditionX, ConditionY});
  dest->SetConstant({ConstantX, ConstantY});
  dest->SetFadeLevel(FadeLevel);
  dest->SetFadeTime(FadeTime);
  dest->SetPeriod(Period);
  dest->SetPower(Power);
  dest->SetTime(Time);
  dest->SetStartDelayTime(StartDelayTime);
  dest->SetEffectType(EffectType);
  for (Integer i = 0; i < FEffects->Count(); ++i) (new TForceFeedbackEffect(dest))->Assign(FEffects->Items(i));
}

const TClassInfo& TForceFeedbackEffectComponent::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TForceFeedbackEffectComponent>({
      Property("Effects", &TForceFeedbackEffectComponent::Effects, nullptr),
  });
  return info;
}
