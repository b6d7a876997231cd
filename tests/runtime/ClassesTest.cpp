#include "runtime/Classes.h"

#include <gtest/gtest.h>

#include "tests/runtime/SampleComponents.h"
#include "runtime/TypInfo.h"
#include "tests/MessageOf.h"

namespace {

// Records what it is told and when it is freed.
class TWatcher : public TComponent {
  ORVALIS_CLASS(TWatcher, TComponent)

  TWatcher(TComponent* AOwner, std::vector<std::string>& log) : TComponent(AOwner), FLog(log) {}
  ~TWatcher() override { FLog.push_back("free " + Name()); }

  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (AComponent != this)
      FLog.push_back(Name() + (Operation == opInsert ? " +" : " -") + AComponent->Name());
  }

 private:
  std::vector<std::string>& FLog;
};

const TClassInfo& TWatcher::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TWatcher>();
  return info;
}

// Counts the collection's update calls.
class TCountingCollection : public TOwnedCollection {
  ORVALIS_CLASS(TCountingCollection, TOwnedCollection)
  using TOwnedCollection::TOwnedCollection;
  int Updates = 0;

 protected:
  void Update(TCollectionItem*) override { ++Updates; }
};

const TClassInfo& TCountingCollection::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCountingCollection>();
  return info;
}

// A component publishing a collection, for name paths.
class TListHolder : public TComponent {
  ORVALIS_CLASS(TListHolder, TComponent)
  explicit TListHolder(TComponent* AOwner)
      : TComponent(AOwner), FList(new TCountingCollection(this, &TSampleItem::StaticClassInfo())) {}
  ~TListHolder() override { delete FList; }
  TCountingCollection* List() const { return FList; }

 private:
  TCountingCollection* FList;
};

const TClassInfo& TListHolder::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TListHolder>({Property("List", &TListHolder::List, nullptr)});
  return info;
}

TEST(TObjectClassInfo, NamesParentsAndInheritance) {
  TSampleForm form(nullptr);
  EXPECT_EQ(form.ClassName(), "TSampleForm");
  EXPECT_EQ(form.ClassParent(), &TComponent::StaticClassInfo());
  EXPECT_TRUE(form.InheritsFrom(&TPersistent::StaticClassInfo()));
  EXPECT_TRUE(form.Is<TObject>());
  EXPECT_FALSE(form.Is<TCollection>());
  EXPECT_EQ(TObject::StaticClassInfo().Parent, nullptr);
}

TEST(TPersistentAssign, UnknownSourcesRaiseTheAssignmentError) {
  TSampleForm form(nullptr);
  TCollection collection(&TSampleItem::StaticClassInfo());
  EXPECT_EQ(MessageOf<EConvertError>([&] { collection.Assign(&form); }),
            "TSampleForm kann nicht zu TCollection zugewiesen werden");
  EXPECT_EQ(MessageOf<EConvertError>([&] { form.Assign(nullptr); }), "nil kann nicht zu TSampleForm zugewiesen werden");
}

TEST(TComponentOwnership, OwnerFreesItsComponentsLastCreatedFirstAndTellsTheRest) {
  std::vector<std::string> log;
  auto* owner = new TWatcher(nullptr, log);
  owner->SetName("Owner");
  auto* a = new TWatcher(owner, log);
  a->SetName("A");
  auto* b = new TWatcher(owner, log);
  b->SetName("B");
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(1), b);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(MessageOf<EListError>([&] { owner->Components(2); }), "Listenindex überschreitet das Maximum (2)");
  log.clear();
  // An owned component freed on its own leaves its owner, which passes the news on to the
  // remaining components before it hears it itself.
  delete a;
  EXPECT_EQ(log, (std::vector<std::string>{"free A", "B -A", "Owner -A"}));
  EXPECT_EQ(owner->ComponentCount(), 1);
  auto* c = new TWatcher(owner, log);
  c->SetName("C");
  log.clear();
  delete owner;
  EXPECT_EQ(log, (std::vector<std::string>{"free Owner", "free C", "free B"}));
}

TEST(TComponentOwnership, FreeNotificationTellsComponentsOfOtherOwners) {
  std::vector<std::string> log;
  auto* watcher = new TWatcher(nullptr, log);
  watcher->SetName("W");
  auto* watched = new TWatcher(nullptr, log);
  watched->SetName("X");
  watched->FreeNotification(watcher);
  delete watched;
  EXPECT_EQ(log, (std::vector<std::string>{"free X", "W -X"}));
  log.clear();
  delete watcher;  // no dangling registration left behind
  EXPECT_EQ(log, std::vector<std::string>{"free W"});
}

TEST(TComponentOwnership, DestroyingMarksTheWholeTree) {
  TSampleForm form(nullptr);
  auto* child = new TSampleComponent(&form);
  form.Destroying();
  EXPECT_TRUE(form.ComponentState().Contains(csDestroying));
  EXPECT_TRUE(child->ComponentState().Contains(csDestroying));
}

