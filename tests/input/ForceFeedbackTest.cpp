#include "input/ForceFeedback.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "InputTestSupport.h"
#include "runtime/ComponentStream.h"

namespace {

// A force-feedback joystick read with force feedback on, the keyboard left out.
class ForceFeedbackTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    TestSetManualClock(true);
    TestDInputSetForceFeedback(true);
    TestAttachJoystick(2, 4);
    input = new TDXInput(form);
    input->Keyboard()->SetEnabled(false);
    input->Joystick()->SetForceFeedback(true);
    input->Initialize();
    effects = input->Joystick()->Effects();
  }

  // A child of the root of the given type; made on the device at once.
  TForceFeedbackEffect* AddEffect(TForceFeedbackEffectType type, Integer time = 1000) {
    auto* effect = new TForceFeedbackEffect(effects);
    effect->SetTime(time);
    effect->SetEffectType(type);
    return effect;
  }

  static DInputEffectState OnlyEffect() {
    const auto made = TestDInputEffects();
    EXPECT_EQ(made.size(), 1u);
    return made.empty() ? DInputEffectState{} : made[0];
  }

  template <class T>
  static T TypeSpecific(const DInputEffectState& effect) {
    T block{};
    EXPECT_EQ(effect.typeSpecific.size(), sizeof(T));
    std::memcpy(&block, effect.typeSpecific.data(), std::min(sizeof(T), effect.typeSpecific.size()));
    return block;
  }

  TDXInput* input = nullptr;
  TForceFeedbackEffects* effects = nullptr;
};

std::string Bytes(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), stream.Size());
}

TEST(ForceFeedbackEffect, WritersClampAndANewTreeHasTheDefaults) {
  TForceFeedbackEffects root(nullptr);
  EXPECT_EQ(root.Name(), "Effects");
  EXPECT_EQ(root.EffectType(), etNone);
  EXPECT_EQ(root.Period(), 50);
  EXPECT_EQ(root.Power(), 10000);
  EXPECT_EQ(root.Time(), 1000);
  EXPECT_EQ(root.Parent(), nullptr);
  EXPECT_EQ(root.Root(), &root);

  root.SetPower(20000);
  EXPECT_EQ(root.Power(), 10000);
  root.SetTime(-5);
  EXPECT_EQ(root.Time(), 0);
  root.SetTime(-1);
  EXPECT_EQ(root.Time(), -1);
  root.SetAttackLevel(-3);
  EXPECT_EQ(root.AttackLevel(), 0);
  root.SetFadeLevel(12000);
  EXPECT_EQ(root.FadeLevel(), 10000);
  root.SetPeriod(-1);
  EXPECT_EQ(root.Period(), 0);
  root.SetStartDelayTime(-9);
  EXPECT_EQ(root.StartDelayTime(), 0);
  root.SetConstant({20000, -20000});
  EXPECT_EQ(root.Constant().x, 10000);
  EXPECT_EQ(root.Constant().y, -10000);
  root.SetCondition({-10001, 5});
  EXPECT_EQ(root.Condition().x, -10000);

  auto* child = new TForceFeedbackEffect(&root);
  auto* grandchild = new TForceFeedbackEffect(child);
  EXPECT_EQ(grandchild->Root(), &root);
  EXPECT_EQ(root.Items(0), child);
  EXPECT_EQ(child->Parent(), &root);
  EXPECT_THROW(root.Items(1), EListError);
  delete child;
  EXPECT_EQ(root.Count(), 0);
}

TEST_F(ForceFeedbackTest, ARootOfTypeNoneMakesAndStartsNothing) {
  EXPECT_EQ(effects->Input(), input->Joystick());
  EXPECT_TRUE(input->Joystick()->ForceFeedbackDevice());
  EXPECT_TRUE(TestDInputEffects().empty());
  effects->Start();
  EXPECT_FALSE(effects->Playing());
  EXPECT_TRUE(TestDInputEffects().empty());
}

TEST_F(ForceFeedbackTest, NothingIsMadeWithoutForceFeedbackOnBothSides) {
  input->Joystick()->SetForceFeedback(false);
  AddEffect(etConstantForce);
  EXPECT_TRUE(TestDInputEffects().empty()) << "the game's setting";
  input->Joystick()->SetForceFeedback(true);
  EXPECT_EQ(TestDInputEffects().size(), 1u) << "initialising again makes the tree's effects";

  TestDInputSetForceFeedback(false);
  input->Joystick()->Initialize();
  EXPECT_FALSE(input->Joystick()->ForceFeedbackDevice());
  EXPECT_TRUE(TestDInputEffects().empty());
}

