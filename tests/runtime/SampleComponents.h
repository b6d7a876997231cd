// Components that publish one property of every kind the component stream knows, for the
// stream's tests and its fuzz target.
#pragma once

#include <string>
#include <vector>

#include "runtime/ComponentStream.h"

enum TSampleKind { skNone, skSmall, skLarge };
enum TSampleOption { soFast, soSafe, soLoud, soQuiet };
using TSampleOptions = TSet<TSampleOption>;

inline const TTypeInfo& EnumTypeInfo(TypeTag<TSampleKind>) {
  static const TTypeInfo info = MakeEnumTypeInfo("TSampleKind", {"skNone", "skSmall", "skLarge"});
  return info;
}
inline const TTypeInfo& EnumTypeInfo(TypeTag<TSampleOption>) {
  static const TTypeInfo info = MakeEnumTypeInfo("TSampleOption", {"soFast", "soSafe", "soLoud", "soQuiet"});
  return info;
}

// Names of the components whose Loaded ran, in order.
inline std::vector<std::string>& SampleLoadLog() {
  static std::vector<std::string> log;
  return log;
}

class TSampleComponent;

// A collection item with a nested collection of its own kind and a component reference.
class TSampleItem : public TCollectionItem {
  ORVALIS_CLASS(TSampleItem, TCollectionItem)

  explicit TSampleItem(TCollection* Collection)
      : TCollectionItem(Collection), FChildren(new TCollection(&StaticClassInfo())) {}
  ~TSampleItem() override { delete FChildren; }

  std::string FCaption;
  Integer FValue = 0;
  TSampleComponent* FLink = nullptr;
  TCollection* Children() const { return FChildren; }

 private:
  TCollection* FChildren;
};

// A nested object with a block of bytes it streams itself.
class TSampleNested : public TPersistent {
  ORVALIS_CLASS(TSampleNested, TPersistent)

  Integer FWidth = 640;
  Integer FHeight = 480;
  std::vector<uint8_t> FData;

  void DefineProperties(TFiler& Filer) override {
    Filer.DefineBinaryProperty(
        "Data",
        [this](TStream& Stream) {
          FData.assign(static_cast<size_t>(Stream.Size()), 0);
          Stream.ReadBuffer(FData.data(), static_cast<Integer>(FData.size()));
        },
        [this](TStream& Stream) { Stream.WriteBuffer(FData.data(), static_cast<Integer>(FData.size())); },
        !FData.empty());
  }
};

inline const TClassInfo& TSampleNested::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TSampleNested>({
      Property("Width", &TSampleNested::FWidth, &TSampleNested::FWidth).Default(640),
      Property("Height", &TSampleNested::FHeight, &TSampleNested::FHeight),
  });
  return info;
}

class TSampleComponent : public TComponent {
  ORVALIS_CLASS(TSampleComponent, TComponent)

  explicit TSampleComponent(TComponent* AOwner)
      : TComponent(AOwner), FItems(new TCollection(&TSampleItem::StaticClassInfo())), FNested(new TSampleNested) {}
  ~TSampleComponent() override {
    delete FItems;
    delete FNested;
  }

  Integer FCount = 0;
  int64_t FBig = 0;
  long double FRatio = 0;
  std::string FTitle;
  TSampleKind FKind = skNone;
  TSampleOptions FOptions;
  bool FEnabled = true;
  Integer FColor = 0;
  TSampleComponent* FBuddy = nullptr;
  TNotifyEvent FOnChange;
  std::vector<uint8_t> FBlob;
  // Whether a component was reading while its properties were set, seen by Loaded.
  bool FWasReading = false;

  TCollection* Items() const { return FItems; }
  TSampleNested* Nested() const { return FNested; }
  void SetBuddy(TSampleComponent* Value) {
    FWasReading = ComponentState().Contains(csReading);
    FBuddy = Value;
    if (Value) Value->FreeNotification(this);
  }

  void Loaded() override {
    TComponent::Loaded();
    SampleLoadLog().push_back(Name());
  }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FBuddy) FBuddy = nullptr;
  }

 protected:
  void DefineProperties(TFiler& Filer) override {
    TComponent::DefineProperties(Filer);
    Filer.DefineBinaryProperty(
        "Blob",
        [this](TStream& Stream) {
          FBlob.assign(static_cast<size_t>(Stream.Size()), 0);
          Stream.ReadBuffer(FBlob.data(), static_cast<Integer>(FBlob.size()));
        },
        [this](TStream& Stream) { Stream.WriteBuffer(FBlob.data(), static_cast<Integer>(FBlob.size())); },
        !FBlob.empty());
  }

 private:
  TCollection* FItems;
  TSampleNested* FNested;
};

inline const TClassInfo& TSampleComponent::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TSampleComponent>({
      Property("Count", &TSampleComponent::FCount, &TSampleComponent::FCount),
      Property("Big", &TSampleComponent::FBig, &TSampleComponent::FBig).Default(0),
      Property("Ratio", &TSampleComponent::FRatio, &TSampleComponent::FRatio),
      Property("Title", &TSampleComponent::FTitle, &TSampleComponent::FTitle),
      Property("Kind", &TSampleComponent::FKind, &TSampleComponent::FKind).Default(skNone),
      Property("Options", &TSampleComponent::FOptions, &TSampleComponent::FOptions),
      Property("Enabled", &TSampleComponent::FEnabled, &TSampleComponent::FEnabled).Default(true),
      Property("Color", ColorTypeInfo(), &TSampleComponent::FColor, &TSampleComponent::FColor).Default(0),
      Property("Buddy", &TSampleComponent::FBuddy, &TSampleComponent::SetBuddy),
      Property("Items", &TSampleComponent::Items, nullptr),
      Property("Nested", &TSampleComponent::Nested, nullptr),
      Property("OnChange", &TSampleComponent::FOnChange, &TSampleComponent::FOnChange),
  });
  return info;
}

inline const TClassInfo& TSampleItem::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TSampleItem>({
      Property("Caption", &TSampleItem::FCaption, &TSampleItem::FCaption),
      Property("Value", &TSampleItem::FValue, &TSampleItem::FValue).Default(0),
      Property("Children", &TSampleItem::Children, nullptr),
      Property("Link", &TSampleItem::FLink, &TSampleItem::FLink),
  });
  return info;
}

// A form-like root: publishes handlers for events and a field for its first component.
class TSampleForm : public TComponent {
  ORVALIS_CLASS(TSampleForm, TComponent)

  explicit TSampleForm(TComponent* AOwner) : TComponent(AOwner) {}

  TSampleComponent* First = nullptr;
  std::vector<TObject*> Clicks;
  void SampleClick(TObject* Sender) { Clicks.push_back(Sender); }
  void OtherClick(TObject*) {}
  void WrongKind(TObject*, Integer) {}

  void Loaded() override {
    TComponent::Loaded();
    SampleLoadLog().push_back(Name());
  }
};

inline const TClassInfo& TSampleForm::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TSampleForm>(
      {},
      {
          PublishedMethod<&TSampleForm::SampleClick>("SampleClick"),
          PublishedMethod<&TSampleForm::OtherClick>("OtherClick"),
          PublishedMethod<&TSampleForm::WrongKind>("WrongKind"),
      },
      {PublishedField("First", &TSampleForm::First)});
  return info;
}

inline void RegisterSampleClasses() {
  RegisterClasses({&TSampleComponent::StaticClassInfo(), &TSampleForm::StaticClassInfo()});
}