TEST(TComponentNames, NamesMustBeIdentifiersUniqueAmongSiblings) {
  TSampleForm form(nullptr);
  auto* a = new TSampleComponent(&form);
  auto* b = new TSampleComponent(&form);
  a->SetName("Ship_1");
  EXPECT_EQ(form.FindComponent("SHIP_1"), a);
  EXPECT_EQ(MessageOf<EComponentError>([&] { b->SetName("1Ship"); }), "''1Ship'' ist kein gültiger Komponentenname");
  EXPECT_EQ(MessageOf<EComponentError>([&] { b->SetName("ship_1"); }),
            "Eine Komponente mit der Bezeichnung ship_1 existiert bereits");
  EXPECT_EQ(b->Name(), "");
  a->SetName("SHIP_1");  // a new case of its own name is no clash
  EXPECT_EQ(a->Name(), "SHIP_1");
  a->SetName("");
  b->SetName("Ship_1");
  EXPECT_EQ(form.FindComponent("ship_1"), b);

  TSampleComponent other(nullptr);
  other.SetName("Ship_1");
  EXPECT_EQ(MessageOf<EComponentError>([&] { form.InsertComponent(&other); }),
            "Eine Komponente mit der Bezeichnung Ship_1 existiert bereits");
  EXPECT_EQ(other.Owner(), nullptr);
}

TEST(TComponentNames, ReparentingMovesTheComponentBetweenOwners) {
  std::vector<std::string> log;
  TWatcher first(nullptr, log);
  first.SetName("First");
  TWatcher second(nullptr, log);
  second.SetName("Second");
  auto* moving = new TWatcher(&first, log);
  moving->SetName("M");
  log.clear();
  second.InsertComponent(moving);
  EXPECT_EQ(moving->Owner(), &second);
  EXPECT_EQ(first.ComponentCount(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"First -M", "Second +M"}));
  log.clear();
}

TEST(TCollectionItems, AddIndexDeleteAndIds) {
  TCollection collection(&TSampleItem::StaticClassInfo());
  TCollectionItem* a = collection.Add();
  TCollectionItem* b = collection.Add();
  TCollectionItem* c = collection.Add();
  EXPECT_EQ(collection.Count(), 3);
  EXPECT_EQ(b->Index(), 1);
  EXPECT_EQ(c->ID(), 2);
  EXPECT_EQ(a->Collection(), &collection);
  EXPECT_EQ(a->DisplayName(), "TSampleItem");
  EXPECT_EQ(MessageOf<EListError>([&] { collection.Items(3); }), "Listenindex überschreitet das Maximum (3)");
  EXPECT_EQ(MessageOf<EListError>([&] { collection.Items(-1); }), "Listenindex überschreitet das Maximum (-1)");
  collection.Delete(1);
  EXPECT_EQ(collection.Count(), 2);
  EXPECT_EQ(c->Index(), 1);
  EXPECT_EQ(collection.Add()->ID(), 3);  // ids are never reused
  c->SetIndex(0);
  EXPECT_EQ(collection.Items(0), c);
  EXPECT_EQ(collection.FindItemID(0), a);
  EXPECT_EQ(collection.FindItemID(1), nullptr);
  collection.Clear();
  EXPECT_EQ(collection.Count(), 0);
}

TEST(TCollectionItems, UpdatesWaitForTheOutermostEndUpdate) {
  TListHolder holder(nullptr);
  TCountingCollection& list = *holder.List();
  list.Add();
  EXPECT_EQ(list.Updates, 1);
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add();
  list.Add();
  list.EndUpdate();
  EXPECT_EQ(list.Updates, 1);
  list.EndUpdate();
  EXPECT_EQ(list.Updates, 2);
  list.Clear();
  EXPECT_EQ(list.Updates, 3);
}

TEST(TCollectionItems, AssignCopiesItemsOfTheSameClass) {
  TCollection source(&TSampleItem::StaticClassInfo());
  TCollection target(&TSampleItem::StaticClassInfo());
  source.Add();
  source.Add();
  target.Add();
  // Sample items cannot copy each other: the item's own assignment error surfaces.
  EXPECT_EQ(MessageOf<EConvertError>([&] { target.Assign(&source); }),
            "TSampleItem kann nicht zu TSampleItem zugewiesen werden");
  TCollection empty(&TSampleItem::StaticClassInfo());
  target.Assign(&empty);
  EXPECT_EQ(target.Count(), 0);
}