TEST_F(ForceFeedbackTest, AConstantForcePointsAgainstItsConstant) {
  TForceFeedbackEffect* push = AddEffect(etConstantForce, 500);
  push->SetConstant({3, 4});
  push->SetAttackTime(800);
  push->SetAttackLevel(7000);
  push->SetFadeTime(900);
  push->SetFadeLevel(100);
  push->SetPower(6000);
  const DInputEffectState made = OnlyEffect();
  EXPECT_TRUE(made.effect == GUID_ConstantForce);
  EXPECT_EQ(made.flags, DIEFF_OBJECTOFFSETS | DIEFF_CARTESIAN);
  EXPECT_EQ(made.axes, (std::vector<DWORD>{0, 4}));
  EXPECT_EQ(made.direction, (std::vector<LONG>{-3, -4}));
  EXPECT_EQ(TypeSpecific<DICONSTANTFORCE>(made).lMagnitude, 5);
  EXPECT_EQ(made.duration, 500000u);
  EXPECT_EQ(made.gain, 6000u);
  EXPECT_EQ(made.triggerButton, DIEB_NOTRIGGER);
  EXPECT_EQ(made.startDelay, 0u);
  ASSERT_TRUE(made.hasEnvelope);
  EXPECT_EQ(made.envelope.dwAttackLevel, 7000u);
  EXPECT_EQ(made.envelope.dwAttackTime, 500000u) << "limited to the effect's time";
  EXPECT_EQ(made.envelope.dwFadeLevel, 100u);
  EXPECT_EQ(made.envelope.dwFadeTime, 500000u);

  // Endless: no fade, the attack as set.
  push->SetTime(-1);
  const DInputEffectState endless = OnlyEffect();
  EXPECT_EQ(endless.duration, 0xFFFFFFFFu);
  EXPECT_EQ(endless.envelope.dwAttackTime, 800000u);
  EXPECT_EQ(endless.envelope.dwFadeLevel, 0u);
  EXPECT_EQ(endless.envelope.dwFadeTime, 0u);
  push->SetStartDelayTime(300);
  EXPECT_EQ(OnlyEffect().startDelay, 0u) << "never sent";
}

TEST_F(ForceFeedbackTest, PeriodicAndConditionEffectsTakeTheFirstOfTheirKind) {
  TForceFeedbackEffect* wave = AddEffect(etPeriodic);
  wave->SetConstant({0, -7});
  wave->SetPeriod(20);
  DInputEffectState made = OnlyEffect();
  EXPECT_TRUE(made.effect == GUID_Square);
  const DIPERIODIC periodic = TypeSpecific<DIPERIODIC>(made);
  EXPECT_EQ(periodic.dwMagnitude, 7u);
  EXPECT_EQ(periodic.dwPeriod, 20000u);
  EXPECT_EQ(periodic.lOffset, 0);
  EXPECT_EQ(made.direction, (std::vector<LONG>{0, 7}));

  wave->SetEffectType(etCondition);
  wave->SetCondition({300, -400});
  wave->SetConstant({11, 22});
  const auto both = TestDInputEffects();
  ASSERT_EQ(both.size(), 2u);
  for (size_t axis = 0; axis < 2; ++axis) {
    EXPECT_TRUE(both[axis].effect == GUID_Spring);
    EXPECT_EQ(both[axis].axes, (std::vector<DWORD>{axis == 0 ? 0u : 4u}));
    const DICONDITION condition = TypeSpecific<DICONDITION>(both[axis]);
    EXPECT_EQ(condition.lOffset, axis == 0 ? 11 : 22);
    EXPECT_EQ(condition.lPositiveCoefficient, axis == 0 ? 300 : -400);
    EXPECT_EQ(condition.lNegativeCoefficient, axis == 0 ? -300 : 400);
    EXPECT_EQ(condition.dwPositiveSaturation, 0u);
  }
}

TEST_F(ForceFeedbackTest, StartedEffectsPlayUntilTheirTimeIsUpOrTheyStop) {
  TForceFeedbackEffect* push = AddEffect(etConstantForce, 1000);
  input->Update();  // acquires the joystick, exclusively
  push->Start();
  EXPECT_TRUE(push->Playing());
  DInputEffectState made = OnlyEffect();
  EXPECT_TRUE(made.playing);
  EXPECT_EQ(made.starts, 1u);
  EXPECT_EQ(made.iterations, 1u);
  TestAdvanceClock(1500);
  EXPECT_FALSE(push->Playing()) << "seen to have ended";

  push->Start();
  push->SetPower(5000);
  EXPECT_EQ(OnlyEffect().gain, 5000u) << "changed settings reach a playing effect";
  effects->Stop();
  EXPECT_FALSE(push->Playing());
  EXPECT_FALSE(OnlyEffect().playing);

  // Endless effects play on until stopped.
  push->SetTime(-1);
  push->Start();
  TestAdvanceClock(100000);
  EXPECT_TRUE(push->Playing());
  EXPECT_TRUE(OnlyEffect().playing);
  input->Finalize();
  EXPECT_TRUE(TestDInputEffects().empty()) << "finalising releases every effect";
}

