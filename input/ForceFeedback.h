// Force-feedback effects: every input device owns a tree of them. Each node describes one
// DirectInput effect (constant force, periodic or condition) with its levels and times and may
// hold child effects. The tree makes its effects when the device is initialised, starts and stops
// them, restarts endless ones when the device is acquired again and sends changed settings to
// the device at once. It is stored as one binary block "Effects": a component resource holding a
// streaming component whose collection mirrors the tree.
#pragma once

#include <string>
#include <vector>

#include "platform/dinput/DInput.h"
#include "platform/kernel/ComPtr.h"
#include "runtime/Classes.h"
#include "runtime/Graphics.h"
#include "runtime/TypInfo.h"

class TCustomInput;
class TForceFeedbackEffects;

enum TForceFeedbackEffectType { etNone, etConstantForce, etPeriodic, etCondition };
const TTypeInfo& EnumTypeInfo(TypeTag<TForceFeedbackEffectType>);

// One DirectInput effect as the device takes it: the parameter record and everything it points
// at, and the effect made from it.
class TForceFeedbackEffectObject : public TObject {
 public:
  DWORD AxesCount = 0;
  DWORD Axes[2] = {};
  LONG Directions[2] = {};
  DIENVELOPE Envelope{};
  union {
    DICONSTANTFORCE Constant;
    DIPERIODIC Periodic;
    DICONDITION Condition;
  } TypeSpecific{};
  DIEFFECT Effect{};
  ComPtr<IDirectInputEffect> Interface;
};

class TForceFeedbackEffect : public TPersistent {
  ORVALIS_CLASS(TForceFeedbackEffect, TPersistent)

  // A child of Parent, appended to its children; without a parent a free-standing node named
  // "Effects" that belongs to no device.
  explicit TForceFeedbackEffect(TForceFeedbackEffect* Parent);
  ~TForceFeedbackEffect() override;

  // From another effect, with its whole subtree; anything else raises the assignment error.
  void Assign(TPersistent* Source) override;

  // Frees the children, the last first.
  void Clear();
  Integer Count() const { return static_cast<Integer>(FChildren.size()); }
  // Raises EListError outside 0..Count-1.
  TForceFeedbackEffect* Items(Integer Index) const;
  TForceFeedbackEffect* Parent() const { return FParent; }
  TForceFeedbackEffects* Root() const { return FRoot; }

  void Initialize();
  void Finalize();
  // The device was acquired again: an endless effect that was playing starts again.
  void Acquire();
  void Start();
  void Stop();
  // Started and not seen to have ended; endless effects play until stopped.
  bool Playing();
  bool HasInterface() const;

