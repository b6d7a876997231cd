// The component class library: persistent objects, components with owners and names,
// collections of items, and the registry of component classes by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Object.h"
#include "runtime/SysUtils.h"

class TFiler;

inline constexpr const char* SAssignError = "%s kann nicht zu %s zugewiesen werden";
inline constexpr const char* SInvalidName = "''%s'' ist kein gültiger Komponentenname";
inline constexpr const char* SDuplicateName = "Eine Komponente mit der Bezeichnung %s existiert bereits";
inline constexpr const char* SClassNotFound = "Klasse %s nicht gefunden";
inline constexpr const char* SDuplicateClass = "Eine Klasse mit der Bezeichnung %s existiert bereits";

// A name the language accepts as an identifier: a letter or "_", then letters, digits or "_".
bool IsValidIdent(std::string_view name);

// ---- TPersistent ----

class TPersistent : public TObject {
  ORVALIS_CLASS(TPersistent, TObject)

  // Copies Source into this object; Source decides through AssignTo when this class does not
  // know it. Classes that can copy override it and call the inherited one for other sources.
  virtual void Assign(TPersistent* Source);
  // The path by which designers and the sprite renderer name this object ("List.Items[3]").
  virtual std::string GetNamePath();
  // Streamed values that are not published properties ("ColorTable", "Effects", ...).
  virtual void DefineProperties(TFiler& Filer);

 protected:
  virtual void AssignTo(TPersistent* Dest);
  // The object this one belongs to for name paths; nil for a free-standing one.
  virtual TPersistent* GetOwner() { return nullptr; }
  [[noreturn]] void AssignError(TPersistent* Source);
};

// ---- TComponent ----

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag {
  csLoading,
  csReading,
  csWriting,
  csDestroying,
  csDesigning,
  csAncestor,
  csUpdating,
  csFixups,
  csFreeNotification,
  csInline,
  csDesignInstance
};
using TComponentState = TSet<TComponentStateFlag>;

class TComponent : public TPersistent {
  ORVALIS_CLASS(TComponent, TPersistent)

  // The component joins AOwner's Components (when given), which frees it with itself.
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return FOwner; }
  Integer ComponentCount() const { return static_cast<Integer>(FComponents.size()); }
  // Raises EListError for an index outside 0..ComponentCount-1.
  TComponent* Components(Integer Index) const;
  Integer ComponentIndex() const;
  // The owned component of that name, compared without regard to case; nil if none.
  TComponent* FindComponent(std::string_view AName) const;

  const std::string& Name() const { return FName; }
  // Empty or an identifier unique among the owner's components (case ignored).
  virtual void SetName(const std::string& NewName);
  Integer Tag() const { return FTag; }
  void SetTag(Integer Value) { FTag = Value; }

  TComponentState ComponentState() const { return FComponentState; }
  void SetDesigning(bool Value);

  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, the last created first.
  void DestroyComponents();
  // Marks this component and everything it owns as being destroyed.
  void Destroying();

  // Asks AComponent to tell this one, through Notification(.., opRemove), when it is freed;
  // siblings of one owner are told by the owner anyway.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  std::string GetNamePath() override { return FName; }

  // Stream reading brackets: the reader sets these around the read and calls Loaded after it.
  void SetLoading(bool Value);
  void SetReading(bool Value);
  virtual void Loaded();

  // Told of every component inserted into or removed from this one's owner tree, and of freed
  // components it asked FreeNotification for.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

 protected:
  TPersistent* GetOwner() override { return FOwner; }
  virtual void ValidateRename(TComponent* AComponent, const std::string& CurName,
                              const std::string& NewName);
  void DefineProperties(TFiler& Filer) override;

  TComponentState FComponentState;

 private:
  TComponent* FOwner = nullptr;
  std::string FName;
  Integer FTag = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  Integer FDesignLeft = 0;
  Integer FDesignTop = 0;
};

using TComponentClass = TClass;

// ---- Collections ----

class TCollectionItem : public TPersistent {
  ORVALIS_CLASS(TCollectionItem, TPersistent)

  // The item is appended to Collection (when given), which owns it from then on.
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;

  TCollection* Collection() const { return FCollection; }
  // Moves the item to another collection (nil: none); the new one owns it.
  virtual void SetCollection(TCollection* Value);
  // A number unique within the collection for the collection's lifetime.
  Integer ID() const { return FID; }
  Integer Index() const;
  void SetIndex(Integer Value);
  std::string DisplayName() { return GetDisplayName(); }
  virtual void SetDisplayName(const std::string& Value);
  // "<collection's path>[<index>]", e.g. "ImageList1.Items[3]".
  std::string GetNamePath() override;

 protected:
  // The class name unless a descendant knows better.
  virtual std::string GetDisplayName();
  TPersistent* GetOwner() override;
  // Tells the collection this item (or, with AllItems, the whole collection) changed.
  void Changed(bool AllItems);

 private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  Integer FID = 0;
};

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollection : public TPersistent {
  ORVALIS_CLASS(TCollection, TPersistent)

  // ItemClass must have been declared with DefineClass so that Add can make items.
  explicit TCollection(TClass ItemClass);
  ~TCollection() override;

  TCollectionItem* Add();
  TCollectionItem* Insert(Integer Index);
  void Clear();
  void Delete(Integer Index);
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  // Raises EListError "Listenindex überschreitet das Maximum (%d)" outside 0..Count-1.
  TCollectionItem* Items(Integer Index) const;
  TCollectionItem* FindItemID(Integer ID) const;
  TClass ItemClass() const { return FItemClass; }

  void Assign(TPersistent* Source) override;
  virtual void BeginUpdate();
  virtual void EndUpdate();
  Integer UpdateCount() const { return FUpdateCount; }
  // "<owner's path>.<property holding this collection>", or the class name when there is no
  // such owner.
  std::string GetNamePath() override;

 protected:
  // Called after changes while no update is pending; Item nil means the whole collection.
  virtual void Update(TCollectionItem* Item);
  virtual void Notify(TCollectionItem* Item, TCollectionNotification Action);
  void Changed();
  // The name of the owner's published property that holds this collection; empty if none.
  std::string PropName();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item);

  TClass FItemClass;
  std::vector<TCollectionItem*> FItems;
  Integer FUpdateCount = 0;
  Integer FNextID = 0;
};

// A collection that belongs to another object, for name paths.
class TOwnedCollection : public TCollection {
  ORVALIS_CLASS(TOwnedCollection, TCollection)

  TOwnedCollection(TPersistent* AOwner, TClass ItemClass)
      : TCollection(ItemClass), FOwner(AOwner) {}

 protected:
  TPersistent* GetOwner() override { return FOwner; }

 private:
  TPersistent* FOwner;
};

// ---- Registry of classes by name ----

// Registers a class so that streams can create it by name; registering the same class again
// does nothing, another class under a registered name raises EFilerError.
void RegisterClass(TClass AClass);
void RegisterClasses(std::initializer_list<TClass> Classes);
void UnRegisterClass(TClass AClass);
// The registered class of that name (case ignored), or nil.
TClass GetClass(std::string_view ClassName);
// As GetClass, but raises EClassNotFound "Klasse %s nicht gefunden" when there is none.
TClass FindClass(std::string_view ClassName);
// A new component of the registered class of that name, owned by AOwner.
TComponent* CreateComponent(std::string_view ClassName, TComponent* AOwner);