TEST_F(ForceFeedbackTest, AnEndlessEffectStartsAgainWhenTheDeviceIsAcquiredAgain) {
  TForceFeedbackEffect* rumble = AddEffect(etPeriodic, -1);
  input->Update();
  rumble->Start();
  ASSERT_TRUE(OnlyEffect().playing);
  TestSetApplicationActive(false);
  // The joystick notices it lost the input, which ends its effects.
  input->Joystick()->Device2()->Poll();
  EXPECT_FALSE(OnlyEffect().playing);
  TestSetApplicationActive(true);
  EXPECT_TRUE(rumble->Playing());
  EXPECT_TRUE(OnlyEffect().playing) << "restarted on activation";
}

TEST_F(ForceFeedbackTest, AnEffectThatCannotStartDoesNotAskForTheDeviceForever) {
  TForceFeedbackEffect* rumble = AddEffect(etConstantForce, -1);
  input->Update();
  rumble->Start();
  TestDInputLoseDevices();
  TestDInputRefuseNext(DInputCall::Acquire, DIERR_OTHERAPPHASPRIO, 1000);
  input->Joystick()->Acquire();
  EXPECT_FALSE(OnlyEffect().playing);
  TestDInputRefuseNext(DInputCall::Acquire, DIERR_GENERIC, 0);
  input->Joystick()->Acquire();
  EXPECT_TRUE(OnlyEffect().playing);

  // An effect the device refuses to make is not started over and over either.
  TestDInputRefuseNext(DInputCall::CreateEffect, DIERR_GENERIC, 1000);
  rumble->Initialize();
  EXPECT_TRUE(TestDInputEffects().empty());
  rumble->Start();
  EXPECT_TRUE(rumble->Playing()) << "still meant to play once it can be made";
  TestDInputRefuseNext(DInputCall::CreateEffect, DIERR_GENERIC, 0);
}

TEST_F(ForceFeedbackTest, TheDefaultRootIsStoredIn163Bytes) {
  TMemoryStream stored;
  effects->WriteEffects(stored);
  ASSERT_EQ(stored.Size(), 163);
  const std::string bytes = Bytes(stored);
  EXPECT_EQ(bytes.substr(0, 36),
            std::string("\xFF\x0A\x00QUORVEXFORCEFEEDBACKEFFECT\x00\x30\x10\x7F\x00\x00\x00", 36));
  EXPECT_EQ(bytes.substr(36, 37), std::string("TPF0\x1DTForceFeedbackEffectComponent\x02_1", 37));
  EXPECT_EQ(bytes.substr(73, 8), std::string("\x07""Effects", 8));
  EXPECT_EQ(bytes.substr(159), std::string(4, '\0')) << "item, collection and lists end";

  // Each device of a component carries such a block.
  TMemoryStream component;
  WriteComponent(component, input);
  const std::string written = Bytes(component);
  for (const char* path : {"Joystick.Effects.Effects", "Keyboard.Effects.Effects", "Mouse.Effects.Effects"}) {
    const size_t at = written.find(path);
    ASSERT_NE(at, std::string::npos) << path;
    EXPECT_EQ(written.substr(at + std::strlen(path), 5), std::string("\x0A\xA3\x00\x00\x00", 5));
  }

  TForceFeedbackEffects read(nullptr);
  read.SetName("other");
  read.SetPower(1);
  new TForceFeedbackEffect(&read);
  stored.SetPosition(0);
  read.ReadEffects(stored);
  EXPECT_EQ(read.Name(), "Effects");
  EXPECT_EQ(read.EffectType(), etNone);
  EXPECT_EQ(read.Period(), 50);
  EXPECT_EQ(read.Power(), 10000);
  EXPECT_EQ(read.Time(), 1000);
  EXPECT_EQ(read.Count(), 0) << "the stored tree replaces the one there was";
}