TEST(TCollectionNamePath, UnnamedItemsArePathedThroughTheOwnersProperty) {
  TListHolder holder(nullptr);
  holder.SetName("ImageList1");
  for (int i = 0; i < 4; ++i) holder.List()->Add();
  EXPECT_EQ(holder.List()->GetNamePath(), "ImageList1.List");
  EXPECT_EQ(holder.List()->Items(3)->GetNamePath(), "ImageList1.List[3]");
  // Without a name the owner gives no path and the collection falls back to its class name.
  holder.SetName("");
  EXPECT_EQ(holder.List()->Items(0)->GetNamePath(), "TCountingCollection[0]");
  TCollection loose(&TSampleItem::StaticClassInfo());
  EXPECT_EQ(loose.Add()->GetNamePath(), "TCollection[0]");
}

TEST(TClassRegistry, FindsRegisteredClassesByNameAndCreatesComponents) {
  RegisterSampleClasses();
  RegisterSampleClasses();  // registering again changes nothing
  EXPECT_EQ(GetClass("tsamplecomponent"), &TSampleComponent::StaticClassInfo());
  EXPECT_EQ(GetClass("TUnknown"), nullptr);
  EXPECT_EQ(MessageOf<EClassNotFound>([] { FindClass("TUnknown"); }), "Klasse TUnknown nicht gefunden");
  TSampleForm form(nullptr);
  TComponent* made = CreateComponent("TSampleComponent", &form);
  EXPECT_EQ(made->ClassType(), &TSampleComponent::StaticClassInfo());
  EXPECT_EQ(made->Owner(), &form);
  // Abstract or ownerless-constructed classes cannot be made by name.
  RegisterClass(&TWatcher::StaticClassInfo());
  EXPECT_THROW(CreateComponent("TWatcher", &form), EClassNotFound);
  UnRegisterClass(&TWatcher::StaticClassInfo());
  EXPECT_EQ(GetClass("TWatcher"), nullptr);
}

TEST(TEvents, CompareByObjectAndMethod) {
  TSampleForm one(nullptr);
  TSampleForm two(nullptr);
  TNotifyEvent click = MakeEvent<&TSampleForm::SampleClick>(&one);
  EXPECT_EQ(click, MakeEvent<&TSampleForm::SampleClick>(&one));
  EXPECT_FALSE(click == MakeEvent<&TSampleForm::SampleClick>(&two));
  EXPECT_FALSE(click == MakeEvent<&TSampleForm::OtherClick>(&one));
  EXPECT_FALSE(TNotifyEvent().Assigned());
  click(&two);
  EXPECT_EQ(one.Clicks, std::vector<TObject*>{&two});
  TNotifyEvent back;
  EXPECT_TRUE(TNotifyEvent::FromMethod(click.Method(), back));
  EXPECT_EQ(back, click);
  TEvent<TObject*, Integer> other;
  EXPECT_FALSE(other.FromMethod(click.Method(), other));
}

TEST(TPublishedProperties, InheritedFirstInDeclarationOrder) {
  std::vector<std::string> names;
  for (const TPropInfo* prop : GetPropList(&TSampleComponent::StaticClassInfo())) names.push_back(prop->Name);
  ASSERT_GE(names.size(), 4u);
  EXPECT_EQ(names[0], "Name");
  EXPECT_EQ(names[1], "Tag");
  EXPECT_EQ(names[2], "Count");
  EXPECT_EQ(names.back(), "OnChange");
  TSampleComponent sample(nullptr);
  SetOrdProp(&sample, "tag", 42);
  EXPECT_EQ(sample.Tag(), 42);
  SetStrProp(&sample, "Title", "t");
  EXPECT_EQ(GetStrProp(&sample, "TITLE"), "t");
  EXPECT_EQ(GetObjectProp(&sample, "Nested"), sample.Nested());
  EXPECT_THROW(SetStrProp(&sample, "Count", "x"), EInvalidCast);
  EXPECT_EQ(MessageOf<EConvertError>([&] { GetOrdProp(&sample, "Nope"); }), "Eigenschaft Nope existiert nicht.");
  std::string ident;
  ASSERT_TRUE(ColorToIdent(static_cast<Integer>(0x80000005), ident));
  EXPECT_EQ(ident, "clWindow");
  Integer color = 0;
  ASSERT_TRUE(IdentToColor("CL3DLIGHT", color));
  EXPECT_EQ(color, static_cast<Integer>(0x80000016));
  EXPECT_FALSE(IdentToColor("clPlaid", color));
}

TEST(TSets, IncludeExcludeAndOperators) {
  TSampleOptions options{soFast};
  options.Include(soQuiet);
  EXPECT_TRUE(options.Contains(soQuiet));
  EXPECT_EQ(options.Bits(), 0b1001u);
  options.Exclude(soFast);
  EXPECT_EQ(options, TSampleOptions{soQuiet});
  EXPECT_EQ((TSampleOptions{soFast, soSafe} * TSampleOptions{soSafe, soLoud}), TSampleOptions{soSafe});
  EXPECT_EQ((TSampleOptions{soFast, soSafe} - TSampleOptions{soSafe}), TSampleOptions{soFast});
  EXPECT_TRUE(TSampleOptions().Empty());
}

}  // namespace