  Integer AttackLevel() const { return FAttackLevel; }
  void SetAttackLevel(Integer Value);
  Integer AttackTime() const { return FAttackTime; }
  void SetAttackTime(Integer Value);
  TPoint Condition() const { return FCondition; }
  void SetCondition(TPoint Value);
  TPoint Constant() const { return FConstant; }
  void SetConstant(TPoint Value);
  TForceFeedbackEffectType EffectType() const { return FEffectType; }
  void SetEffectType(TForceFeedbackEffectType Value);
  Integer FadeLevel() const { return FFadeLevel; }
  void SetFadeLevel(Integer Value);
  Integer FadeTime() const { return FFadeTime; }
  void SetFadeTime(Integer Value);
  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value) { FName = Value; }
  Integer Period() const { return FPeriod; }
  void SetPeriod(Integer Value);
  Integer Power() const { return FPower; }
  void SetPower(Integer Value);
  // Milliseconds, or -1 for endless.
  Integer Time() const { return FTime; }
  void SetTime(Integer Value);
  // Kept and copied, never sent to the device.
  Integer StartDelayTime() const { return FStartDelayTime; }
  void SetStartDelayTime(Integer Value);

 protected:
  // The parent, for name paths.
  TPersistent* GetOwner() override { return FParent; }

  // Nil for a free-standing node; a root sets itself once it is made.
  TForceFeedbackEffects* FRoot = nullptr;

 private:
  static BOOL EnumEffectCallback(const DIEFFECTINFO* Effect, void* Context);
  TCustomInput* Input() const;
  void CreateEffect();
  void ApplyParameters();
  // Fills the objects' records from the settings.
  void MakeEffect();
  void FillEffect(TForceFeedbackEffectObject& Object, DWORD AxesCount, DWORD TypeSpecificSize);
  void ReleaseEffects();
  bool HasAnyEffect() const;
  void StartObject(TForceFeedbackEffectObject& Object);
  // Node lies in this node's subtree (or is this node).
  bool Contains(const TForceFeedbackEffect* Node) const;
  // Stores Value in Field when it differs; true when it did.
  static bool Store(Integer& Field, Integer Value);

  TForceFeedbackEffect* FParent = nullptr;
  std::vector<TForceFeedbackEffect*> FChildren;
  Integer FAttackLevel = 0;
  Integer FAttackTime = 0;
  TPoint FCondition{0, 0};
  TPoint FConstant{0, 0};
  TForceFeedbackEffectType FEffectType = etNone;
  Integer FFadeLevel = 0;
  Integer FFadeTime = 0;
  std::string FName;
  Integer FPeriod = 50;
  bool FPlaying = false;
  Integer FPower = 10000;
  Integer FTime = 1000;
  Integer FStartDelayTime = 0;
  TForceFeedbackEffectObject FObject1;
  TForceFeedbackEffectObject FObject2;
  bool FEffectFound = false;
  GUID FEffectGuid{};
};

class TForceFeedbackEffectComponent;

// The root of a device's tree, named "Effects"; Input may be nil for a free-standing tree.
class TForceFeedbackEffects : public TForceFeedbackEffect {
  ORVALIS_CLASS(TForceFeedbackEffects, TForceFeedbackEffect)

  explicit TForceFeedbackEffects(TCustomInput* Input);
  ~TForceFeedbackEffects() override;

  TCustomInput* Input() const { return FInput; }
  // The binary block "Effects", always written.
  void DefineProperties(TFiler& Filer) override;

  // Replaces the tree with the one a stored block holds. A block without a root raises the
  // list's index error; a malformed one the component stream's errors.
  void ReadEffects(TStream& Stream);
  // The stored block: a component resource "QUORVEXFORCEFEEDBACKEFFECT" whose streaming
  // component holds the tree as one item with nested items.
  void WriteEffects(TStream& Stream);

 private:

  TForceFeedbackEffectComponent* FComponent;
  TCustomInput* FInput;
};

// One node of a tree as the component stream sees it, with its children as nested items.
class TForceFeedbackEffectItem : public TCollectionItem {
  ORVALIS_CLASS(TForceFeedbackEffectItem, TCollectionItem)

  explicit TForceFeedbackEffectItem(TCollection* Collection);
  ~TForceFeedbackEffectItem() override;

  // From a TForceFeedbackEffect with its children; anything else raises EInvalidCast.
  void Assign(TPersistent* Source) override;

  TCollection* Effects() const { return FEffects; }

  std::string Name;
  TForceFeedbackEffectType EffectType = etNone;
  Integer AttackLevel = 0;
  Integer AttackTime = 0;
  Integer ConditionX = 0;
  Integer ConditionY = 0;
  Integer ConstantX = 0;
  Integer ConstantY = 0;
  Integer FadeLevel = 0;
  Integer FadeTime = 0;
  Integer Period = 0;
  Integer Power = 0;
  Integer Time = 0;
  Integer StartDelayTime = 0;

 protected:
  // Into a TForceFeedbackEffect, through its writers, adding a child per nested item.
  void AssignTo(TPersistent* Dest) override;

 private:
  TCollection* FEffects;
};

// The component the stored block holds: its one collection carries the tree.
class TForceFeedbackEffectComponent : public TComponent {
  ORVALIS_CLASS(TForceFeedbackEffectComponent, TComponent)

  using TComponent::TComponent;

  TCollection* Effects() const { return FEffects; }
  void SetEffects(TCollection* Value) { FEffects = Value; }

 private:
  TCollection* FEffects = nullptr;
};