TEST_F(ForceFeedbackTest, ATreeRoundTripsWithItsChildrenInOrder) {
  TForceFeedbackEffect* first = AddEffect(etConstantForce, -1);
  first->SetName("push");
  first->SetConstant({-300, 20});
  first->SetAttackLevel(5);
  first->SetFadeTime(60);
  TForceFeedbackEffect* second = AddEffect(etCondition, 250);
  second->SetName("spring");
  second->SetCondition({700, -800});
  second->SetStartDelayTime(40);
  auto* inner = new TForceFeedbackEffect(second);
  inner->SetName("inner");
  inner->SetPeriod(0);
  inner->SetPower(0);
  TMemoryStream stored;
  effects->WriteEffects(stored);

  TForceFeedbackEffects copy(nullptr);
  stored.SetPosition(0);
  copy.ReadEffects(stored);
  ASSERT_EQ(copy.Count(), 2);
  const TForceFeedbackEffect* a = copy.Items(0);
  const TForceFeedbackEffect* b = copy.Items(1);
  EXPECT_EQ(a->Name(), "push");
  EXPECT_EQ(a->EffectType(), etConstantForce);
  EXPECT_EQ(a->Time(), -1);
  EXPECT_EQ(a->Constant().x, -300);
  EXPECT_EQ(a->Constant().y, 20);
  EXPECT_EQ(a->AttackLevel(), 5);
  EXPECT_EQ(a->FadeTime(), 60);
  EXPECT_EQ(b->Name(), "spring");
  EXPECT_EQ(b->EffectType(), etCondition);
  EXPECT_EQ(b->Condition().x, 700);
  EXPECT_EQ(b->Condition().y, -800);
  EXPECT_EQ(b->StartDelayTime(), 40);
  ASSERT_EQ(b->Count(), 1);
  EXPECT_EQ(b->Items(0)->Name(), "inner");
  EXPECT_EQ(b->Items(0)->Period(), 0);
  EXPECT_EQ(b->Items(0)->Power(), 0);
  EXPECT_EQ(b->Items(0)->Count(), 0);

  // Read into a device's tree, the effects are made on the device.
  stored.SetPosition(0);
  effects->Clear();
  effects->ReadEffects(stored);
  EXPECT_EQ(TestDInputEffects().size(), 3u) << "one constant force, two conditions";
}

TEST_F(ForceFeedbackTest, BadBlocksRaiseTheStreamErrors) {
  TForceFeedbackEffects target(nullptr);
  TForceFeedbackEffectComponent holder(nullptr);
  TCollection empty(&TForceFeedbackEffectItem::StaticClassInfo());
  holder.SetEffects(&empty);
  TMemoryStream withoutRoot;
  WriteComponentRes(withoutRoot, "QuorvexForceFeedbackEffect", &holder);
  withoutRoot.SetPosition(0);
  EXPECT_EQ(MessageOf<EListError>([&] { target.ReadEffects(withoutRoot); }),
            "Listenindex überschreitet das Maximum (0)");

  TMemoryStream garbage;
  garbage.WriteBuffer("TPF0 nothing like a resource", 28);
  garbage.SetPosition(0);
  EXPECT_EQ(MessageOf<EInvalidImage>([&] { target.ReadEffects(garbage); }),
            "Ungültiges Stream-Format");

  TMemoryStream stored;
  effects->WriteEffects(stored);
  stored.SetSize(150);
  stored.SetPosition(0);
  EXPECT_THROW(target.ReadEffects(stored), EReadError);
}

TEST(ForceFeedbackEffect, AssignCopiesWholeSubtreesAndOnlyFromEffects) {
  TForceFeedbackEffects root(nullptr);
  auto* child = new TForceFeedbackEffect(&root);
  child->SetName("child");
  child->SetPower(123);
  (new TForceFeedbackEffect(child))->SetName("grandchild");

  TForceFeedbackEffects copy(nullptr);
  copy.Assign(&root);
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(copy.Items(0)->Power(), 123);
  EXPECT_EQ(copy.Items(0)->Items(0)->Name(), "grandchild");

  // Into an ancestor and into a descendant: both end, neither loses the source on the way.
  child->Assign(&root);
  EXPECT_EQ(child->Name(), "Effects");
  ASSERT_EQ(child->Count(), 1);
  EXPECT_EQ(child->Items(0)->Name(), "child");
  EXPECT_EQ(child->Items(0)->Items(0)->Name(), "grandchild");
  root.Assign(root.Items(0)->Items(0));
  EXPECT_EQ(root.Name(), "child");
  ASSERT_EQ(root.Count(), 1);
  EXPECT_EQ(root.Items(0)->Name(), "grandchild");

  TCollection items(&TForceFeedbackEffectItem::StaticClassInfo());
  TCollectionItem* item = items.Add();
  EXPECT_THROW(item->Assign(&items), EInvalidCast);
  EXPECT_THROW(root.Assign(&items), EConvertError);
  EXPECT_THROW(root.Assign(nullptr), EConvertError);
}

}  // namespace
